// The file table: every data file is opened through 16 registered slots, and any
// failed open, read, write, seek or close ends the program with one detailed
// report. Next to it: whole-file and folder copies, folder creation, wildcard
// deletion, file times and the atomic whole-file replacement.
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "runtime/zrcommon.h"
#include "platform/sjis_byte.h"

namespace {

// The checker opens files from three threads: slot search and update happen
// under this lock.
std::recursive_mutex g_table_lock;

const char* const kIoKindName[] = {"fopen", "fclose", "fread",  "fwrite",
                                   "fseek", "ftell",  "unlink", "rename"};

int find_slot(std::FILE* fp) {
  if (!fp) return -1;
  for (int i = 0; i < kFileSlots; ++i)
    if (zrfile->slot[i].fnm[0] && zrfile->slot[i].fp == fp) return i;
  return -1;
}

[[noreturn]] void over_limit(const char* name) {
  _dbg_print("Over file no 16 fnm:%s", name);
  char* text = zr01->mes_work2;
  const std::size_t cap = sizeof zr01->mes_work2;
  zr::copy(text, cap, "********** Over file no 16 *********\r\n");
  zr::append(text, cap, "オープンファイル数が１６を越えました\r\n");
  zr::append(text, cap, "         処理を中断します           \r\n");
  char last[400];
  ZR_FMT(last, "**********   fnm:%s    *****", name);
  zr::append(text, cap, last);
  _mes_box(text, 0);
  zr_exit();
}

std::FILE* register_stream(const char* name, const char* mode, bool report) {
  std::lock_guard<std::recursive_mutex> lock(g_table_lock);
  std::FILE* fp = plat::open_stream(name, mode);
  if (!fp) {
    if (!report) return nullptr;
    zr::copy(zrwork->fail_fnm, name);
    _io_error(nullptr, ZR_IO_FOPEN, mode);
  }
  int slot = 0;
  while (slot < kFileSlots && zrfile->slot[slot].fnm[0]) ++slot;
  if (slot == kFileSlots) over_limit(name);
  ZR_FILE_SLOT& s = zrfile->slot[slot];
  s.fp = fp;
  // A name longer than the slot keeps its first 255 bytes: the slot is only
  // used for the listing and the reports.
  if (!name[0]) {
    zr::copy(s.fnm, "?");
  } else {
    zr::copy(s.fnm, name);
  }
  zr::copy(s.mode, mode);
  return fp;
}

// Looks the stream up for an operation; an unknown stream is that operation's
// failure.
void require_slot(std::FILE* fp, int kind) {
  if (find_slot(fp) < 0) _io_error(fp, kind, nullptr);
}

void local_to_numbers(const plat::LocalTime& t, std::int32_t* date, std::int32_t* time) {
  if (date) *date = t.year * 10000 + t.month * 100 + t.day;
  if (time) *time = t.hour * 10000 + t.minute * 100 + t.second;
}

// Copies length bytes in chunks through buf with the table's read and write.
void copy_stream(std::FILE* in, std::FILE* out, char* buf, long chunk) {
  _fseek(in, 0, SEEK_END);
  long length = _ftell(in);
  _fseek(in, 0, SEEK_SET);
  for (long i = 0; i < length / chunk; ++i) {
    _fread(buf, 1, static_cast<std::size_t>(chunk), in);
    _fwrite(buf, 1, static_cast<std::size_t>(chunk), out);
  }
  long rest = length % chunk;
  if (rest) {
    _fread(buf, 1, static_cast<std::size_t>(rest), in);
    _fwrite(buf, 1, static_cast<std::size_t>(rest), out);
  }
}

// A whole-file copy through the table with a chunk buffer; 1 when the source
// does not exist. Returns the source length in *length when asked.
int chunked_copy(const char* src, const char* dst, long chunk, char* buf, long* length) {
  std::FILE* in = _fopen_ext(src, "rb");
  if (!in) return 1;
  std::FILE* out = _fopen(dst, "wb");
  copy_stream(in, out, buf, chunk);
  if (length) *length = _fsize(in);
  _fclose(in);
  _fclose(out);
  return 0;
}

int chunked_copy_tracked(const char* src, const char* dst, long chunk, long* length) {
  if (!plat::path_exists(src)) return 1;
  char* buf = static_cast<char*>(_malloc(static_cast<std::int32_t>(chunk)));
  int rc = chunked_copy(src, dst, chunk, buf, length);
  _free(buf);
  return rc;
}

}  // namespace

// ---- I/O failure report -------------------------------------------------------

