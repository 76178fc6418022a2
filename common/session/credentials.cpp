// The credential files below USER: PROXY.FIL holds "user:password" of an
// authenticating proxy, UID_QRT.FIL an 18-byte record of the service user ID
// (9 bytes) and password (9 bytes); both are stored Base64-encoded without a
// line end.
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "runtime/zrcommon.h"
#include "session/settings.h"
#include "text/base64.h"

namespace {

constexpr int kRawCap = 128;   // PROXY.FIL: at most 127 Base64 characters
constexpr int kFieldSize = 9;  // ID or password: 8 bytes and a NUL
constexpr int kRecordSize = 18;
constexpr int kRecordText = 24;  // Base64 of the 18-byte record

void user_path(char* out, std::size_t cap, const char* file) {
  zr::format(out, cap, "%s\\USER\\%s", zrenv->inst_dir, file);
}

}  // namespace

ZR_API int proxy_fil_read() {
  zr::copy(zrwork->rtn_nm, "proxy_fil_read");
  char raw[kRawCap] = {};
  user_path(zr01->fnm_work, sizeof zr01->fnm_work, "PROXY.FIL");
  std::FILE* fp = _fopen_ext(zr01->fnm_work, "rb");
  if (!fp) return 0;
  long size = _fsize(fp);
  if (size >= kRawCap) {
    // Longer than any credential the settings dialog writes: not a file of ours.
    _dbg_print("PROXY.FIL is %ld bytes long (at most %d allowed), not used", size, kRawCap - 1);
    _fclose(fp);
    return 0;
  }
  std::size_t n = size > 0 ? _fread(raw, 1, static_cast<std::size_t>(size), fp) : 0;
  raw[n] = '\0';
  _fclose(fp);

  char* text = zr01->mes_work2;
  int len = _conv_base64(1, raw, text, static_cast<int>(std::strlen(raw)));
  text[len] = '\0';
  if (const char* colon = std::strchr(text, ':')) {
    zr::copy_n(zr00->pxy_user, text, static_cast<std::size_t>(colon - text));
    zr::copy(zr00->pxy_pass, colon + 1);
  }
  // The WinINet client takes the credentials in their encoded form.
  if (zrconn->zrhttp_use) zr::copy(zr00->pxy_pass, raw);
  return 0;
}

ZR_API int proxy_fil_write(const char* user, const char* pass, char* encoded, std::size_t cap) {
  zr::copy(zrwork->rtn_nm, "proxy_fil_write");
  if (cap) encoded[0] = '\0';
  user_path(zr01->fnm_work, sizeof zr01->fnm_work, "PROXY.FIL");
  if (!user || !*user) {
    if (plat::path_exists(zr01->fnm_work)) plat::remove_file(zr01->fnm_work);
    return 0;
  }
  const std::string plain = std::string(user) + ":" + (pass ? pass : "");
  const std::size_t need = 4 * ((plain.size() + 2) / 3);
  if (need >= static_cast<std::size_t>(kRawCap) || need >= cap) {
    _dbg_print("proxy_fil_write: the credentials take %u Base64 characters, at most %d fit",
               static_cast<unsigned>(need), kRawCap - 1);
    return -1;
  }
  int len = _conv_base64(0, plain.data(), encoded, static_cast<int>(plain.size()));
  encoded[len] = '\0';
  // The file holds the password: only its owner may read it.
  if (zr_replace_file(zr01->fnm_work, encoded, static_cast<std::size_t>(len), true) != 0) {
    zr::copy(zrwork->fail_fnm, zr01->fnm_work);
    _io_error(nullptr, ZR_IO_FWRITE, "wb");
  }
  return 0;
}

ZR_API void uid_fil_read() {
  zr::copy(zrwork->rtn_nm, "uid_fil_read");
  zr01->user_id[0] = '\0';
  zr01->user_pass[0] = '\0';
  user_path(zr01->fnm_work, sizeof zr01->fnm_work, "UID_QRT.FIL");
  std::FILE* fp = _fopen_ext(zr01->fnm_work, "rb");
  if (!fp) return;
  char* text = zr01->mes_work2;
  std::size_t n = _fread(text, 1, sizeof zr01->mes_work2 - 1, fp);
  text[n] = '\0';
  _fclose(fp);
  if (n == 0) return;

  // Decoded into a buffer that holds whatever the file decodes to; a record
  // shorter than 18 bytes reads as NUL-padded.
  char record[sizeof zr01->mes_work2] = {};
  _conv_base64(1, text, record, static_cast<int>(n));
  zr::copy_n(zr01->user_id, record, kFieldSize);
  zr::copy_n(zr01->user_pass, record + kFieldSize, kFieldSize);
}

ZR_API void uid_fil_write(const char* user_id, const char* user_pass) {
  zr::copy(zrwork->rtn_nm, "uid_fil_write");
  char record[kRecordSize] = {};
  if (!zr::copy(record, kFieldSize, user_id ? user_id : ""))
    _dbg_print("uid_fil_write: user ID longer than %d bytes, cut", kFieldSize - 1);
  if (!zr::copy(record + kFieldSize, kFieldSize, user_pass ? user_pass : ""))
    _dbg_print("uid_fil_write: password longer than %d bytes, cut", kFieldSize - 1);
  char text[kRecordText];
  int len = _conv_base64(0, record, text, kRecordSize);

  user_path(zr01->fnm_work, sizeof zr01->fnm_work, "UID_QRT.FIL");
  // The file holds the password: only its owner may read it.
  if (zr_replace_file(zr01->fnm_work, text, static_cast<std::size_t>(len), true) != 0) {
    zr::copy(zrwork->fail_fnm, zr01->fnm_work);
    _io_error(nullptr, ZR_IO_FWRITE, "wb");
  }
}
