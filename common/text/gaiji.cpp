// The gaiji (external character) fonts: the index and the 24-dot and 32-dot
// bitmaps of the install folder, loaded once into one block.
#include <cstring>

#include "runtime/zrcommon.h"
#include "text/formats.h"

namespace {

constexpr int kIndexEntry = 6;
constexpr int kFont24 = 72;
constexpr int kFont32 = 128;

// Reads `size` bytes of the open file into dst and closes it. A short file
// leaves the rest of its part zero, with a trace line.
void read_part(std::FILE* fp, const char* name, std::uint8_t* dst, std::size_t size) {
  const std::size_t got = size ? _fread(dst, 1, size, fp) : 0;
  if (got < size) _dbg_print("*** %s: %d of %d bytes ***", name, int(got), int(size));
  _fclose(fp);
}

// Reads a font file into its part of the block, or ends the process when the
// file is missing.
void read_font(const char* file, std::uint8_t* dst, std::size_t size) {
  char name[300];
  ZR_FMT(name, "%s\\%s", zrenv->inst_dir, file);
  std::FILE* fp = _fopen_ext(name, "rb");
  if (!fp) {
    _dbg_print("外字ファイル(%s)無し", name);
    zr_exit();
  }
  read_part(fp, name, dst, size);
}

}  // namespace

ZR_API void _gaiji_ptr_set() {
  zr::copy(zrwork->rtn_nm, "_gaiji_ptr_set");
  if (zr00->gaiji_ptr) {
    _dbg_print("_gaiji_ptr_set zr00_gaiji_ptr : %p", zr00->gaiji_ptr);
    return;
  }
  char name[300];
  ZR_FMT(name, "%s\\GAIINDEX.GAI", zrenv->inst_dir);
  std::FILE* fp = _fopen_ext(name, "rb");
  if (!fp) return;
  std::uint8_t count_bytes[2] = {};
  _fread(count_bytes, 1, 2, fp);
  const int count = count_bytes[0] | count_bytes[1] << 8;
  const std::int32_t size = 2 + (kIndexEntry + kFont24 + kFont32) * count;
  auto* block = static_cast<std::uint8_t*>(_malloc(size));
  std::memset(block, 0, static_cast<std::size_t>(size));
  std::memcpy(block, count_bytes, 2);
  std::uint8_t* index = block + 2;
  const std::size_t index_size = std::size_t(kIndexEntry) * count;
  read_part(fp, name, index, index_size);

  std::uint8_t* f24 = index + index_size;
  std::uint8_t* f32 = f24 + std::size_t(kFont24) * count;
  read_font("FONT24.GAI", f24, std::size_t(kFont24) * count);
  read_font("FONT32.GAI", f32, std::size_t(kFont32) * count);

  zr00->gaiji_cnt = count;
  zr00->gaiji_size = size;
  zr00->gaiji_ptr = block;
  zr00->gaiji_idx = block;
  zr00->gaiji_f24 = f24;
  zr00->gaiji_f32 = f32;
}