namespace {

[[noreturn]] void io_report(const char* name, const char* mode, int kind) {
  if (kind == ZR_IO_FWRITE) zr::copy(zrwork->mes_buf, "ＨＤの容量不足又はＨＤ障害をチェック？？");
  if (kind < 0 || kind > ZR_IO_RENAME) kind = ZR_IO_FOPEN;
  char* text = zrwork->mes_work;
  const std::size_t cap = sizeof zrwork->mes_work;
  zr::format(text, cap,
             "　＊＊＊ファイルＩ／Ｏ障害＊＊＊\n\n"
             "ファイル名称： %s\n"
             "Ｉ／Ｏ種類　： %s\n"
             "オープン種類： %s\n"
             "プログラム名： %s\n"
             "ルーチン名　： %s\n"
             "コメント　　： %s\n"
             "エラーコード： %d\n",
             name, kIoKindName[kind], mode, zrwork->prg_nm, zrwork->rtn_nm, zrwork->mes_buf,
             static_cast<int>(plat::last_error()));
  _mes_box(text, 0);
  zr_exit();
}

}  // namespace

void _io_error(std::FILE* fp, int kind, const char* mode) {
  if (kind == ZR_IO_FOPEN) io_report(zrwork->fail_fnm, mode ? mode : "", kind);
  // A whole-file replacement that failed has no stream: its name is in fail_fnm.
  if (!fp && zrwork->fail_fnm[0]) io_report(zrwork->fail_fnm, mode ? mode : "*****", kind);
  char name[256] = "****************", shown_mode[8] = "*****";
  {
    std::lock_guard<std::recursive_mutex> lock(g_table_lock);
    int slot = find_slot(fp);
    if (slot >= 0) {
      zr::copy(name, zrfile->slot[slot].fnm);
      zr::copy(shown_mode, zrfile->slot[slot].mode);
    }
  }
  io_report(name, shown_mode, kind);
}

// ---- table operations ----------------------------------------------------------

std::FILE* _fopen(const char* name, const char* mode) { return register_stream(name, mode, true); }

std::FILE* _fopen_ext(const char* name, const char* mode) {
  return register_stream(name, mode, false);
}

int _fclose(std::FILE* fp) {
  if (!fp) return 0;
  std::lock_guard<std::recursive_mutex> lock(g_table_lock);
  int slot = find_slot(fp);
  if (slot < 0) _io_error(fp, ZR_IO_FCLOSE, nullptr);
  ZR_FILE_SLOT& s = zrfile->slot[slot];
  if (std::fclose(fp) != 0) io_report(s.fnm, s.mode, ZR_IO_FCLOSE);
  s.fp = nullptr;
  s.fnm[0] = '\0';
  s.mode[0] = '\0';
  return 0;
}

std::size_t _fread(void* buf, std::size_t size, std::size_t count, std::FILE* fp) {
  require_slot(fp, ZR_IO_FREAD);
  std::size_t n = std::fread(buf, size, count, fp);
  if (n == 0 && std::ferror(fp)) _io_error(fp, ZR_IO_FREAD, nullptr);
  return n;
}

namespace {

// One text line (see fread_txt). With cut set, a line that does not fit is
// cut on a character boundary, the rest of it is skipped and *cut is set;
// without it, a line that does not fit is the file table's length report.
int read_text_line(char* buf, int cap, std::FILE* fp, bool* cut) {
  require_slot(fp, ZR_IO_FREAD);
  int len = 0;
  bool pending_lead = false;  // the last byte kept starts a two-byte character
  bool skipping = false;
  buf[0] = '\0';
  for (;;) {
    int c = std::getc(fp);
    if (c == EOF) {
      if (std::ferror(fp)) _io_error(fp, ZR_IO_FREAD, nullptr);
      break;
    }
    if (c == 0x1A) {
      // The end-of-text mark ends the text: leave it for the next call, which
      // then returns 0 at once.
      std::ungetc(c, fp);
      break;
    }
    if (c == '\r') continue;
    if (c == '\n') {
      if (len > 0) break;
      continue;
    }
    if (skipping) continue;
    if (cut && len == cap - 1) {
      // The line does not fit: keep what does, without a lead byte whose
      // second byte is lost, and skip the rest of the line.
      if (pending_lead) --len;
      *cut = true;
      skipping = true;
      continue;
    }
    buf[len++] = static_cast<char>(c);
    pending_lead = !pending_lead && ((c >= 0x81 && c <= 0x9F) || c >= 0xE0);
    if (len >= cap) {
      buf[cap - 1] = '\0';
      zr::copy(zrwork->mes_buf, "fread_txt read length over");
      _io_error(fp, ZR_IO_FREAD, nullptr);
    }
  }
  buf[len] = '\0';
  return len;
}

}  // namespace

