#include "scenario.h"

#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <string_view>

#include "text.h"

namespace refsrv {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && (is_blank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// Cuts a comment: "#" at the start of the line or after a blank; "\#" is a
// literal "#".
std::string_view cut_comment(std::string_view line) {
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '\\') {
      ++i;
    } else if (line[i] == '#' && (i == 0 || is_blank(line[i - 1]))) {
      return line.substr(0, i);
    }
  }
  return line;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A value with its escapes resolved, converted to Shift-JIS.
std::optional<std::string> decode_value(std::string_view raw) {
  std::string out, run;
  auto flush = [&]() {
    if (run.empty()) return true;
    auto sj = to_sjis(run);
    if (!sj) return false;
    out += *sj;
    run.clear();
    return true;
  };
  for (std::size_t i = 0; i < raw.size(); ++i) {
    char c = raw[i];
    if (c != '\\' || i + 1 >= raw.size()) {
      run += c;
      continue;
    }
    char e = raw[++i];
    switch (e) {
      case 'r':
        run += '\r';
        break;
      case 'n':
        run += '\n';
        break;
      case 't':
        run += '\t';
        break;
      case '\\':
        run += '\\';
        break;
      case '#':
        run += '#';
        break;
      case 'x': {
        int hi = i + 1 < raw.size() ? hex_digit(raw[i + 1]) : -1;
        int lo = i + 2 < raw.size() ? hex_digit(raw[i + 2]) : -1;
        if (hi < 0 || lo < 0) return std::nullopt;
        if (!flush()) return std::nullopt;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        break;
      }
      default:
        return std::nullopt;
    }
  }
  if (!flush()) return std::nullopt;
  return out;
}

std::optional<long long> to_number(std::string_view s) {
  if (s.empty()) return std::nullopt;
  std::string str(s);
  std::size_t used = 0;
  try {
    long long v = std::stoll(str, &used, 10);
    if (used != str.size()) return std::nullopt;
    return v;
  } catch (...) {
    return std::nullopt;
  }
}

std::vector<std::string> words(std::string_view s) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && is_blank(s[i])) ++i;
    std::size_t start = i;
    while (i < s.size() && !is_blank(s[i])) ++i;
    if (i > start) out.emplace_back(s.substr(start, i - start));
  }
  return out;
}

std::string resolve(const std::string& base_dir, const std::string& rel) {
  if (rel.empty() || rel[0] == '/' || base_dir.empty()) return rel;
  return base_dir + "/" + rel;
}

// Calendar text from a list of dates: the date in columns 1-8 and again in
// columns 19-26.
std::string calendar_from_dates(const std::vector<std::int32_t>& dates) {
  std::string out;
  char line[64];
  for (auto d : dates) {
    std::snprintf(line, sizeof line, "%08d          %08d\r\n", static_cast<int>(d),
                  static_cast<int>(d));
    out += line;
  }
  return out;
}

class Parser {
 public:
  Parser(const std::string& base_dir, Scenario& sc) : base_(base_dir), sc_(sc) {}

  bool run(const std::vector<std::string>& lines, std::string& error) {
    for (std::size_t n = 0; n < lines.size(); ++n) {
      line_no_ = static_cast<int>(n + 1);
      std::string_view line = trim(lines[n]);
      if (line.empty() || line.front() == '#') continue;
      if (line.front() == '[') {
        if (line.back() != ']') return fail(error, "section header without ']'");
        if (!section(line.substr(1, line.size() - 2), error)) return false;
        continue;
      }
      line = trim(cut_comment(line));
      if (section_ == "faults") {
        if (!fault(line, error)) return false;
        continue;
      }
      // key = value, or key <<WORD for a block value
      std::size_t eq = line.find('=');
      std::size_t heredoc = line.find("<<");
      std::string key;
      std::string value;
      if (heredoc != std::string_view::npos && (eq == std::string_view::npos || heredoc < eq)) {
        key = std::string(trim(line.substr(0, heredoc)));
        std::string word(trim(line.substr(heredoc + 2)));
        if (word.empty()) return fail(error, "block value without an end word");
        std::string block;
        std::size_t m = n + 1;
        for (; m < lines.size(); ++m) {
          std::string_view l = lines[m];
          if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
          if (l == word) break;
          block.append(l);
          block += "\r\n";
        }
        if (m == lines.size()) return fail(error, "block value not ended by '" + word + "'");
        auto sj = to_sjis(block);
        if (!sj) return fail(error, "block text has no Shift-JIS form");
        value = *sj;
        n = m;
      } else {
        if (eq == std::string_view::npos) return fail(error, "expected key = value");
        key = std::string(trim(line.substr(0, eq)));
        // update-file lines name Windows paths ("DLV\\NOTE.TXT"): no escapes there
        auto v = section_ == "update" && key == "file" ? to_sjis(trim(line.substr(eq + 1)))
                                                       : decode_value(trim(line.substr(eq + 1)));
        if (!v) return fail(error, "bad escape or text without Shift-JIS form");
        value = *v;
      }
      if (!assign(key, value, error)) return false;
    }
    return true;
  }

