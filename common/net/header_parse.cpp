#include "net/header_parse.h"

#include <cstring>

namespace zrnet {

namespace {

// The spellings of each scheme as they follow the challenge header's name.
constexpr const char* kSpellings[kSchemeCount][2] = {
    {nullptr, nullptr}, {" Basic", " BASIC"}, {" NTLM", " Ntlm"}, {" Negotiate", " NEGOTIATE"}};

}  // namespace

int status_code(const char* hdr) {
  if (std::strncmp(hdr, "HTTP/", 5) != 0) return -1;
  const char* p = std::strchr(hdr, ' ');
  if (!p) return 0;
  while (*p == ' ') ++p;
  int code = 0;
  for (int k = 0; k < 3 && p[k] >= '0' && p[k] <= '9'; ++k) code = code * 10 + (p[k] - '0');
  return code;
}

long content_length(const char* hdr) {
  // Only a header line whose name is one of the three spellings counts, not a
  // longer name that contains it ("X-Content-Length") nor a text inside a value.
  for (const char* line = hdr; *line;) {
    for (const char* name : {"Content-Length", "content-length", "Content-length"}) {
      const std::size_t nlen = std::strlen(name);
      if (std::strncmp(line, name, nlen) != 0) continue;
      const char* p = line + nlen;
      while (*p == ' ') ++p;
      if (*p != ':') continue;
      ++p;
      while (*p == ' ') ++p;
      long v = 0;
      bool any = false;
      for (; *p >= '0' && *p <= '9'; ++p) {
        any = true;
        if (v > 0x7FFFFFFFL / 10) return -1;  // no sensible length
        v = v * 10 + (*p - '0');
      }
      return any ? v : -1;
    }
    const char* eol = std::strchr(line, '\n');
    if (!eol) break;
    line = eol + 1;
  }
  return -1;
}

const char* challenge_header(int status) {
  return status == 401 ? "WWW-Authenticate:" : "Proxy-Authenticate:";
}

void offered_schemes(const char* hdr, int status, bool offered[kSchemeCount]) {
  for (int s = 0; s < kSchemeCount; ++s) offered[s] = false;
  const char* name = challenge_header(status);
  const std::size_t nlen = std::strlen(name);
  for (const char* p = std::strstr(hdr, name); p; p = std::strstr(p + 1, name)) {
    const char* s = p + nlen;
    for (int scheme = 1; scheme < kSchemeCount; ++scheme) {
      for (const char* spelling : kSpellings[scheme])
        if (!std::strncmp(s, spelling, std::strlen(spelling))) offered[scheme] = true;
    }
  }
}

bool challenge_data(const char* hdr, int status, int scheme, std::string* data,
                    std::size_t* rest_len) {
  data->clear();
  *rest_len = 0;
  if (scheme < 1 || scheme >= kSchemeCount) return true;
  const char* name = challenge_header(status);
  const std::size_t nlen = std::strlen(name);
  for (const char* p = std::strstr(hdr, name); p; p = std::strstr(p + 1, name)) {
    const char* s = p + nlen;
    for (const char* spelling : kSpellings[scheme]) {
      const std::size_t slen = std::strlen(spelling);
      if (std::strncmp(s, spelling, slen) != 0) continue;
      const char* rest = s + slen;
      const std::size_t len = std::strcspn(rest, "\r\n");
      *rest_len = len;
      if (len > kChallengeRestMax) return false;
      std::size_t at = 0;
      while (at < len && rest[at] == ' ') ++at;
      std::size_t end = at;
      while (end < len && rest[end] != ' ') ++end;
      data->assign(rest + at, end - at);
      return true;
    }
  }
  return true;
}

}  // namespace zrnet