int fread_txt(char* buf, int cap, std::FILE* fp) { return read_text_line(buf, cap, fp, nullptr); }

int zr_fread_txt_cut(char* buf, int cap, std::FILE* fp, bool* cut) {
  *cut = false;
  return read_text_line(buf, cap, fp, cut);
}

int _fwrite(const void* buf, std::size_t size, std::size_t count, std::FILE* fp) {
  require_slot(fp, ZR_IO_FWRITE);
  if (std::fwrite(buf, size, count, fp) < count) _io_error(fp, ZR_IO_FWRITE, nullptr);
  return 0;
}

int _fseek(std::FILE* fp, long offset, int origin) {
  require_slot(fp, ZR_IO_FSEEK);
  if (origin == SEEK_CUR && std::ftell(fp) == -1) _io_error(fp, ZR_IO_FTELL, nullptr);
  if (std::fseek(fp, offset, origin) != 0) _io_error(fp, ZR_IO_FSEEK, nullptr);
  return 0;
}

long _ftell(std::FILE* fp) {
  require_slot(fp, ZR_IO_FTELL);
  long pos = std::ftell(fp);
  if (pos == -1) _io_error(fp, ZR_IO_FTELL, nullptr);
  return pos;
}

long _fsize(std::FILE* fp) {
  if (!fp) return -1;
  std::fseek(fp, 0, SEEK_END);
  long size = std::ftell(fp);
  std::fseek(fp, 0, SEEK_SET);
  return size;
}

void _fclose_all() {
  std::lock_guard<std::recursive_mutex> lock(g_table_lock);
  for (ZR_FILE_SLOT& s : zrfile->slot) {
    if (!s.fnm[0]) continue;
    if (s.fp) std::fclose(s.fp);
    s.fp = nullptr;
    s.fnm[0] = '\0';
    s.mode[0] = '\0';
  }
}

void _fopen_disp() {
  std::lock_guard<std::recursive_mutex> lock(g_table_lock);
  char* text = zrwork->mes_work;
  const std::size_t cap = sizeof zrwork->mes_work;
  zr::copy(text, cap, "**** Open File Display ****\n");
  bool any = false;
  for (int i = 0; i < kFileSlots; ++i) {
    const ZR_FILE_SLOT& s = zrfile->slot[i];
    if (!s.fp) continue;
    any = true;
    char line[400];
    ZR_FMT(line, "i:%02d, fp:%p, fnm:%s (%s)\n", i, static_cast<void*>(s.fp), s.fnm, s.mode);
    zr::append(text, cap, line);
  }
  if (!any) zr::append(text, cap, "** Not in Open File **");
  _dbg_print("%s", text);
}

// ---- paths and folders ---------------------------------------------------------

void _fnm_split(const char* path, char* drive, char* dir, char* base, char* ext) {
  // Each output holds a path of up to 260 bytes (the drive 3).
  constexpr std::size_t kCap = 261;
  if (drive) drive[0] = '\0';
  if (dir) dir[0] = '\0';
  if (base) base[0] = '\0';
  if (ext) ext[0] = '\0';
  std::size_t len = path ? std::strlen(path) : 0;
  if (len == 0 || len > 260) return;
  const char* p = path;
  if (len >= 2 && p[1] == ':') {
    if (drive) zr::copy_n(drive, 3, p, 2);
    p += 2;
  }
  const char* last_sep = nullptr;
  const char* last_dot = nullptr;
  for (const char* q = p; *q; ++q) {
    auto c = static_cast<unsigned char>(*q);
    if (zr::sjis_lead(c) && q[1]) {
      ++q;
      continue;
    }
    if (c == '\\' || c == '/') {
      last_sep = q;
      last_dot = nullptr;
    } else if (c == '.') {
      last_dot = q;
    }
  }
  const char* name = p;
  if (last_sep) {
    if (dir) zr::copy_n(dir, kCap, p, static_cast<std::size_t>(last_sep - p + 1));
    name = last_sep + 1;
  }
  if (last_dot) {
    if (base) zr::copy_n(base, kCap, name, static_cast<std::size_t>(last_dot - name));
    if (ext) zr::copy(ext, kCap, last_dot);
  } else if (base) {
    zr::copy(base, kCap, name);
  }
}

