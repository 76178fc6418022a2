// Fuzz target: the INI reader over arbitrary file contents (over-long lines
// included). The bytes are loaded as a document, changed and written back,
// loaded again (a written document must read back to the same bytes), read key
// by key as settings and as a result (the file read once must give the direct
// reads' values), and stored as a result, whose lines must fit the reader.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "../support/lib_fuzz.h"
#include "runtime/ini.h"

namespace {

// The name the input's first line of its kind gives: a header's name (the line
// after "[" without its last byte) or a key (the line up to its first "=").
std::string first_name(const std::uint8_t* data, std::size_t size, char kind) {
  const char* text = reinterpret_cast<const char*>(data);
  for (std::size_t start = 0; start < size;) {
    std::size_t end = start;
    while (end < size && text[end] != '\n' && text[end] != '\r') ++end;
    std::string line(text + start, end - start);
    start = end + 1;
    line = line.substr(0, line.find('\0'));
    if (kind == '[' && line.size() >= 2 && line[0] == '[') return line.substr(1, line.size() - 2);
    if (kind == '=' && line.find('=') != std::string::npos && line[0] != '[') {
      return line.substr(0, line.find('='));
    }
  }
  return "";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  lib_fuzz::setup();
  const std::string config = lib_fuzz::path("DLV\\CONFIG.INI");

  lib_fuzz::put_file("DLV\\CONFIG.INI", data, size);
  _sdi_config_read();
  char value[kConfigValueMax];
  _config_read(config.c_str(), "SYSTEM", "check_time", value);
  _config_read(config.c_str(), "LIST", "rslt_cnt", value);

  _config_open(config.c_str());
  _config_write("SYSTEM", "check_time", "12:00:00");
  _config_write("00001", "vwd_fg", nullptr);
  _config_write("LIST", nullptr, nullptr);
  _config_close();
  const std::string written = lib_fuzz::file_bytes(config);

  _config_open(config.c_str());
  _config_write("SYSTEM", "check_time", "12:00:00");  // unchanged: marks it for writing
  _config_close();
  if (lib_fuzz::file_bytes(config) != written) {
    std::fprintf(stderr, "a written document does not read back the same\n");
    std::abort();
  }

  lib_fuzz::put_file("DLV\\RESULT\\00001.FIL", data, size);
  lib_fuzz::put_file("DLV\\RESULT\\00001_VWD.FIL", data, size);
  // The file read once gives the direct reads' values.
  const std::string stored = lib_fuzz::path("DLV\\RESULT\\00001.FIL");
  const ZrIniFile once(stored.c_str());
  // Fixed names, and the input's own first header and first key.
  const std::string own_section = first_name(data, size, '[');
  const std::string own_key = first_name(data, size, '=');
  const char* keys[][2] = {{"LIST", "rslt_cnt"},      {"LIST", "sdi_date"},
                           {"00001", "exp_nm"},       {"00002", "rslt_no"},
                           {"SYSTEM", "check_time"},  {own_section.c_str(), own_key.c_str()},
                           {own_section.c_str(), "k"}};
  for (const auto& k : keys) {
    for (std::size_t cap : {kConfigValueMax, std::size_t{8}}) {
      char direct[kConfigValueMax];
      char kept[kConfigValueMax];
      if (zr_config_read(stored.c_str(), k[0], k[1], direct, cap) !=
              once.read(k[0], k[1], kept, cap) ||
          std::strcmp(direct, kept) != 0) {
        std::fprintf(stderr, "the file read once differs from the direct read: [%s] %s (%zu)\n",
                     k[0], k[1], cap);
        std::abort();
      }
    }
  }
  _sdi_result_read(1);
  if (zrsdi->rslt_cnt < 0 || zrsdi->rslt_cnt > kSdiRsltMax) std::abort();
  _sdi_vwd_write(1);

  // The result writer keeps every line within what _config_read takes.
  _sdi_result_write(1, data, static_cast<std::int32_t>(size));
  const std::string result = lib_fuzz::file_bytes(lib_fuzz::path("DLV\\RESULT\\00001.FIL"));
  if (!lib_fuzz::lines_fit(reinterpret_cast<const std::uint8_t*>(result.data()), result.size(),
                           600)) {
    std::fprintf(stderr, "the result writer wrote a line the reader does not take\n");
    std::abort();
  }
  _sdi_result_read(1);
  return 0;
}
