// The program update of the launcher: the update list (1100), the stamps of the
// installed files, the download of each file in pieces (1101) into an LHA
// archive with its check block, and the expansion into the install folder.
#include "update.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "session/answer.h"
#include "zrlib.h"

namespace {

constexpr int kMidUpdateList = 1100;
constexpr int kMidFilePiece = 1101;
constexpr const char* kFamily = "QRT";  // the program family code of the requests
constexpr int kPieceMax = 9999;         // piece numbers have four digits
constexpr int kFreshDownloadsMax = 3;   // downloads of a file whose check block keeps failing
constexpr int kCheckBlock = 32;

std::vector<UpdateEntry> g_list;
DownloadWindowMaker g_window_maker = nullptr;

std::int16_t get_i16(const char* p) {
  std::int16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
std::int32_t get_i32(const char* p) {
  std::int32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

std::string install_path(const char* name) { return std::string(zrconn->exe_dir) + "\\" + name; }

// The last folder separator of a name, or npos.
std::size_t folder_end(const char* name) {
  std::size_t cut = std::string::npos;
  for (std::size_t i = 0; name[i]; ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (zr::sjis_lead(c) && name[i + 1]) {
      ++i;
      continue;
    }
    if (c == '\\' || c == '/') cut = i;
  }
  return cut;
}

bool same_name(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    char x = *a >= 'a' && *a <= 'z' ? static_cast<char>(*a - 'a' + 'A') : *a;
    char y = *b >= 'a' && *b <= 'z' ? static_cast<char>(*b - 'a' + 'A') : *b;
    if (x != y) return false;
  }
  return *a == *b;
}

// Whether an entry must be downloaded: every one when VERSION.QRT is missing,
// else one whose installed stamp is older than the list's. A refused name is
// "needed" so that the download reports it as failed.
bool needs_download(const UpdateEntry& e, bool all) {
  if (all || !update::safe_name(e.name)) return true;
  std::int32_t date = 0, time = 0;
  _exe_time_get(install_path(e.name).c_str(), &date, &time);
  return update::older(date, time, e.date, e.time);
}

// Downloads the pieces of one file into the archive: true when every piece
// arrived, with the check block and the stamp of the last one.
bool fetch_pieces(const char* name, const std::string& archive, unsigned char block[32],
                  std::int32_t* date, std::int32_t* time) {
  std::FILE* fp = _fopen(archive.c_str(), "w+b");
  for (int piece = 0;; ++piece) {
    if (piece > kPieceMax) {
      _dbg_print("update_file_get %.260s: more than %d pieces", name, kPieceMax);
      _fclose(fp);
      return false;
    }
    char req[300];
    int n =
        ZR_FMT(req, "%-10s%03d%s%04d", kFamily, static_cast<int>(std::strlen(name)), name, piece);
    zrwork->mlng = 0;
    zr0930_msg_set(req, n);
    int ret = zr0930_msg_request(zrwork->kd_1, kMidFilePiece);
    if (ret != 0 || zrwork->p_msg->hdr.sts < 0) {
      _mes_print("%.400s", zrwork->p_msg->data);
      _fclose(fp);
      return false;
    }
    const char* d = zrwork->p_msg->data;
    const std::size_t have = zr_session::answer_bytes();
    const bool last = have >= 1 && d[0] != 0;
    const std::int32_t len = have >= 5 ? get_i32(d + 1) : -1;
    const std::size_t tail = last ? kCheckBlock + 8 : 0;
    if (len < 0 || 5 + static_cast<std::size_t>(len) + tail > have) {
      // The piece promises more than arrived: nothing of it is taken.
      _dbg_print("update_file_get %.260s: piece %d of %d bytes in an answer of %ld", name, piece,
                 static_cast<int>(len), static_cast<long>(have));
      _fclose(fp);
      return false;
    }
    if (len > 0) _fwrite(d + 5, 1, static_cast<std::size_t>(len), fp);
    if (last) {
      std::memcpy(block, d + 5 + len, kCheckBlock);
      *date = get_i32(d + 5 + len + kCheckBlock);
      *time = get_i32(d + 5 + len + kCheckBlock + 4);
      _fclose(fp);
      return true;
    }
  }
}

// The check block of the archive file as written.
void file_check_block(const std::string& archive, unsigned char out[32]) {
  std::memset(out, 0, kCheckBlock);
  std::FILE* fp = _fopen(archive.c_str(), "rb");
  unsigned char row[kCheckBlock];
  for (;;) {
    std::size_t n = _fread(row, 1, sizeof row, fp);
    for (std::size_t k = 0; k < n; ++k) out[k] = static_cast<unsigned char>(out[k] + row[k]);
    if (n < sizeof row) break;
  }
  _fclose(fp);
}

}  // namespace

DownloadWindowMaker update_window_maker(DownloadWindowMaker maker) {
  DownloadWindowMaker previous = g_window_maker;
  g_window_maker = maker;
  return previous;
}

const UpdateEntry* update_list(int* count) {
  *count = static_cast<int>(g_list.size());
  return g_list.data();
}

int update_list_get() {
  g_list.clear();
  char req[16];
  int n = ZR_FMT(req, "%-10s", kFamily);
  zrwork->mlng = 0;
  zr0930_msg_set(req, n);
  int ret = zr0930_msg_request(zrwork->kd_1, kMidUpdateList);
  if (ret != 0) return ret;

  const char* d = zrwork->p_msg->data;
  std::size_t end = zr_session::answer_bytes();
  const std::int32_t sts = zrwork->p_msg->hdr.sts;
  if (sts >= 0 && static_cast<std::size_t>(sts) < end) end = static_cast<std::size_t>(sts);
  if (sts < 0) end = 0;
  std::size_t at = 0;
  while (at < end) {
    if (at + 2 > end) break;
    const int len = get_i16(d + at);
    if (len < 0 || at + 2 + static_cast<std::size_t>(len) + 8 > end) {
      _dbg_print("update_list_get: entry at %ld reaches beyond the list of %ld bytes",
                 static_cast<long>(at), static_cast<long>(end));
      break;
    }
    const char* name = d + at + 2;
    UpdateEntry e{};
    e.date = get_i32(name + len);
    e.time = get_i32(name + len + 4);
    at += 2 + static_cast<std::size_t>(len) + 8;
    if (static_cast<std::size_t>(len) >= sizeof e.name) {
      // A cut name would name another file: the entry is left out.
      _dbg_print("update_list_get: a name of %d bytes is left out", len);
      continue;
    }
    if (static_cast<int>(g_list.size()) >= kUpdateListMax) {
      _dbg_print("update_list_get: more than %d entries, the rest is left out", kUpdateListMax);
      break;
    }
    std::memcpy(e.name, name, static_cast<std::size_t>(len));
    e.name[len] = '\0';
    g_list.push_back(e);
  }
  return 0;
}

int update_download() {
  const std::string version = std::string(zrconn->exe_dir2) + "\\VERSION.QRT";
  const bool all = !plat::path_exists(version.c_str());
  int count = 0;
  for (const UpdateEntry& e : g_list)
    if (needs_download(e, all)) ++count;
  if (count == 0) return 0;

  std::unique_ptr<DownloadWindow> window = g_window_maker ? g_window_maker(count) : nullptr;
  for (const UpdateEntry& e : g_list) {
    if (!needs_download(e, all)) continue;
    // The download window is serviced here, between files: a cancel pressed
    // during the previous file stops the downloads before this one.
    if (window && window->file_started(e.name)) {
      _dbg_print("update_download: cancelled by the user before %.260s", e.name);
      return 0;
    }
    if (update_file_get(e.name) != 0) {
      char text[600];
      ZR_FMT(text,
             "プログラム(%.260s)のダウンロードに失敗しました。\n"
             "再度ログインしてダウンロードを行ってください。",
             e.name);
      _mes_box(text, 0);
      return -1;
    }
  }

  // Only names that passed the check enter the file.
  std::string names;
  for (const UpdateEntry& e : g_list) {
    if (!update::safe_name(e.name)) continue;
    names += e.name;
    names += "\r\n";
  }
  if (zr_replace_file(version.c_str(), names.data(), names.size()) != 0)
    _dbg_print("VERSION.QRT not written");
  return 0;
}

int update_file_get(const char* name) {
  if (!update::safe_name(name)) {
    _dbg_print("update_file_get: refused the name %.260s (it would leave the install folder)",
               name);
    return -1;
  }
  if (std::size_t cut = folder_end(name); cut != std::string::npos) {
    std::string folder = install_path(std::string(name, cut).c_str());
    _mkdir_all(folder.c_str());
  }
  const std::string archive = install_path(name) + ".LZH";
  std::int32_t date = 0, time = 0;
  for (int download = 1;; ++download) {
    unsigned char sent[kCheckBlock], got[kCheckBlock];
    if (!fetch_pieces(name, archive, sent, &date, &time)) return -1;
    file_check_block(archive, got);
    if (std::memcmp(sent, got, kCheckBlock) == 0) break;
    _dbg_print("update_file_get %.260s: check block differs (download %d)", name, download);
    if (download >= kFreshDownloadsMax) {
      plat::remove_file(archive.c_str());
      return -1;
    }
  }

  std::string target = install_path(name);
  if (same_name(name, "QRT000.EXE")) target = install_path("QRT000.NEW");
  if (same_name(name, "QRT100.EXE")) target = install_path("QRT100.NEW");
  int rc = _lha(1, archive.c_str(), target.c_str());
  plat::remove_file(archive.c_str());
  if (rc < 0) {
    plat::remove_file(target.c_str());
    return rc;
  }
  _ftime_set(target.c_str(), date, time);
  return 0;
}

namespace update {

bool safe_name(const char* name) {
  const std::size_t len = ::strnlen(name, 260);
  if (len == 0 || len >= 200) return false;  // joined with the folder it must fit a path
  if (name[0] == '\\' || name[0] == '/') return false;
  std::size_t seg = 0;  // start of the current segment
  for (std::size_t i = 0; i <= len; ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (i < len && zr::sjis_lead(c) && i + 1 < len) {
      ++i;
      continue;
    }
    if (i < len && (c < 0x20 || c == 0x7F || c == ':' || c == '*' || c == '?' || c == '"' ||
                    c == '<' || c == '>' || c == '|'))
      return false;
    if (i == len || c == '\\' || c == '/') {
      const std::size_t n = i - seg;
      if (n == 0) return false;  // empty segment ("a\\\\b", trailing separator)
      if (n == 2 && name[seg] == '.' && name[seg + 1] == '.') return false;
      if (n == 1 && name[seg] == '.') return false;
      seg = i + 1;
    }
  }
  return true;
}

void check_block(const unsigned char* data, std::size_t len, unsigned char out[32]) {
  std::memset(out, 0, kCheckBlock);
  for (std::size_t i = 0; i < len; ++i)
    out[i % kCheckBlock] = static_cast<unsigned char>(out[i % kCheckBlock] + data[i]);
}

bool older(std::int32_t date, std::int32_t time, std::int32_t list_date, std::int32_t list_time) {
  return date < list_date || (date == list_date && time < list_time);
}

}  // namespace update
