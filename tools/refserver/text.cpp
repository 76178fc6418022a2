#include "text.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>

namespace refsrv {
namespace {

// One iconv conversion descriptor for the length of a call.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts as much of in as possible into out; returns false at the first
  // byte that cannot be converted (in then points at it).
  bool run(std::string_view& in, std::string& out) {
    char buf[256];
    while (!in.empty()) {
      char* src = const_cast<char*>(in.data());
      std::size_t src_left = in.size();
      char* dst = buf;
      std::size_t dst_left = sizeof buf;
      std::size_t rc = iconv(cd_, &src, &src_left, &dst, &dst_left);
      out.append(buf, static_cast<std::size_t>(dst - buf));
      in.remove_prefix(in.size() - src_left);
      if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) return false;
    }
    return true;
  }

 private:
  iconv_t cd_;
};

void append_hex(std::string& out, unsigned char c) {
  char hex[8];
  std::snprintf(hex, sizeof hex, "\\x%02X", c);
  out += hex;
}

}  // namespace

std::optional<std::string> to_sjis(std::string_view utf8) {
  Converter conv("CP932", "UTF-8");
  if (!conv.ok()) return std::nullopt;
  std::string out;
  if (!conv.run(utf8, out)) return std::nullopt;
  return out;
}

std::optional<std::string> from_sjis(std::string_view sjis) {
  Converter conv("UTF-8", "CP932");
  if (!conv.ok()) return std::nullopt;
  std::string out;
  if (!conv.run(sjis, out)) return std::nullopt;
  return out;
}

std::string to_log(std::string_view sjis) {
  Converter conv("UTF-8", "CP932");
  std::string out;
  std::size_t run_start = 0;
  // Control characters are escaped; runs of other bytes go through iconv, and a
  // byte it cannot read is escaped on its own.
  auto flush = [&](std::size_t end) {
    std::string_view run = sjis.substr(run_start, end - run_start);
    while (!run.empty()) {
      if (!conv.ok() || !conv.run(run, out)) {
        append_hex(out, static_cast<unsigned char>(run.front()));
        run.remove_prefix(1);
      }
    }
  };
  for (std::size_t i = 0; i < sjis.size(); ++i) {
    auto c = static_cast<unsigned char>(sjis[i]);
    bool lead = (c >= 0x81 && c <= 0x9F) || c >= 0xE0;
    if (lead && i + 1 < sjis.size()) {
      ++i;  // a trail byte may look like a control-free ASCII byte; keep pairs
      continue;
    }
    if (c < 0x20 || c == 0x7F || c == '"' || c == '\\') {
      flush(i);
      if (c == '"' || c == '\\') {
        out += '\\';
        out += static_cast<char>(c);
      } else {
        append_hex(out, c);
      }
      run_start = i + 1;
    }
  }
  flush(sjis.size());
  return out;
}

void mask(std::string& text, std::size_t from, std::size_t n) {
  for (std::size_t i = from; i < from + n && i < text.size(); ++i) text[i] = '*';
}

}  // namespace refsrv
