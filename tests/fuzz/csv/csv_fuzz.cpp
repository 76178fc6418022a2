// Fuzz target: the CSV splitter and quoting, the address and path scanner and
// the attribute reader over arbitrary bytes. Each result is checked against
// what it promises: fields that lie inside the line and rebuild it, a quoted
// text within its capacity that splits into as many fields, spans inside the
// text, and a value no longer than its tag.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "text/scan.h"

namespace {

// Every lead byte followed by a trail byte (0x40-0xFC but 0x7F). In a text
// that breaks this a lead byte may take the quote after it, so a second
// quoting pass need not agree with the first.
bool well_formed(const std::string& s) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (!((c >= 0x81 && c <= 0x9F) || c >= 0xE0)) continue;
    const unsigned char t = i + 1 < s.size() ? static_cast<unsigned char>(s[i + 1]) : 0;
    if (t < 0x40 || t > 0xFC || t == 0x7F) return false;
    ++i;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string line(text.c_str());  // up to the first NUL

  // Splitting: the fields, joined again with commas, are the line.
  std::string buf = line;
  std::vector<char*> fields(101);
  const int n = zr::csv_split(buf.data(), fields.data(), 100);
  if (n == 0 || n > 100) std::abort();
  if (n > 0) {
    std::string joined;
    for (int k = 0; k < n; ++k) {
      if (fields[k] < buf.data() || fields[k] > buf.data() + buf.size()) std::abort();
      if (k) joined += ',';
      joined += fields[k];
    }
    if (joined != line) std::abort();
  }

  // Quoting: within the capacity it asked for, and (for well-formed text) a
  // second pass changes nothing.
  std::string quoted(zr::csv_quote_cap(line.c_str()) + 1, '\x7F');
  const int q = zr::csv_quote(line.c_str(), quoted.data());
  if (q >= 0) {
    if (std::size_t(q) + 1 > zr::csv_quote_cap(line.c_str()) || quoted[std::size_t(q)] != '\0')
      std::abort();
  }
  if (q >= 0 && well_formed(line)) {
    std::string again(zr::csv_quote_cap(quoted.c_str()), '\0');
    const int q2 = zr::csv_quote(quoted.c_str(), again.data());
    if (q2 != q || std::memcmp(again.data(), quoted.data(), std::size_t(q)) != 0) std::abort();
  }

  // Addresses and paths: every span inside the text, in order, not overlapping.
  int starts[8], lengths[8];
  const int length = static_cast<int>(size);
  const int found = zr::url_scan(text.data(), length, starts, lengths, 8);
  if (found < 0) std::abort();
  int end = 0;
  for (int k = 0; k < found && k < 8; ++k) {
    if (starts[k] < end || lengths[k] <= 0 || starts[k] + lengths[k] > length) std::abort();
    end = starts[k] + lengths[k];
  }

  // Attributes: the name is the first word of the line after its first space.
  const std::size_t space = line.find(' ');
  const std::string name = space == std::string::npos ? "a" : line.substr(0, space);
  const std::string tag = space == std::string::npos ? line : line.substr(space + 1);
  std::vector<char> out(tag.size() + 1);
  const int v = zr::attr_value(tag.c_str(), name.c_str(), out.data(), out.size());
  if (v < 0 || std::size_t(v) > tag.size() || std::strlen(out.data()) != std::size_t(v))
    std::abort();
  return 0;
}
