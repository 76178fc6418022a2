// Fuzz target: the window-size table and the text-line reader. The first byte
// chooses the reader and its parameter, the rest is the file:
//  - DATA\DISPSIZE.FIL, read whole and one slot: the table written from what
//    was read reads back the same;
//  - fread_txt and its cutting variant with a buffer of 1 to 128 bytes: every
//    line fits the buffer with a NUL behind it, without line-end bytes. A line too
//    long for fread_txt is a specified fatal end, never for the cutting reader.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "../support/lib_fuzz.h"
#include "runtime/desktop.h"

namespace {

void disp_size(int slot, const std::uint8_t* data, std::size_t size) {
  lib_fuzz::put_file("DATA\\DISPSIZE.FIL", data, size);
  _dspsize_read(kDispSizeAll);
  _dspsize_read(slot);
  std::vector<std::uint8_t> table(zrsdi->disp_size, zrsdi->disp_size + sizeof zrsdi->disp_size);
  _dspsize_write();
  std::memset(zrsdi->disp_size, 0, sizeof zrsdi->disp_size);
  _dspsize_read(kDispSizeAll);
  if (std::memcmp(table.data(), zrsdi->disp_size, table.size()) != 0) std::abort();
}

void text_lines(int cap, bool cutting, const std::uint8_t* data, std::size_t size) {
  lib_fuzz::put_file("DATA\\LINES.TXT", data, size);
  std::FILE* fp = _fopen(lib_fuzz::path("DATA\\LINES.TXT").c_str(), "rb");
  std::vector<char> buf(static_cast<std::size_t>(cap) + 1, '\x5A');
  const bool fatal = lib_fuzz::fatal_end_of([&] {
    for (std::size_t lines = 0; lines <= size; ++lines) {
      bool cut = false;
      const int n =
          cutting ? zr_fread_txt_cut(buf.data(), cap, fp, &cut) : fread_txt(buf.data(), cap, fp);
      if (n < 0 || n >= cap || buf[static_cast<std::size_t>(n)] != '\0' ||
          buf[static_cast<std::size_t>(cap)] != '\x5A' ||
          std::memchr(buf.data(), '\n', static_cast<std::size_t>(n)) ||
          std::memchr(buf.data(), '\r', static_cast<std::size_t>(n)))
        std::abort();
      if (n == 0) break;
    }
  });
  if (fatal && cutting) std::abort();
  if (!fatal) _fclose(fp);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  lib_fuzz::setup(lib_fuzz::answer_ok);
  lib_fuzz::restore_areas();
  const std::uint8_t opt = data[0];
  switch (opt % 3) {
    case 0:
      disp_size(opt / 3 % 64 - 7, data + 1, size - 1);
      break;
    case 1:
      text_lines(opt / 3 % 128 + 1, false, data + 1, size - 1);
      break;
    default:
      text_lines(opt / 3 % 128 + 1, true, data + 1, size - 1);
      break;
  }
  return 0;
}
