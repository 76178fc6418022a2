// Fuzz target: the INI reader over arbitrary file contents. The bytes are loaded
// as a document, changed and written back, loaded again (a written document must
// read back to the same bytes), and read key by key as settings and as a result.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "sdi_fuzz_support.h"
#include "runtime/ini.h"

namespace {

std::string file_bytes(const std::string& name) {
  std::string bytes;
  if (std::FILE* fp = plat::open_stream(name.c_str(), "rb")) {
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, fp)) > 0) bytes.append(buf, n);
    std::fclose(fp);
  }
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  sdi_fuzz::setup();
  if (!sdi_fuzz::lines_fit(data, size, 500)) return 0;
  const std::string config = sdi_fuzz::path("DLV\\CONFIG.INI");

  sdi_fuzz::put_file("DLV\\CONFIG.INI", data, size);
  _sdi_config_read();
  char value[kConfigValueMax];
  _config_read(config.c_str(), "SYSTEM", "check_time", value);
  _config_read(config.c_str(), "LIST", "rslt_cnt", value);

  _config_open(config.c_str());
  _config_write("SYSTEM", "check_time", "12:00:00");
  _config_write("00001", "vwd_fg", nullptr);
  _config_write("LIST", nullptr, nullptr);
  _config_close();
  const std::string written = file_bytes(config);

  _config_open(config.c_str());
  _config_write("SYSTEM", "check_time", "12:00:00");  // unchanged: marks it for writing
  _config_close();
  if (file_bytes(config) != written) {
    std::fprintf(stderr, "a written document does not read back the same\n");
    std::abort();
  }

  sdi_fuzz::put_file("DLV\\RESULT\\00001.FIL", data, size);
  sdi_fuzz::put_file("DLV\\RESULT\\00001_VWD.FIL", data, size);
  _sdi_result_read(1);
  if (zrsdi->rslt_cnt < 0 || zrsdi->rslt_cnt > kSdiRsltMax) std::abort();
  _sdi_vwd_write(1);
  return 0;
}