int _mkdir_all(const char* path) {
  std::size_t len = std::strlen(path);
  std::size_t part_start = 0;
  for (std::size_t i = 0; i < len; ++i) {
    auto c = static_cast<unsigned char>(path[i]);
    if (zr::sjis_lead(c) && i + 1 < len) {
      ++i;
      continue;
    }
    if (c != '\\') continue;
    if (i - part_start > 255) {
      _dbg_print("_mkdir_all folder name too long: %s", path);
      return -1;
    }
    part_start = i + 1;
    if (i == 0 || path[i - 1] == ':') continue;
    std::string folder(path, i);
    plat::make_dir(folder.c_str());
  }
  if (len - part_start > 255) {
    _dbg_print("_mkdir_all folder name too long: %s", path);
    return -1;
  }
  return plat::make_dir(path);
}

int _fdelete(const char* pattern) {
  char drive[4], dir[261];
  _fnm_split(pattern, drive, dir, nullptr, nullptr);
  std::string prefix = std::string(drive) + dir;
  int result = 1;
  for (const plat::DirEntry& e : plat::find_files(pattern)) {
    if (e.is_dir) continue;
    if (result == 1) result = 0;
    int rc = plat::remove_file((prefix + e.name).c_str());
    if (rc != 0) result = rc;
  }
  return result;
}

// ---- file times ------------------------------------------------------------------

int _ftime_get(const char* name, std::int32_t* date, std::int32_t* time) {
  plat::LocalTime t;
  if (!plat::last_write_get(name, t)) return -1;
  local_to_numbers(t, date, time);
  return 0;
}

int _ftime_set(const char* name, std::int32_t date, std::int32_t time) {
  plat::LocalTime t{date / 10000, date / 100 % 100, date % 100,
                    time / 10000, time / 100 % 100, time % 100};
  return plat::last_write_set(name, t) ? 0 : -1;
}

int _exe_time_get(const char* name, std::int32_t* date, std::int32_t* time) {
  if (_ftime_get(name, date, time) != 0) return -1;
  std::FILE* fp = _fopen_ext(name, "rb");
  if (!fp) return -1;
  int result = 1;
  unsigned char dos[64], pe[24];
  if (std::fread(dos, 1, sizeof dos, fp) == sizeof dos && dos[0] == 'M' && dos[1] == 'Z') {
    long offset = static_cast<long>(dos[60] | dos[61] << 8 | dos[62] << 16 |
                                    static_cast<unsigned long>(dos[63]) << 24);
    if (offset > 0 && std::fseek(fp, offset, SEEK_SET) == 0 &&
        std::fread(pe, 1, sizeof pe, fp) == sizeof pe && pe[0] == 'P' && pe[1] == 'E' &&
        pe[2] == 0 && pe[3] == 0) {
      unsigned machine = pe[4] | pe[5] << 8;
      if (machine == 0x014C || machine == 0x8664) {
        std::int64_t stamp = static_cast<std::int64_t>(pe[8] | pe[9] << 8 | pe[10] << 16 |
                                                       static_cast<std::uint32_t>(pe[11]) << 24);
        local_to_numbers(plat::local_time_of(stamp), date, time);
        result = 0;
      }
    }
  }
  _fclose(fp);
  return result;
}

// ---- copies -------------------------------------------------------------------------

int _copy(const char* src, const char* dst) { return _file_copy(src, dst, 4096); }

int _file_copy(const char* src, const char* dst, int chunk) {
  return chunked_copy_tracked(src, dst, chunk > 0 ? chunk : 2048, nullptr);
}

long _fcopy(const char* src, const char* dst) {
  long length = 0;
  if (chunked_copy_tracked(src, dst, 4096, &length) != 0) return -1;
  return length;
}

int _file_copy_ext(const char* src, const char* dst) {
  return chunked_copy(src, dst, 2048, zrwork->mes_work, nullptr);
}

