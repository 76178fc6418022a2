// Fuzz target: the readers of an HTTP answer header from a server or a proxy
// (status code, Content-Length, the challenge schemes and their data). The
// first byte chooses the status whose challenge line is read (401 or 407); the
// rest is the header text. A length is -1 or within 0..2^31-1, a status within
// -1..999, and challenge data a single word no longer than its line allows.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/header_parse.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int status = (data[0] & 1) ? 401 : 407;
  const std::string hdr(reinterpret_cast<const char*>(data + 1), size - 1);

  const int code = zrnet::status_code(hdr.c_str());
  if (code < -1 || code > 999) std::abort();
  const long length = zrnet::content_length(hdr.c_str());
  if (length < -1 || length > 0x7FFFFFFFL) std::abort();

  bool offered[zrnet::kSchemeCount];
  zrnet::offered_schemes(hdr.c_str(), status, offered);
  if (offered[0]) std::abort();
  for (int scheme = 0; scheme < zrnet::kSchemeCount; ++scheme) {
    std::string word;
    std::size_t rest = 0;
    const bool ok = zrnet::challenge_data(hdr.c_str(), status, scheme, &word, &rest);
    if (ok != (rest <= zrnet::kChallengeRestMax)) std::abort();
    if (!ok && !word.empty()) std::abort();
    if (word.size() > rest || word.find_first_of(" \r\n") != std::string::npos) std::abort();
    if (!word.empty() && !offered[scheme]) std::abort();
  }
  return 0;
}
