// Checks of a download's target file name before anything is written: the
// characters of the name, whether its folder takes a file, and whether the
// file may be created or overwritten (asking the user where it says so).
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "runtime/zrcommon.h"
#include "text/formats.h"
#include "text/sjis.h"

namespace {

constexpr char kNotWritable[] = "指定したファイルは書き込み禁止です。";

bool name_char(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  return c != 0 && std::strchr(" $,-.:;\\_", c) != nullptr;
}

// The folder part of a path (before its last backslash), or empty.
std::string folder_of(const char* path) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(path);
  std::size_t last = std::string::npos;
  for (std::size_t i = 0; s[i]; i += zr::sjis_len(s + i))
    if (s[i] == '\\') last = i;
  return last == std::string::npos ? std::string() : std::string(path, last);
}

// Whether a file of `size` bytes can be written in the folder. The test file
// gets a name no file has, so an existing file of the folder is never
// overwritten or deleted by the test.
bool folder_takes_file(const std::string& folder, const char* test_name, std::size_t size) {
  const std::string probe = folder + "\\" + test_name;
  const std::string data(size, '\0');
  std::string tmp;
  if (!plat::write_temp_beside(probe.c_str(), data.data(), data.size(), false, &tmp)) return false;
  plat::remove_file(tmp.c_str());
  return true;
}

// Creates the missing file and deletes it again.
bool creatable(const char* path) {
  std::FILE* fp = plat::open_stream(path, "wb");
  if (!fp) return false;
  std::fclose(fp);
  plat::remove_file(path);
  return true;
}

// Opens the existing file for update and closes it, changing nothing.
bool updatable(const char* path) {
  std::FILE* fp = plat::open_stream(path, "r+b");
  if (!fp) return false;
  std::fclose(fp);
  return true;
}

}  // namespace

ZR_API int _dwnfnm_chk1(const char* path) {
  if (!path || path[0] == '\0' || path[0] == ' ') return 102;
  const unsigned char* s = reinterpret_cast<const unsigned char*>(path);
  for (std::size_t i = 0; s[i];) {
    const int n = zr::sjis_len(s + i);
    if (n == 1 && !name_char(s[i])) {
      _mes_num(113, plat::kMbOk);
      return 1;
    }
    i += n;
  }
  const std::string folder = folder_of(path);
  if (!folder.empty() && !folder_takes_file(folder, "tmp.wk", 0)) {
    _mes_num(114, plat::kMbOk);
    return 1;
  }
  return 0;
}

ZR_API int _dwnfnm_chk2(const char* path, int mode) {
  if (plat::is_directory(path)) {
    _mes_box("指定したファイルと同じ名前のフォルダーが存在します。", plat::kMbOk);
    return 1;
  }
  if (!plat::path_exists(path)) {
    if (mode == 1 && _mes_box("指定したファイルが存在しません。新規作成しますか？",
                              plat::kMbYesNo) == plat::kIdNo)
      return 3;
    if (!creatable(path)) {
      _mes_box(kNotWritable, plat::kMbOk);
      return 4;
    }
    return 0;
  }
  if (mode == 0 &&
      _mes_box("同じ名前のファイルが存在します。上書きしますか？", plat::kMbYesNo) == plat::kIdNo)
    return 2;
  if (!updatable(path)) {
    _mes_box(kNotWritable, plat::kMbOk);
    return 3;
  }
  return 0;
}

ZR_API int _dwnfnm_chk2_ex(const char* path) {
  if (!path || !path[0]) return -1;
  if (plat::is_directory(path)) return 1;
  if (!plat::path_exists(path)) return creatable(path) ? 0 : 3;
  return updatable(path) ? 0 : 2;
}

ZR_API int _getdirectory_type1(const char* folder) {
  return folder_takes_file(folder, "DMY.WK", 2048) ? 1 : 0;
}
