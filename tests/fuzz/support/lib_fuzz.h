// Shared set-up of the fuzz targets that link the library: the common areas
// over a private install folder, message-box handlers, and the catching of
// the fatal ends. The targets are linked with the platform's process end
// wrapped (run-lib.sh): zr_exit throws FatalEnd here instead of ending the
// process, so that a target can tell a specified fatal end (after its trace
// line or message box) from a crash, and go on with the next input.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "platform/platform.h"
#include "zrlib.h"
#include "sdi/sdi.h"

namespace lib_fuzz {

// A specified fatal end: the process would end here with exit code 0.
struct FatalEnd {};

// A message box is a finding: the readers that must never show one.
inline int report_is_a_finding(const char* text, const char*, unsigned) {
  std::fprintf(stderr, "failure report:\n%s\n", text ? text : "");
  std::abort();
}

// Every box answered with OK, as a user would go on.
inline int answer_ok(const char*, const char*, unsigned) { return plat::kIdOk; }

inline std::filesystem::path& folder() {
  static std::filesystem::path made;
  return made;
}

// The areas as set-up left them, put back before each input: building them
// anew for every input would cost more than most inputs do.
struct Saved {
  ZRENV env;
  ZRFILE file;
  ZRWORK work;
  ZR00 z00;
  ZR01 z01;
  ZRCONN conn;
  ZRSDI sdi;
};

inline Saved& saved() {
  static Saved* s = new Saved;
  return *s;
}

inline void save_areas() {
  Saved& s = saved();
  std::memcpy(&s.env, zrenv, sizeof s.env);
  std::memcpy(&s.file, zrfile, sizeof s.file);
  std::memcpy(&s.work, zrwork, sizeof s.work);
  std::memcpy(&s.z00, zr00, sizeof s.z00);
  std::memcpy(&s.z01, zr01, sizeof s.z01);
  std::memcpy(&s.conn, zrconn, sizeof s.conn);
  std::memcpy(&s.sdi, zrsdi, sizeof s.sdi);
}

// Frees what an input made the areas take (a grown record, the request
// copies, the server information block) and puts the saved areas back.
inline void restore_areas() {
  Saved& s = saved();
  _fclose_all();
  if (!zr_msg_builtin(zrwork->p_msg)) std::free(zrwork->p_msg);
  if (!zr_msg_builtin(zrwork->tnl_msg)) std::free(zrwork->tnl_msg);
  if (zrwork->tnl_work != s.work.tnl_work) std::free(zrwork->tnl_work);
  if (zrwork->ssl_work != s.work.ssl_work) std::free(zrwork->ssl_work);
  if (zr01->svr_inf.thr_blk != s.z01.svr_inf.thr_blk) _free(zr01->svr_inf.thr_blk);
  std::memcpy(zrenv, &s.env, sizeof s.env);
  std::memcpy(zrfile, &s.file, sizeof s.file);
  std::memcpy(zrwork, &s.work, sizeof s.work);
  std::memcpy(zr00, &s.z00, sizeof s.z00);
  std::memcpy(zr01, &s.z01, sizeof s.z01);
  std::memcpy(zrconn, &s.conn, sizeof s.conn);
  std::memcpy(zrsdi, &s.sdi, sizeof s.sdi);
}

// Builds the areas over the install folder (the areas of the launcher, or of
// the checker when checker is set).
inline void make_areas(bool checker) {
  zr_program_set(checker ? ZR_PRG_QRT100 : ZR_PRG_QRT000);
  _zrcmna_make();
  zr::copy(zrenv->inst_dir, folder().string().c_str());
  zr::copy(zrenv->inst_dir2, folder().string().c_str());
  zr00->dbg_fnm[0] = '\0';  // no trace file: the fuzzer runs for speed
}

// Builds the areas once, over a fresh folder with DLV\RESULT, DATA and USER.
inline void setup(ZR_MESSAGE_BOX_FN boxes = report_is_a_finding, bool checker = false) {
  static bool done = false;
  if (done) return;
  done = true;
  std::random_device rd;
  // A memory file system where there is one: the writers flush every file to
  // the disk, which would cost more than the rest of an input.
  std::error_code ec;
  const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                         ? std::filesystem::path("/dev/shm")
                                         : std::filesystem::temp_directory_path();
  folder() = base / ("qrt_fuzz_" + std::to_string(rd()));
  std::filesystem::create_directories(folder() / "USER");
  std::filesystem::create_directories(folder() / "DATA");
  std::atexit([] {
    std::error_code ec;
    std::filesystem::remove_all(folder(), ec);
  });
  make_areas(checker);
  zr_message_box_handler(boxes);
  _sdi_dir_make();
  save_areas();
}

// Runs one step; a fatal end is caught and the files it left open are closed.
// True when the step ended fatally.
template <typename F>
bool fatal_end_of(F&& step) {
  try {
    step();
    return false;
  } catch (const FatalEnd&) {
    _fclose_all();
    return true;
  }
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

// Whether a fixed-size field holds a NUL.
template <std::size_t N>
bool terminated(const char (&field)[N]) {
  return ::strnlen(field, N) < N;
}

}  // namespace lib_fuzz

// The wrapped process end of the platform layer (see the top of this file).
extern "C" [[noreturn]] void __wrap__ZN4plat12exit_processEi(int) { throw lib_fuzz::FatalEnd{}; }
