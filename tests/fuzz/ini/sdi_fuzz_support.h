// Shared set-up of the SDI store fuzz targets: the common areas over a private
// install folder, and a message-box handler that turns any failure report into
// a crash, so that the fuzzer reports it.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "platform/platform.h"
#include "zrlib.h"
#include "sdi/sdi.h"

namespace sdi_fuzz {

inline int report_is_a_finding(const char* text, const char*, unsigned) {
  std::fprintf(stderr, "failure report:\n%s\n", text ? text : "");
  std::abort();
}

// Builds the areas once, over a fresh folder with DLV\RESULT.
inline void setup() {
  static bool done = false;
  if (done) return;
  done = true;
  std::random_device rd;
  auto folder = std::filesystem::temp_directory_path() / ("qrt_fuzz_" + std::to_string(rd()));
  std::filesystem::create_directories(folder);
  static std::filesystem::path made = folder;
  std::atexit([] {
    std::error_code ec;
    std::filesystem::remove_all(made, ec);
  });
  zr_program_set(ZR_PRG_QRT000);
  _zrcmna_make();
  zr::copy(zrenv->inst_dir, folder.string().c_str());
  zr::copy(zrenv->inst_dir2, folder.string().c_str());
  zr00->dbg_fnm[0] = '\0';  // no trace file: the fuzzer runs for speed
  zr_message_box_handler(report_is_a_finding);
  _sdi_dir_make();
}

// The path of a file below the install folder.
inline std::string path(const char* rel) { return std::string(zrenv->inst_dir) + "\\" + rel; }

inline void put_file(const char* rel, const std::uint8_t* data, std::size_t size) {
  std::FILE* fp = plat::open_stream(path(rel).c_str(), "wb");
  if (!fp) std::abort();
  if (size) std::fwrite(data, 1, size, fp);
  std::fclose(fp);
}

// The bytes of a file (empty when it cannot be read).
inline std::string file_bytes(const std::string& name) {
  std::string bytes;
  if (std::FILE* fp = plat::open_stream(name.c_str(), "rb")) {
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, fp)) > 0) bytes.append(buf, n);
    std::fclose(fp);
  }
  return bytes;
}

// Whether every line (bytes up to LF or the end-of-text mark, CR not counted)
// is shorter than cap bytes: what the writers of the server's text promise.
inline bool lines_fit(const std::uint8_t* data, std::size_t size, std::size_t cap) {
  std::size_t len = 0;
  for (std::size_t i = 0; i < size; ++i) {
    std::uint8_t c = data[i];
    if (c == '\n' || c == 0x1A) {
      len = 0;
    } else if (c != '\r' && ++len >= cap) {
      return false;
    }
  }
  return true;
}

}  // namespace sdi_fuzz