 private:
  bool fail(std::string& error, const std::string& why) {
    error = "line " + std::to_string(line_no_) + ": " + why;
    return false;
  }

  bool section(std::string_view name, std::string& error) {
    name = trim(name);
    auto w = words(name);
    if (w.size() == 2 && w[0] == "user") {
      if (w[1].size() > 8) return fail(error, "user ID longer than 8 characters");
      section_ = "user";
      user_ = &sc_.users[w[1]];
      user_->id = w[1];
      return true;
    }
    if (w.size() == 1 && (w[0] == "server" || w[0] == "calendar" || w[0] == "sdi" ||
                          w[0] == "update" || w[0] == "files" || w[0] == "faults")) {
      section_ = w[0];
      return true;
    }
    return fail(error, "unknown section [" + std::string(name) + "]");
  }

  bool number(const std::string& value, long long& out, std::string& error) {
    auto v = to_number(value);
    if (!v) return fail(error, "expected a number: " + value);
    out = *v;
    return true;
  }

  bool assign(const std::string& key, const std::string& value, std::string& error) {
    long long v = 0;
    auto num = [&](auto& field) {
      if (!number(value, v, error)) return false;
      field = static_cast<std::remove_reference_t<decltype(field)>>(v);
      return true;
    };
    if (section_ == "server") {
      if (key == "db_code") return num(sc_.db_code);
      if (key == "db_host") return (sc_.db_host = value, true);
      if (key == "db_obj") return (sc_.db_obj = value, true);
      if (key == "t1") return (sc_.t1 = value, true);
      if (key == "vup_mode") return num(sc_.vup_mode);
      if (key == "sdi_stop") return num(sc_.sdi_stop);
      if (key == "srv_txt") return (sc_.srv_txt = value, true);
      if (key == "hosts") return (sc_.hosts = words(value), true);
      if (key == "host") return (sc_.hosts.push_back(value), true);
      if (key == "session") return num(sc_.session);
      if (key == "recv_timeout") return num(sc_.recv_timeout);
      if (key == "pd_f") return num(sc_.pd_f);
      if (key == "pd_t") return num(sc_.pd_t);
      if (key == "message") return (sc_.message = value, true);
      if (key == "logon_layout") {
        if (value == "auto")
          sc_.logon_layout = Layout::Auto;
        else if (value == "checker")
          sc_.logon_layout = Layout::Checker;
        else if (value == "launcher")
          sc_.logon_layout = Layout::Launcher;
        else
          return fail(error, "logon_layout is auto, checker or launcher");
        return true;
      }
    } else if (section_ == "user") {
      if (key == "password") return (user_->password = value, true);
      if (key == "kinds") {
        user_->kinds.clear();
        for (auto& w : words(value)) {
          if (!number(w, v, error)) return false;
          user_->kinds.push_back(static_cast<int>(v));
        }
        return true;
      }
      if (key == "mst_value") return num(user_->mst_value);
      if (key == "mst_flag") return num(user_->mst_flag);
      if (key == "elsewhere_host") return (user_->elsewhere_host = value, true);
      if (key == "elsewhere_obj") return (user_->elsewhere_obj = value, true);
      if (key == "elsewhere_text") return (user_->elsewhere_text = value, true);
      if (key == "force_refuse") return (user_->force_refuse = value, true);
    } else if (section_ == "calendar") {
      if (key == "newest") return num(sc_.newest);
      if (key == "dates") {
        std::vector<std::int32_t> dates;
        for (auto& w : words(value)) {
          if (!number(w, v, error)) return false;
          dates.push_back(static_cast<std::int32_t>(v));
        }
        if (!calendar_is_text_) sc_.calendar = calendar_from_dates(dates);
        return true;
      }
      if (key == "text") {
        sc_.calendar = value;
        calendar_is_text_ = true;
        return true;
      }
    } else if (section_ == "sdi") {
      if (key == "polls") return num(sc_.polls);
      if (key == "running_text") return (sc_.running_text = value, true);
      if (key == "result") {
        sc_.result = value;
        sc_.has_result = true;
        return true;
      }
      if (key == "result_file") {
        auto bytes = read_bytes(resolve(base_, value));
        if (!bytes) return fail(error, "cannot read " + value);
        sc_.result = *bytes;
        sc_.has_result = true;
        return true;
      }
    } else if (section_ == "update") {
      if (key == "piece_size") {
        if (!num(sc_.piece_size)) return false;
        if (sc_.piece_size < 1) return fail(error, "piece_size must be at least 1");
        return true;
      }
      if (key == "file") return update_file(value, error);
    } else if (section_ == "files") {
      if (key == "folder") return (sc_.files_folder = resolve(base_, value), true);
    } else {
      return fail(error, "key outside a section: " + key);
    }
    return fail(error, "unknown key '" + key + "' in [" + section_ + "]");
  }