namespace {

constexpr long kXcopyChunk = 65535;

bool interactive(int type) { return type == 1 || type == 6; }

int xcopy_file(const char* src, const char* dst, int type, char* buf) {
  if (type == 0 || type == 1) {
    int rc = chunked_copy(src, dst, kXcopyChunk, buf, nullptr);
    if (rc == 0) plat::copy_file_times(src, dst);
    return rc;
  }
  plat::make_writable(dst);
  int failed = 0;
  while (failed < 5 && !plat::os_copy_file(src, dst)) ++failed;
  if (failed > 0) _dbg_print("リトライ回数%d回 FILE:%s", failed, src);
  if (failed < 5) return 0;
  // Five failed attempts are a failed copy: the caller must not go on as if
  // the target held the source (an update would delete its only copy).
  _dbg_print("copy failed: %.260s -> %.260s", src, dst);
  return -1;
}

int xcopy_tree(const std::string& src, const std::string& dst, int type, char* buf, int* count) {
  for (const plat::DirEntry& e : plat::find_files((src + "\\*.*").c_str())) {
    if (e.name == "." || e.name == "..") continue;
    std::string from = src + "\\" + e.name, to = dst + "\\" + e.name;
    if (e.is_dir) {
      _mkdir_all(to.c_str());
      int rc = xcopy_tree(from, to, type, buf, count);
      if (rc != 0) return rc;
    } else {
      if (int rc = xcopy_file(from.c_str(), to.c_str(), type, buf); rc != 0) return rc;
      ++*count;
      if (interactive(type)) {
        char text[64];
        ZR_FMT(text, "File Copyed Count : %08d", *count);
        _mes_prog(2, text, 0);
      }
    }
  }
  return 0;
}

}  // namespace

int _xcopy(const char* src, const char* dst, int type) {
  char text[600];
  if (!plat::path_exists(src)) {
    if (interactive(type)) {
      ZR_FMT(text, "指定したフォルダー又はファイルが見つかりません。\r\n%s", src);
      _mes_box(text, 0);
    }
    return -1;
  }
  char* buf = static_cast<char*>(_malloc(65536));
  if (!plat::is_directory(src)) {
    int rc = xcopy_file(src, dst, type, buf);
    _free(buf);
    return rc;
  }
  if (_mkdir_all(dst) != 0) {
    if (!plat::is_directory(dst)) {
      if (interactive(type)) {
        ZR_FMT(text, "ﾌｫﾙﾀﾞｰ [%s] の作成に失敗しました。", dst);
        _mes_box(text, 0);
      }
      _free(buf);
      return -1;
    }
    if (interactive(type)) {
      ZR_FMT(text, "既にﾌｫﾙﾀﾞｰ [%s] が存在します。\n続行しますか？", dst);
      if (_mes_box(text, plat::kMbYesNo) != plat::kIdYes) {
        _free(buf);
        return 9;
      }
    }
  }
  int count = 0;
  int rc = xcopy_tree(src, dst, type, buf, &count);
  _free(buf);
  if (interactive(type)) _mes_prog(2, "", 0);
  return rc;
}

// ---- atomic whole-file replacement ----------------------------------------------------

namespace {
constexpr int kReplaceAttempts = 40;
constexpr std::uint32_t kReplacePauseMs = 25;
}  // namespace

int zr_replace_file(const char* name, const void* data, std::size_t len, bool owner_only) {
  // A fresh name for every write: two processes rewriting the same file at
  // once each replace it with a complete file, and a file or link planted
  // under a temporary name is never written through.
  std::string tmp;
  if (!plat::write_temp_beside(name, data, len, owner_only, &tmp)) {
    _dbg_print("zr_replace_file cannot write a new file beside %s", name);
    return -1;
  }
  return zr_replace_with(tmp.c_str(), name);
}

int zr_copy_replace(const char* src, const char* dst) {
  std::FILE* in = plat::open_stream(src, "rb");
  if (!in) return -1;
  std::string tmp;
  plat::TempFile* out = plat::temp_create_beside(dst, false, &tmp);
  if (!out) {
    std::fclose(in);
    _dbg_print("zr_copy_replace cannot write a new file beside %s", dst);
    return -1;
  }
  std::vector<char> buf(kXcopyChunk);
  bool ok = true;
  for (std::size_t n; (n = std::fread(buf.data(), 1, buf.size(), in)) > 0;)
    if (!plat::temp_write(out, buf.data(), n)) {
      ok = false;
      break;
    }
  ok = ok && !std::ferror(in);
  std::fclose(in);
  if (!ok) {
    plat::temp_discard(out);
    _dbg_print("zr_copy_replace cannot copy %s", src);
    return -1;
  }
  if (!plat::temp_finish(out)) return -1;
  return zr_replace_with(tmp.c_str(), dst);
}

int zr_replace_with(const char* tmp, const char* name) {
  // On Windows a file that another process is reading at that moment cannot be
  // replaced; that passes within moments, so the rename is tried a while.
  bool replaced = plat::replace_file(tmp, name);
  for (int attempt = 1; !replaced && attempt < kReplaceAttempts; ++attempt) {
    plat::sleep_ms(kReplacePauseMs);
    replaced = plat::replace_file(tmp, name);
  }
  if (!replaced) {
    _dbg_print("zr_replace_file cannot write %s", name);
    plat::remove_file(tmp);
    return -1;
  }
  return 0;
}
