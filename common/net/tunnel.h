// Pieces of the HTTP tunnel that tests and the other transports use directly:
// the request layout, the answer-header checks, the error-page rotation, the
// Basic authorization line and the masking of secrets in trace copies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "net/header_parse.h"
#include "net/stream.h"
#include "runtime/areas.h"

// Writes an answer header for a body of length bytes into out; its length.
ZR_API int _make_http_hdr(int length, char* out);

// Installs the exchange function in msg_fn by the connection settings (the
// system HTTP client, TLS or plain HTTP); at start-up a SOCKS setting forces a
// direct connection (TLS stays TLS).
void zrnet_msg_fn_install(bool startup);

// The pause of the tunnel (retry interval, busy re-send). Tests replace it to
// record the pauses; returns the previous one.
typedef void (*ZR_NET_SLEEP_FN)(std::uint32_t ms);
ZR_NET_SLEEP_FN zr_net_sleep_handler(ZR_NET_SLEEP_FN fn);

// Where the tunnel's exchanges get their byte stream: by default a connection
// to the proxy or the server (a TLS session for the secured tunnel). Fuzz
// targets replace it to serve answer bytes without a connection; a null stream
// is a connection that could not be opened. Returns the previous one (null:
// the default).
typedef std::unique_ptr<zrnet::Stream> (*ZR_NET_STREAM_FN)(bool secured);
ZR_NET_STREAM_FN zr_net_stream_handler(ZR_NET_STREAM_FN fn);

namespace zrnet {

// The tunnel's pause (retry interval, busy re-send), through the handler above.
void pause_ms(std::uint32_t ms);
// The local time as "HH:MM:SS".
void time_text(char* out, std::size_t cap);
// A tunnel trace line; outside the logon it also closes the progress windows.
void tunnel_trace(const char* text);
// Milliseconds each receive of an answer may wait; -1 without bound.
int recv_wait_ms();
// The final text of an exchange that ended with an attempt result.
void result_text(Attempt result, int mid, char* text, std::size_t cap);
// The answer checks after a completed exchange: status -9999 shows the server's
// text and ends the process; status -1 is traced.
void answer_status_check(int mid);

// The longest authorization line (a Negotiate token can run to a few kilobytes).
constexpr std::size_t kAuthLineMax = 12288;

// Makes the authorization line for the challenge in an answer header (status
// 401 or 407) into *line: chooses the scheme (auth_kd); Basic comes from the
// stored credentials and is kept as auth_line; NTLM and Negotiate run one round
// of this thread's conversation with the challenge's data. On failure *why
// names it for the user (or null).
Challenge make_auth_line(const char* hdr, int status, const char** why, std::string* line);
// Answers the authentication challenge in an answer header (status 401 or 407):
// makes the line (make_auth_line) and rebuilds the request in p_msg from
// hdr_copy with it. kCannot when no line can be made (no credentials, a failed
// conversation); kNoScheme when the header offers none (p_msg then holds status
// -1 and the text).
Challenge answer_challenge(const char* hdr, int status);

// Requests longer than this are refused before any connection is made.
constexpr std::int32_t kRequestMax = 4194490;

// How the request line and the Host line name the server: the plain tunnel
// posts to http:// with the bare host; the secured one to https:// with the
// port in the Host line (and without the proxy's authorization line, which
// stays with its CONNECT).
struct RequestShape {
  const char* scheme = "http";
  unsigned short port = 0;  // 0: no port in the Host line
};

// Builds the complete HTTP request for the message in p_msg (mid, kd00 and the
// request text up to its first NUL) and puts it in place of the data; mlng
// becomes its length. Counts the request in ua_p and ua_r. Returns the length,
// or -1 when the record cannot hold it. Also keeps the header part in hdr_copy.
int build_request(const RequestShape& shape = RequestShape{});
// Overwrites the P field of the User-Agent line in text with the attempt number
// and ua_p, then counts it in ua_p.
void retry_patch(char* text, int attempt);
// Notes in keep_alive whether the proxy offered to keep the connection open
// with its 407 answer (never after a 401, nor with CONNECT_CLS on).
void note_keep_alive(const char* hdr, int status);
// Moves "%s_ERR" and its numbered predecessors one place up (dropping ".05") and
// writes body as the new "%s_ERR".
void save_error_page(const char* base, const char* body, std::size_t len);
// The authorization scheme a challenge header offers: 1 Basic, 2 NTLM, 3
// Negotiate, 0 none. status 401 reads "WWW-Authenticate:", others
// "Proxy-Authenticate:". NTLM and Negotiate are preferred to Basic (between
// them pxy_auth1st chooses Negotiate); where the system holds no such
// conversations (the native build) an offered Basic is chosen instead.
int auth_scheme(const char* hdr, int status);
// The Basic line for status ("Proxy-Authorization: Basic ...\r\n" or, for 401,
// "Authorization: Basic ...\r\n") from user and password; false when it does not fit.
bool basic_line(int status, const char* user, const char* pass, char* out, std::size_t cap);
// A trace copy of a request text: the authorization tokens and, for the
// messages that carry one, the password become asterisks of the same length.
std::string masked(const char* text, std::size_t len, int mid);

}  // namespace zrnet