  // NAME DATE TIME SOURCE
  bool update_file(const std::string& value, std::string& error) {
    auto w = words(value);
    if (w.size() < 4) return fail(error, "file = NAME DATE TIME SOURCE");
    UpdateFile f;
    f.name = w[0];
    long long v = 0;
    if (!number(w[1], v, error)) return false;
    f.date = static_cast<std::int32_t>(v);
    if (!number(w[2], v, error)) return false;
    f.time = static_cast<std::int32_t>(v);
    // the source is the rest of the value after the third word
    std::size_t pos = 0;
    for (int i = 0; i < 3; ++i) {
      pos = value.find_first_not_of(" \t", pos);
      pos = value.find_first_of(" \t", pos);
    }
    std::string source(trim(std::string_view(value).substr(pos)));
    if (source.rfind("text:", 0) == 0) {
      f.content = source.substr(5);  // already Shift-JIS
    } else if (source.rfind("bytes:", 0) == 0) {
      auto n = to_number(std::string_view(source).substr(6));
      if (!n || *n < 0 || *n > 100000000) return fail(error, "bytes:N with 0 <= N <= 100000000");
      f.content.resize(static_cast<std::size_t>(*n));
      for (std::size_t i = 0; i < f.content.size(); ++i) f.content[i] = static_cast<char>(i % 251);
    } else {
      auto bytes = read_bytes(resolve(base_, source));
      if (!bytes) return fail(error, "cannot read " + source);
      f.content = *bytes;
    }
    sc_.files.push_back(std::move(f));
    return true;
  }

  bool fault(std::string_view line, std::string& error) {
    FaultRule r;
    r.line = line_no_;
    std::size_t text_at = line.find("text=");
    while (text_at != std::string_view::npos && text_at > 0 && !is_blank(line[text_at - 1]))
      text_at = line.find("text=", text_at + 1);
    if (text_at != std::string_view::npos) {
      auto v = decode_value(trim(line.substr(text_at + 5)));
      if (!v) return fail(error, "bad escape or text without Shift-JIS form");
      r.text = *v;
      r.has_text = true;
      line = line.substr(0, text_at);
    }
    int actions = 0;
    for (auto& tok : words(line)) {
      std::size_t eq = tok.find('=');
      std::string name = tok.substr(0, eq);
      std::string val = eq == std::string::npos ? "" : tok.substr(eq + 1);
      long long v = 0;
      auto need_num = [&](int& field) {
        if (!number(val, v, error)) return false;
        field = static_cast<int>(v);
        return true;
      };
      bool ok = true;
      if (name == "mid")
        ok = need_num(r.mid);
      else if (name == "at")
        ok = need_num(r.at);
      else if (name == "user")
        r.user = val;
      else if (name == "skip")
        ok = need_num(r.skip);
      else if (name == "count") {
        if (val == "*")
          r.count = -1;
        else
          ok = need_num(r.count);
      } else if (name == "http") {
        ++actions;
        r.action = Action::Http;
        ok = need_num(r.http_status);
      } else if (name == "type") {
        if (val != "plain" && val != "html") return fail(error, "type=plain or type=html");
        r.plain = val == "plain";
      } else if (name == "drop" || name == "reset") {
        ++actions;
        r.action = name == "drop" ? Action::Drop : Action::Reset;
        if (val == "request")
          r.phase = Phase::Request;
        else if (val == "header")
          r.phase = Phase::Header;
        else if (val == "body")
          r.phase = Phase::Body;
        else if (val == "frame")
          r.phase = Phase::Frame;
        else if (val == "text")
          r.phase = Phase::Text;
        else if (val == "binary")
          r.phase = Phase::Binary;
        else
          return fail(error, "phase is request, header, body, frame, text or binary");
      } else if (name == "truncate") {
        ++actions;
        r.action = Action::Truncate;
        ok = need_num(r.truncate);
      } else if (name == "sts") {
        ++actions;
        r.action = Action::Sts;
        ok = need_num(r.sts);
      } else if (name == "challenge") {
        ++actions;
        r.action = Action::Challenge;
        ok = need_num(r.challenge);
        if (ok && r.challenge != 401 && r.challenge != 407)
          return fail(error, "challenge=401 or challenge=407");
      } else if (name == "scheme") {
        if (val != "Basic" && val != "NTLM" && val != "Negotiate")
          return fail(error, "scheme is Basic, NTLM or Negotiate");
        r.schemes.push_back(val);
      } else if (name == "auth") {
        if (val.find(':') == std::string::npos) return fail(error, "auth=USER:PASS");
        r.auth = val;
      } else if (name == "keepalive")
        r.keepalive = true;
      else if (name == "delay")
        ok = need_num(r.delay_ms);
      else if (name == "trickle")
        ok = need_num(r.trickle_ms);
      else if (name == "continue")
        r.send_continue = true;
      else if (name == "binary")
        ok = need_num(r.binary);
      else if (name == "lng")
        ok = need_num(r.lng);
      else if (name == "badsum")
        r.badsum = true;
      else
        return fail(error, "unknown fault token '" + tok + "'");
      if (!ok) return false;
    }
    if (actions > 1) return fail(error, "more than one answer action in a rule");
    if (r.action == Action::Challenge && r.schemes.empty()) r.schemes.push_back("Basic");
    if (r.has_text && r.action != Action::Sts && r.action != Action::Http)
      return fail(error, "text= goes with sts= or http=");
    sc_.faults.push_back(std::move(r));
    return true;
  }

