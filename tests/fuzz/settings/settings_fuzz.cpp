// Fuzz target: the connection settings files and their encoding. The first
// byte chooses the reader, the rest is the file (or the text):
//  - USER\ZORAX.INI: every field read stays within its field; the file as
//    written from what was read reads back to the same file;
//  - USER\PROXY.FIL and USER\UID_QRT.FIL: the user and password stay within
//    their fields, and what is written from them reads back to them;
//  - Base64: a decoded text never writes more than its length allows, and
//    encoding bytes and decoding the text gives the bytes back.
// The fatal end of a line longer than the settings reader takes is specified,
// not a finding.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "../support/lib_fuzz.h"
#include "session/settings.h"
#include "text/base64.h"

namespace {

void check_connection_fields() {
  if (zrconn->host_cnt < 0 || zrconn->host_cnt > kHostMax) std::abort();
  for (const auto& h : zrconn->host_nm)
    if (!lib_fuzz::terminated(h)) std::abort();
  if (!lib_fuzz::terminated(zrconn->obj_nm) || !lib_fuzz::terminated(zrconn->pxy_host) ||
      !lib_fuzz::terminated(zr00->http_proxy_host) || !lib_fuzz::terminated(zr00->user_work) ||
      !lib_fuzz::terminated(zr01->http_host_nm) || !lib_fuzz::terminated(zr01->http_obj_nm))
    std::abort();
  if (zr00->retry_count == 0 || zr00->retry_interval == 0) std::abort();
}

void zorax_ini(const std::uint8_t* data, std::size_t size) {
  const std::string ini = lib_fuzz::path("USER\\ZORAX.INI");
  lib_fuzz::put_file("USER\\ZORAX.INI", data, size);
  if (lib_fuzz::fatal_end_of([] { zrnet_ini_read(); })) return;
  check_connection_fields();
  zrnet_ini_write();
  const std::string written = lib_fuzz::file_bytes(ini);
  lib_fuzz::restore_areas();
  zrnet_ini_read();
  check_connection_fields();
  zrnet_ini_write();
  if (lib_fuzz::file_bytes(ini) != written) {
    std::fprintf(stderr, "ZORAX.INI as written does not read back to the same file\n");
    std::abort();
  }
}

void proxy_fil(const std::uint8_t* data, std::size_t size) {
  lib_fuzz::put_file("USER\\PROXY.FIL", data, size);
  proxy_fil_read();
  if (!lib_fuzz::terminated(zr00->pxy_user) || !lib_fuzz::terminated(zr00->pxy_pass)) std::abort();
  if (!zr00->pxy_user[0]) return;
  const std::string user = zr00->pxy_user, pass = zr00->pxy_pass;
  char encoded[128];
  if (proxy_fil_write(user.c_str(), pass.c_str(), encoded, sizeof encoded) != 0) return;
  zr00->pxy_user[0] = zr00->pxy_pass[0] = '\0';
  proxy_fil_read();
  if (user != zr00->pxy_user || pass != zr00->pxy_pass) std::abort();
}

void uid_fil(const std::uint8_t* data, std::size_t size) {
  lib_fuzz::put_file("USER\\UID_QRT.FIL", data, size);
  uid_fil_read();
  if (!lib_fuzz::terminated(zr01->user_id) || !lib_fuzz::terminated(zr01->user_pass)) std::abort();
  const std::string id = zr01->user_id, pass = zr01->user_pass;
  uid_fil_write(id.c_str(), pass.c_str());
  uid_fil_read();
  if (id != zr01->user_id || pass != zr01->user_pass) std::abort();
}

void base64(const std::uint8_t* data, std::size_t size) {
  const int len = static_cast<int>(size);
  // A canary behind the room the length allows.
  std::vector<char> out(static_cast<std::size_t>(3 * len / 4) + 1, '\x5A');
  const int n = _conv_base64(1, reinterpret_cast<const char*>(data), out.data(), len);
  if (n < 0 || n > 3 * len / 4 || out.back() != '\x5A') std::abort();
  if (zr::base64_decode(std::string_view(reinterpret_cast<const char*>(data), size)) !=
      std::string(out.data(), static_cast<std::size_t>(n)))
    std::abort();
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string text = zr::base64_encode(bytes);
  if (text.size() != 4 * ((size + 2) / 3) || zr::base64_decode(text) != bytes) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  lib_fuzz::setup(lib_fuzz::answer_ok);
  lib_fuzz::restore_areas();
  switch (data[0] % 4) {
    case 0:
      zorax_ini(data + 1, size - 1);
      break;
    case 1:
      proxy_fil(data + 1, size - 1);
      break;
    case 2:
      uid_fil(data + 1, size - 1);
      break;
    default:
      base64(data + 1, size - 1);
      break;
  }
  return 0;
}
