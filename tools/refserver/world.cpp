#include "world.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>

#include "text.h"

namespace refsrv {
namespace {

// The server's texts, written here in UTF-8 and sent in Shift-JIS.
std::string sj(const char* utf8) { return to_sjis(utf8).value_or(utf8); }

void put16(std::string& out, int v) {
  auto u = static_cast<std::uint16_t>(v);
  out += static_cast<char>(u & 0xFF);
  out += static_cast<char>(u >> 8);
}

void put32(std::string& out, std::int64_t v) {
  auto u = static_cast<std::uint32_t>(v);
  for (int i = 0; i < 4; ++i) out += static_cast<char>((u >> (8 * i)) & 0xFF);
}

void set16(std::string& out, std::size_t at, int v) {
  std::string b;
  put16(b, v);
  out.replace(at, 2, b);
}

void set32(std::string& out, std::size_t at, std::int64_t v) {
  std::string b;
  put32(b, v);
  out.replace(at, 4, b);
}

// A text in a fixed field of n bytes, blank-padded (cut when longer).
std::string padded(const std::string& s, std::size_t n, char pad = ' ') {
  std::string out = s.substr(0, n);
  out.resize(n, pad);
  return out;
}

std::string rtrim(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

bool all_digits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

Frame refusal(const Request& req, std::int32_t sts, const std::string& text) {
  Frame f;
  f.mid = req.mid;
  f.kd00 = req.kd00;
  f.sts = sts;
  f.text = text;
  f.text += '\0';
  return f;
}

bool same_name(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

}  // namespace

bool parse_request(const std::string& body, Request& out) {
  if (body.size() < 32) return false;
  std::string_view h(body.data(), 32);
  if (!all_digits(h.substr(11, 2)) || !all_digits(h.substr(21, 4)) || !all_digits(h.substr(25, 7)))
    return false;
  out.obj = rtrim(std::string(h.substr(0, 11)));
  out.kd00 = std::stoi(std::string(h.substr(11, 2)));
  out.user = rtrim(std::string(h.substr(13, 8)));
  out.mid = std::stoi(std::string(h.substr(21, 4)));
  out.length = std::stoi(std::string(h.substr(25, 7)));
  out.text = body.substr(32);
  return true;
}

std::string masked_text(const Request& req) {
  std::string t = req.text;
  switch (req.mid) {
    case 118:
    case 86:
      mask(t, 0, 8);
      break;
    case 85:
    case 107:
      mask(t, 2, 8);
      break;
    default:
      break;
  }
  return t;
}

std::string Frame::bytes() const {
  std::string out;
  put16(out, mid);
  put16(out, kd00);
  put32(out, static_cast<std::int64_t>(12 + text.size()));
  put32(out, binary.empty() ? sts : static_cast<std::int32_t>(binary.size()));
  out += text;
  out += binary;
  return out;
}

World::World(Scenario& sc) : sc_(sc), next_session_(sc.session) {}

Frame World::answer(const Request& req, bool badsum) {
  std::lock_guard<std::mutex> lock(mutex_);
  Frame f;
  f.mid = req.mid;
  f.kd00 = req.kd00;
  switch (req.mid) {
    case 55:
      put32(f.text, static_cast<std::int64_t>(sc_.message.size()));
      f.text += sc_.message;
      break;
    case 85:
      f = logon_check(req);
      break;
    case 86:
      f = force_logoff(req);
      break;
    case 107:
      f = logon(req);
      break;
    case 108:
      break;
    case 112:
      f = server_info(req);
      break;
    case 113:
      f.text.assign(9658, '\0');
      break;
    case 117:
      f = newest_date(req);
      break;
    case 118:
      f = user_check(req);
      break;
    case 204:
      f = poll(req);
      break;
    case 1100:
      f = update_list(req);
      break;
    case 1101:
      f = update_piece(req, badsum);
      break;
    case 1031:
      f = upload_piece(req);
      break;
    case 1032:
      f = download_piece(req);
      break;
    case 1200:
      f = sdi_run(req);
      break;
    default: {
      char text[64];
      std::snprintf(text, sizeof text, "%s(mid:%d)", sj("未対応のメッセージです。").c_str(),
                    req.mid);
      f = refusal(req, -1, text);
      break;
    }
  }
  last_mid_[req.user] = req.mid;
  return f;
}

User* World::check_password(const Request& req, std::size_t from, Frame& f) {
  auto it = sc_.users.find(req.user);
  if (it == sc_.users.end()) {
    f = refusal(req, -1, sj("ユーザＩＤが登録されていません。"));
    return nullptr;
  }
  std::string pass = req.text.size() >= from ? rtrim(req.text.substr(from, 8)) : "";
  if (pass != it->second.password) {
    f = refusal(req, -1, sj("パスワードが正しくありません。"));
    return nullptr;
  }
  return &it->second;
}

// 118 "%-8s%04d": 32-bit value, 8-bit value, 16-bit count, 16-bit kind codes.
Frame World::user_check(const Request& req) {
  Frame f;
  User* u = check_password(req, 0, f);
  if (!u) return f;
  f.mid = req.mid;
  f.kd00 = req.kd00;
  put32(f.text, u->mst_value);
  f.text += static_cast<char>(u->mst_flag);
  put16(f.text, static_cast<int>(u->kinds.size()));
  for (int k : u->kinds) put16(f.text, k);
  return f;
}

// 85 "%02d%-8s%04d": 0, or -3 with the session elsewhere.
Frame World::logon_check(const Request& req) {
  Frame f;
  User* u = check_password(req, 2, f);
  if (!u) return f;
  f.mid = req.mid;
  f.kd00 = req.kd00;
  if (u->has_session_elsewhere()) {
    f.sts = -3;
    f.text = padded(u->elsewhere_host, 30) + padded(u->elsewhere_obj, 30) + u->elsewhere_text;
    f.text += '\0';
  }
  return f;
}

// 86 "%-8s%04d%-30s%-30s": ends the session elsewhere unless refused.
Frame World::force_logoff(const Request& req) {
  Frame f;
  User* u = check_password(req, 0, f);
  if (!u) return f;
  if (!u->force_refuse.empty()) return refusal(req, -1, u->force_refuse);
  u->elsewhere_host.clear();
  u->elsewhere_obj.clear();
  u->elsewhere_text.clear();
  f.mid = req.mid;
  f.kd00 = req.kd00;
  return f;
}

Frame World::logon(const Request& req) {
  Frame f;
  User* u = check_password(req, 2, f);
  if (!u) return f;
  f.mid = req.mid;
  f.kd00 = req.kd00;
  if (req.text.size() > 14) {
    // full logon: "00..." or the forced "10..."
    bool forced = req.text.compare(0, 2, "10") == 0;
    if (u->has_session_elsewhere() && !forced) {
      std::string text =
          u->elsewhere_text.empty() ? sj("既にログオンされています。") : u->elsewhere_text;
      return refusal(req, -2, text);
    }
    if (forced) {
      u->elsewhere_host.clear();
      u->elsewhere_obj.clear();
      u->elsewhere_text.clear();
    }
    put16(f.text, next_session_++);
    return f;
  }
  // short logon: the database server, then the checker's or the launcher's part
  put16(f.text, sc_.db_code);
  f.text += padded(sc_.db_host, 30);
  f.text += padded(sc_.db_obj, 30);
  f.text += sc_.t1;
  f.text += '\0';
  f.text += '\0';
  bool launcher = sc_.logon_layout == Layout::Launcher;
  if (sc_.logon_layout == Layout::Auto) {
    auto it = last_mid_.find(req.user);
    launcher = it != last_mid_.end() && (it->second == 85 || it->second == 86);
  }
  auto host_list = [&]() {
    put16(f.text, static_cast<int>(sc_.hosts.size()));
    for (auto& h : sc_.hosts) f.text += padded(h.substr(0, 30), 31, '\0');
  };
  if (launcher) {
    f.text += static_cast<char>(sc_.sdi_stop);
    f.text += static_cast<char>(sc_.vup_mode);
    f.text += '\0';
    host_list();
    f.text += sc_.srv_txt;
    f.text += '\0';
  } else {
    f.text += static_cast<char>(sc_.vup_mode);
    f.text += sc_.srv_txt;
    f.text += '\0';
    host_list();
  }
  return f;
}

// 112: kd00 22 reads 1,935 bytes (and 2,437 with the end mark), kd00 0 reads
// 1,961 bytes (and 2,466); the longer record of each serves both readers.
Frame World::server_info(const Request& req) {
  Frame f;
  f.mid = req.mid;
  f.kd00 = req.kd00;
  if (req.kd00 == 0) {
    f.text.assign(2466, '\0');
    set32(f.text, 1600, sc_.pd_f);
    set32(f.text, 1604, sc_.pd_t);
    set16(f.text, 1641, sc_.recv_timeout);
    set32(f.text, 2462, 12345);
  } else {
    f.text.assign(2437, '\0');
    set32(f.text, 1600, sc_.pd_f);
    set32(f.text, 1604, sc_.pd_t);
    set16(f.text, 1631, sc_.recv_timeout);
    set32(f.text, 2433, 12345);
  }
  return f;
}

// 117: newest issue date, calendar length, calendar text.
Frame World::newest_date(const Request& req) {
  Frame f;
  f.mid = req.mid;
  f.kd00 = req.kd00;
  put32(f.text, sc_.newest);
  put32(f.text, static_cast<std::int64_t>(sc_.calendar.size()));
  f.text += sc_.calendar;
  return f;
}

std::string World::result_text(std::int32_t pd_f, std::int32_t pd_t) const {
  std::string text = sc_.has_result ? sc_.result
                                    : sj("[LIST]\r\nrslt_cnt=1\r\nsdi_date=${date}\r\n"
                                         "sdi_time=${time}\r\ninq_date_f=${pd_f}\r\n"
                                         "inq_date_t=${pd_t}\r\n[00001]\r\nrslt_no=1\r\n"
                                         "inq_cnt=1\r\nexp_nm=SDI検索\r\n");
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char date[16], time[16], f[16], t[16];
  std::strftime(date, sizeof date, "%Y/%m/%d", &tm);
  std::strftime(time, sizeof time, "%H:%M:%S", &tm);
  std::snprintf(f, sizeof f, "%08d", static_cast<int>(pd_f));
  std::snprintf(t, sizeof t, "%08d", static_cast<int>(pd_t));
  const std::pair<const char*, const char*> vars[] = {
      {"${date}", date}, {"${time}", time}, {"${pd_f}", f}, {"${pd_t}", t}};
  for (auto& [name, value] : vars) {
    for (std::size_t at = text.find(name); at != std::string::npos;
         at = text.find(name, at + std::strlen(value)))
      text.replace(at, std::strlen(name), value);
  }
  return text;
}

// 1200 "%08d%08d": starts the run that 204 polls.
Frame World::sdi_run(const Request& req) {
  if (req.text.size() != 16 || !all_digits(req.text))
    return refusal(req, -1, sj("検索範囲の指定が正しくありません。"));
  Run& run = runs_[req.user];
  run.active = true;
  run.polls_left = sc_.polls;
  run.result = result_text(std::stoi(req.text.substr(0, 8)), std::stoi(req.text.substr(8, 8)));
  Frame f;
  f.mid = req.mid;
  f.kd00 = req.kd00;
  return f;
}

// 204: "still running" (kd00 204) for the scenario's number of polls, then the
// end (kd00 203) with the result as the binary part.
Frame World::poll(const Request& req) {
  Run& run = runs_[req.user];
  if (!run.active) return refusal(req, -1, sj("実行中の処理はありません。"));
  Frame f;
  f.mid = req.mid;
  if (req.text == "CANCEL") {
    run.active = false;
    f.kd00 = 203;
    return f;
  }
  if (run.polls_left > 0) {
    --run.polls_left;
    f.kd00 = 204;
    f.text = sc_.running_text;
    return f;
  }
  run.active = false;
  f.kd00 = 203;
  f.binary = run.result;
  return f;
}

// 1100: per file a 16-bit name length, the name, the date and the time, as the
// binary part.
Frame World::update_list(const Request& req) {
  Frame f;
  f.mid = req.mid;
  f.kd00 = req.kd00;
  for (auto& file : sc_.files) {
    put16(f.binary, static_cast<int>(file.name.size()));
    f.binary += file.name;
    put32(f.binary, file.date);
    put32(f.binary, file.time);
  }
  return f;
}

const UpdateFile* World::piece_of(const Request& req, std::size_t& piece) const {
  const std::string& t = req.text;
  if (t.size() < 13 + 4 || !all_digits(t.substr(10, 3))) return nullptr;
  std::size_t len = std::stoul(t.substr(10, 3));
  if (t.size() != 13 + len + 4 || !all_digits(t.substr(13 + len, 4))) return nullptr;
  std::string name = t.substr(13, len);
  piece = std::stoul(t.substr(13 + len, 4));
  for (auto& f : sc_.files)
    if (same_name(f.name, name)) return &f;
  return nullptr;
}

bool World::is_last_piece(const Request& req) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::size_t piece = 0;
  const UpdateFile* file = req.mid == 1101 ? piece_of(req, piece) : nullptr;
  if (!file) return false;
  std::size_t size = static_cast<std::size_t>(sc_.piece_size);
  return piece * size < file->archive.size() + (file->archive.empty() ? 1 : 0) &&
         (piece + 1) * size >= file->archive.size();
}

// 1101 "%-10s%03d%s%04d": one piece of the file's archive as the binary part.
Frame World::update_piece(const Request& req, bool badsum) {
  std::size_t piece = 0;
  const UpdateFile* file = piece_of(req, piece);
  if (!file) return refusal(req, -1, sj("ファイルがありません。"));
  const std::string& ar = file->archive;
  std::size_t size = static_cast<std::size_t>(sc_.piece_size);
  std::size_t from = piece * size;
  if (from > ar.size() || (from == ar.size() && from != 0))
    return refusal(req, -1, sj("分割番号が正しくありません。"));
  std::size_t n = std::min(size, ar.size() - from);
  bool last = from + n >= ar.size();
  Frame f;
  f.mid = req.mid;
  f.kd00 = req.kd00;
  f.binary += static_cast<char>(last ? 1 : 0);
  put32(f.binary, static_cast<std::int64_t>(n));
  f.binary += ar.substr(from, n);
  if (last) {
    unsigned char sum[32] = {};
    for (std::size_t i = 0; i < ar.size(); ++i) sum[i % 32] += static_cast<unsigned char>(ar[i]);
    if (badsum) sum[0] ^= 0xFF;
    f.binary.append(reinterpret_cast<const char*>(sum), 32);
    put32(f.binary, file->date);
    put32(f.binary, file->time);
  }
  return f;
}

// The piece header of the file transfer, "%010d%010d%03d%s": offset, length,
// name length and name; the rest of the text is the piece (uploads). The name
// must stay inside the files folder: relative, without ".." or a drive.
struct Piece {
  std::size_t offset = 0, length = 0;
  std::string path;  // in the files folder
  std::string data;
};
std::optional<Piece> piece_request(const Request& req, const std::string& folder) {
  const std::string& t = req.text;
  if (folder.empty() || t.size() < 23 || !all_digits(t.substr(0, 10)) ||
      !all_digits(t.substr(10, 10)) || !all_digits(t.substr(20, 3)))
    return std::nullopt;
  Piece p;
  p.offset = std::stoul(t.substr(0, 10));
  p.length = std::stoul(t.substr(10, 10));
  const std::size_t nlen = std::stoul(t.substr(20, 3));
  if (nlen == 0 || t.size() < 23 + nlen) return std::nullopt;
  std::string name = t.substr(23, nlen);
  for (char& c : name)
    if (c == '\\') c = '/';
  if (name.front() == '/' || name.find(':') != std::string::npos) return std::nullopt;
  for (std::size_t from = 0; from <= name.size();) {
    const std::size_t end = std::min(name.find('/', from), name.size());
    const std::string part = name.substr(from, end - from);
    if (part.empty() || part == "." || part == "..") return std::nullopt;
    from = end + 1;
  }
  p.path = folder + "/" + name;
  p.data = t.substr(23 + nlen);
  return p;
}

// 1031: writes the piece at its offset (the first piece starts the file anew).
Frame World::upload_piece(const Request& req) {
  auto p = piece_request(req, sc_.files_folder);
  if (!p || p->data.size() != p->length)
    return refusal(req, -1, sj("転送要求が正しくありません。"));
  std::string bytes;
  if (p->offset > 0) {
    auto old = read_bytes(p->path);
    if (!old || old->size() != p->offset)
      return refusal(req, -1, sj("転送位置が正しくありません。"));
    bytes = *old;
  }
  bytes += p->data;
  std::filesystem::create_directories(std::filesystem::path(p->path).parent_path());
  std::ofstream out(p->path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) return refusal(req, -1, sj("ファイルに書き込めません。"));
  Frame f;
  f.mid = req.mid;
  f.kd00 = req.kd00;
  return f;
}

// 1032: the piece's bytes as the binary part.
Frame World::download_piece(const Request& req) {
  auto p = piece_request(req, sc_.files_folder);
  if (!p || !p->data.empty()) return refusal(req, -1, sj("転送要求が正しくありません。"));
  auto bytes = read_bytes(p->path);
  if (!bytes) return refusal(req, -1, sj("ファイルがありません。"));
  if (p->offset + p->length > bytes->size())
    return refusal(req, -1, sj("転送位置が正しくありません。"));
  Frame f;
  f.mid = req.mid;
  f.kd00 = req.kd00;
  f.binary = bytes->substr(p->offset, p->length);
  return f;
}

}  // namespace refsrv