  std::string base_;
  Scenario& sc_;
  std::string section_;
  User* user_ = nullptr;
  int line_no_ = 0;
  bool calendar_is_text_ = false;
};

}  // namespace

std::string FaultRule::describe() const {
  std::string s;
  auto add = [&](const std::string& t) {
    if (!s.empty()) s += ' ';
    s += t;
  };
  static const char* phases[] = {"request", "header", "body", "frame", "text", "binary"};
  switch (action) {
    case Action::None:
      break;
    case Action::Http:
      add("http=" + std::to_string(http_status));
      break;
    case Action::Drop:
      add(std::string("drop=") + phases[static_cast<int>(phase)]);
      break;
    case Action::Reset:
      add(std::string("reset=") + phases[static_cast<int>(phase)]);
      break;
    case Action::Truncate:
      add("truncate=" + std::to_string(truncate));
      break;
    case Action::Sts:
      add("sts=" + std::to_string(sts));
      break;
    case Action::Challenge:
      add("challenge=" + std::to_string(challenge));
      break;
  }
  if (delay_ms > 0) add("delay=" + std::to_string(delay_ms));
  if (trickle_ms >= 0) add("trickle=" + std::to_string(trickle_ms));
  if (send_continue) add("continue");
  if (binary >= 0) add("binary=" + std::to_string(binary));
  if (badsum) add("badsum");
  if (lng >= 0) add("lng=" + std::to_string(lng));
  return s + " (line " + std::to_string(line) + ")";
}

bool parse_scenario(const std::string& text, const std::string& base_dir, Scenario& out,
                    std::string& error) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  // "charset = CP932" before the first section: the file is Shift-JIS (the
  // test fixture writes its literals so); it is read as UTF-8 after conversion.
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string_view l = trim(cut_comment(trim(lines[i])));
    if (l.empty()) continue;
    if (l.rfind("charset", 0) == 0) {
      std::size_t eq = l.find('=');
      std::string cs(eq == std::string_view::npos ? "" : trim(l.substr(eq + 1)));
      lines[i].clear();
      if (cs == "CP932" || cs == "cp932" || cs == "Shift_JIS") {
        for (auto& line : lines) {
          auto u = from_sjis(line);
          if (!u) {
            error = "line " + std::to_string(&line - &lines[0] + 1) + ": not Shift-JIS text";
            return false;
          }
          line = *u;
        }
      } else if (cs != "UTF-8" && cs != "utf-8") {
        error = "line " + std::to_string(i + 1) + ": charset is UTF-8 or CP932";
        return false;
      }
    }
    break;
  }
  Parser p(base_dir, out);
  return p.run(lines, error);
}

bool load_scenario(const std::string& path, Scenario& out, std::string& error) {
  auto bytes = read_bytes(path);
  if (!bytes) {
    error = "cannot read " + path;
    return false;
  }
  std::string dir;
  std::size_t slash = path.rfind('/');
  if (slash != std::string::npos) dir = path.substr(0, slash);
  return parse_scenario(*bytes, dir, out, error);
}

std::optional<std::string> read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace refsrv
