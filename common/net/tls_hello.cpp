// The parsing of a client hello's server name and the certificate name rule of
// the server side (see tls.h); kept apart from the handshake so that the fuzz
// target takes them alone.
#include <cstdint>
#include <string>
#include <string_view>

#include "net/tls.h"

namespace {

constexpr std::size_t kRecordHeader = 5;
constexpr std::size_t kServerNameMax = 2047;

std::uint16_t be16(const unsigned char* p) {
  return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

}  // namespace

namespace zrnet {

bool client_hello_server_name(const char* record, std::size_t len, std::string* name) {
  const auto* p = reinterpret_cast<const unsigned char*>(record);
  // A handshake record whose body begins with a client hello.
  if (len < kRecordHeader + 4 || p[0] != 22 || p[kRecordHeader] != 1) return false;
  std::size_t end = kRecordHeader + be16(p + 3);
  if (end > len) return false;
  // Handshake header (4), client version (2), random (32).
  std::size_t at = kRecordHeader + 4 + 2 + 32;
  auto need = [&](std::size_t n) { return at + n <= end; };
  if (!need(1)) return false;
  at += 1 + p[at];  // session identifier
  if (!need(2)) return false;
  at += 2 + be16(p + at);  // cipher suites
  if (!need(1)) return false;
  at += 1 + p[at];  // compression methods
  if (!need(2)) return false;
  const std::size_t ext_end = at + 2 + be16(p + at);
  at += 2;
  if (ext_end > end) return false;
  while (at + 4 <= ext_end) {
    const std::uint16_t type = be16(p + at), elen = be16(p + at + 2);
    at += 4;
    if (at + elen > ext_end) return false;
    if (type == 0) {
      // The list's length, then entries of a type byte and a 16-bit length.
      std::size_t e = at + 2;
      const std::size_t list_end = at + 2 + (elen >= 2 ? be16(p + at) : 0);
      if (elen < 2 || list_end > at + elen) return false;
      while (e + 3 <= list_end) {
        const std::uint8_t kind = p[e];
        const std::uint16_t nlen = be16(p + e + 1);
        e += 3;
        if (e + nlen > list_end) return false;
        if (kind == 0 && nlen > 0) {
          name->assign(reinterpret_cast<const char*>(p + e),
                       nlen > kServerNameMax ? kServerNameMax : nlen);
          return true;
        }
        e += nlen;
      }
      return false;
    }
    at += elen;
  }
  return false;
}

bool display_name_serves(const char* display, const std::string& name) {
  const std::string_view d(display);
  if (d.empty() || name.empty()) return false;
  if (d.front() == '*') {
    const std::string_view suffix = d.substr(1);
    return name.size() >= suffix.size() &&
           std::string_view(name).substr(name.size() - suffix.size()) == suffix;
  }
  return d == name;
}

}  // namespace zrnet
