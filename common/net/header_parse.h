// The readers of an HTTP answer header that see only its text: the status
// code, the Content-Length and the authorization challenges. They hold no
// state and write no trace, so that the fuzz target can take them alone; the
// tunnels decide what to do with what they find.
#pragma once

#include <cstddef>
#include <string>

namespace zrnet {

// The status code of an answer header ("HTTP/1.1 503 ..."); -1 when the text
// does not begin with "HTTP/".
int status_code(const char* hdr);
// The Content-Length of an answer header (any of its three spellings, as the
// name of a header line), or -1.
long content_length(const char* hdr);

// The challenge schemes by number: 1 Basic, 2 NTLM, 3 Negotiate.
inline constexpr int kSchemeCount = 4;
// The header line that carries the challenges of status: "WWW-Authenticate:"
// for 401, "Proxy-Authenticate:" for the others.
const char* challenge_header(int status);
// The schemes the challenge lines of status offer (offered[scheme]).
void offered_schemes(const char* hdr, int status, bool offered[kSchemeCount]);
// The longest remainder of a challenge line after its scheme.
inline constexpr std::size_t kChallengeRestMax = 1023;
// The challenge data of scheme: the first word after it on the first line
// offering it (empty when no line does, or the line has no data). False, with
// *rest_len the remainder's length, when that remainder is longer than
// kChallengeRestMax.
bool challenge_data(const char* hdr, int status, int scheme, std::string* data,
                    std::size_t* rest_len);

}  // namespace zrnet
