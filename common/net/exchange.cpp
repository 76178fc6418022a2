// The exchange engine: one exchange of the current message as an HTTP POST over
// a byte stream, for both the plain tunnel (zwsock_phmsg) and the secured one
// (zwsock_phmsg_ssl). The request layout, the answer header, interim answers,
// busy answers, authentication challenges, the frame checks, the final texts
// and the decision which failures end the program exist once, here and in
// http.cpp. Where the secured exchange behaves differently, the difference is a
// field of Rules below or a branch on `secured`, each commented.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "net/socket.h"
#include "net/auth.h"
#include "net/stream.h"
#include "net/tls.h"
#include "net/transport.h"
#include "net/tunnel.h"
#include "platform/net.h"
#include "platform/platform.h"
#include "runtime/zrcommon.h"
#include "naming/code_tables.h"
#include "net/message.h"

namespace {

using zrnet::Attempt;
using zrnet::Challenge;
using zrnet::Got;

constexpr int kHeaderMax = 2048;                   // bytes read as an answer header
constexpr int kBodyHeader = 32;                    // the text header in front of the request text
constexpr int kBusyLimit = 3;                      // busy answers that end a plain attempt
constexpr int kBusyPauseMs = 5000;                 // pause before a plain busy re-send
constexpr long kErrorPageMax = 16L * 1024 * 1024;  // larger error pages are not kept
constexpr int kChallengeMax = 8;                   // challenges answered within one attempt
constexpr int kInterimMax = 8;  // "100 Continue" answers read before the answer counts as failed

// How an exchange variant differs from the plain tunnel.
struct Rules {
  // The secured exchange: TLS stream, https request line, port in the Host line.
  bool secured;
  // The name in the size-error text.
  const char* name;
  // The plain tunnel reads past interim "100 Continue" answers; the secured one
  // takes status 100 as an unexpected status.
  bool skip_continue;
  // The plain tunnel takes a status 200 HTML page as an intermediary's error
  // page and handles it as busy; the secured tunnel cannot meet an intermediary
  // inside TLS and takes status 200 as the answer.
  bool html_200_is_busy;
  // The secured tunnel reads the answer as the body its Content-Length gives, so
  // the frame must lie within that body; the plain tunnel lets the frame header
  // govern and only traces the Content-Length.
  bool frame_within_body;
  // The plain tunnel re-sends a busy answer and answers a challenge inside its
  // attempt; the secured tunnel ends the attempt with kBusy or
  // kNeedCredentials, and its retry loop re-sends.
  bool statuses_end_attempt;
  // The answer trace line's indentation differs between the two.
  const char* answer_indent;
};

constexpr Rules kPlain{false, "zwsockh1", true, true, false, false, "        "};
constexpr Rules kSecured{true, "zwsockh1_ssl", false, false, true, true, "            "};

// Where an exchange gave up.
enum class Phase {
  kConnect,  // the secured connection could not be opened
  kBuild,    // the secured request could not be built
  kAnswer,   // the attempts and retries are used up
};

// Which failed messages return -1 to their caller instead of ending the
// process. The logon (107) and the user check (118) report their failures
// themselves in every case. The plain tunnel also returns the cloud
// authentication (225). The secured tunnel returns 225 and the download of
// ZWM500 (227) when the connection cannot be secured, and only 107 and 118
// otherwise.
bool returns_to_caller(int mid, bool secured, Phase phase) {
  if (mid == 107 || mid == 118) return true;
  if (!secured) return mid == 225;
  return phase == Phase::kConnect && (mid == 225 || mid == 227);
}

// Whether the final text of a failure that ends the process is shown in a
// message box first (a result of kNeedCredentials always is). The plain tunnel
// shows only the busy text; the secured one shows every failure before the
// answer and the failed and busy results after it.
bool shows_box(Attempt result, bool secured, Phase phase) {
  if (!secured) return result == Attempt::kBusy;
  if (phase != Phase::kAnswer) return true;
  return result == Attempt::kFailed || result == Attempt::kBusy;
}

int tag() { return zr01->ua_c; }
int mid() { return zrwork->p_msg->hdr.mid; }

void real_sleep(std::uint32_t ms) { plat::sleep_ms(ms); }
ZR_NET_SLEEP_FN g_sleep = real_sleep;
ZR_NET_STREAM_FN g_open_stream = nullptr;

// The "Receive Length Error" of a frame that cannot be taken.
Attempt length_error(std::int32_t lng, std::int32_t sts) {
  ZR_FMT(zrwork->mes_buf, "** 回線障害(Receive Length Error) p_msg->lng:%d **", lng);
  _dbg_print("%s sts:%d", zrwork->mes_buf, sts);
  return Attempt::kFailed;
}

class Exchange {
 public:
  explicit Exchange(const Rules& rules) : r_(rules), m_(mid()) {}
  int run();

 private:
  int run_plain();
  int run_secured();
  Attempt plain_attempt(int i);

  void announce();
  Attempt build();
  void restore(int attempt);
  Attempt connect();
  void close() {
    if (s_) s_->close();
    s_.reset();
    zrwork->hsock = 0;
  }
  Attempt send_request();
  Attempt on_connection(char* hdr);
  Attempt read_header_text(char* hdr);
  Attempt header_phase(char* hdr);
  Attempt busy_resend();
  Attempt answer_plain_challenge(const char* hdr, int status, int* challenges, bool* auth_sent);
  Attempt skip_body(const char* hdr, int wait_ms);
  void keep_error_page(const char* hdr);
  Attempt read_exact(char* buf, long len, int* ecd);
  Attempt read_frame(const char* hdr);
  void trace_answer(const char* hdr);
  int finish(Attempt result, Phase phase);

  const Rules& r_;
  const int m_;
  std::unique_ptr<zrnet::Stream> s_;
};

int Exchange::run() {
  if (zrwork->mlng > zrnet::kRequestMax) {
    _dbg_print("*** %s mlng Size Error !!! ***   mlng:%d", r_.name, zrwork->mlng);
    _mes_print("*** %s mlng Size Error !!! ***   mlng:%d", r_.name, zrwork->mlng);
    return -1;
  }
  return r_.secured ? run_secured() : run_plain();
}

// The plain tunnel: every attempt builds (or restores) the request, opens its
// own connection and closes it; a dropped connection is retried retry_count
// times, and the system client's authentication starts the next attempt at once.
int Exchange::run_plain() {
  zrwork->ie_auth_done = 0;
  Attempt result;
  for (int i = 0;; ++i) {
    zrwork->ie_auth = 0;
    result = plain_attempt(i);
    zwsockh_auth_finish();
    if (result == Attempt::kDropped) {
      if (i >= zr00->retry_count) break;
      _dbg_print("        (%d) ** 回線が切断されました。リトライします。(lcnt:%d) **", tag(), i);
      zrnet::pause_ms(zr00->retry_interval);
      continue;
    }
    if (result == Attempt::kSystemAuthDone) {
      if (i >= zr00->retry_count) break;
      continue;
    }
    break;
  }
  return finish(result, Phase::kAnswer);
}

Attempt Exchange::plain_attempt(int i) {
  if (i == 0) {
    if (Attempt b = build(); b != Attempt::kOk) return b;
  } else {
    restore(i);
  }
  announce();
  if (Attempt c = connect(); c != Attempt::kOk) return c;
  char hdr[kHeaderMax + 1] = "";
  Attempt rc = on_connection(hdr);
  close();
  if (rc == Attempt::kOk) trace_answer(hdr);
  return rc;
}

// The secured tunnel: the request is announced and built once, the connection
// opened before it; every failed answer is retried up to retry_count times,
// each retry restoring the kept request with the retry patch.
int Exchange::run_secured() {
  announce();
  if (connect() != Attempt::kOk) return finish(Attempt::kFailed, Phase::kConnect);
  if (build() != Attempt::kOk) {
    close();
    return finish(Attempt::kFailed, Phase::kBuild);
  }
  char hdr[kHeaderMax + 1] = "";
  Attempt result = on_connection(hdr);
  for (int lcnt = 0; result != Attempt::kOk;) {
    if (result == Attempt::kNeedCredentials) {
      // A challenge inside the secured connection comes from the server (a
      // proxy sees only the CONNECT's tunnel): the stored credentials are the
      // proxy's and are not sent to it. The exchange ends with the
      // credentials message, on the last attempt as on the first.
      _dbg_print("server challenge (%d) inside TLS: the proxy's credentials are not sent",
                 zrwork->http_sts);
      break;
    }
    if (lcnt >= zr00->retry_count) break;
    ++lcnt;
    if (result == Attempt::kBusy) {
      zrnet::pause_ms(zr00->retry_interval);
      // With NTLM_MODE off the request asked the server to close the
      // connection after its answer; the re-send then needs a new one.
      if (!zr00->ntlm_mode) {
        close();
        connect();
      }
      restore(lcnt);
    } else {
      // A failure: a new connection; when it cannot be opened, the next
      // answer fails on it.
      close();
      zrnet::pause_ms(zr00->retry_interval);
      connect();
      restore(lcnt);
    }
    _dbg_print("        (%d) ** リトライ(ret:%d  lcnt:%d) **", tag(), zrnet::code(result), lcnt);
    result = on_connection(hdr);
  }
  if (result == Attempt::kOk) trace_answer(hdr);
  close();
  // A conversation a challenge inside the connection began ends with the run.
  zwsockh_auth_finish();
  zrwork->ie_auth = 0;
  return finish(result, Phase::kAnswer);
}

// The trace line that announces the request.
void Exchange::announce() {
  char now[16];
  zrnet::time_text(now, sizeof now);
  const char* kind = r_.secured ? " SSL" : "";
  if (m_ == 801 || m_ == 802 || m_ == 810) {
    _dbg_print("** PHMSG%s(%d) %s ** mid:%04d(%s)", kind, tag(), now, m_, _midinf_nm(m_));
    return;
  }
  const char* text = zrwork->p_msg->data;
  std::string shown;
  if (r_.secured) {
    // The secured tunnel announces before the request is built: a preview of
    // the text header and the request text. The header is as wide as its
    // fields make it, so the password is found behind its real end.
    const int tlen = static_cast<int>(
        ::strnlen(text, static_cast<std::size_t>(zrwork->mlng < 0 ? 0 : zrwork->mlng)));
    char head[128];
    ZR_FMT(head, "%-11s%02d%-8s%04d%07d", zr01->http_obj_nm, zrwork->p_msg->hdr.kd00 % 100,
           zr01->user_id, m_ % 10000, tlen);
    shown = std::string(head) + std::string(text, ::strnlen(text, 100));
    zr_msg_mask_secret(m_, shown.data(), shown.size(), std::strlen(head));
  } else {
    const char* body = std::strstr(text, "\r\n\r\n");
    body = body ? body + 4 : text;
    shown = zrnet::masked(body, ::strnlen(body, 100), -1);
    zr_msg_mask_secret(m_, shown.data(), shown.size(), kBodyHeader);
  }
  _dbg_print("** PHMSG%s(%d) %s ** mid:%04d(%s) buf:%.*s", kind, tag(), now, m_, _midinf_nm(m_),
             static_cast<int>(shown.size()), shown.c_str());
}

// Builds the request in p_msg and keeps its two copies for the retries.
Attempt Exchange::build() {
  zrnet::RequestShape shape;
  if (r_.secured) shape = zrnet::RequestShape{"https", zrnet::tls_port()};
  const int len = zrnet::build_request(shape);
  if (len < 0) return Attempt::kFailed;
  // The copies also hold the request rebuilt with an authorization line.
  constexpr std::int32_t kAuthRoom = static_cast<std::int32_t>(zrnet::kAuthLineMax) + 1024;
  if (len + kAuthRoom >= zrwork->req_copy_cap) {
    std::int32_t cap = len + static_cast<std::int32_t>(zrnet::kAuthLineMax) + 10000;
    void* block = std::malloc(static_cast<std::size_t>(cap) * 2);
    if (!block) {
      _dbg_print("request copies of %d bytes cannot be held", cap);
      return Attempt::kFailed;
    }
    std::free(zrwork->tnl_work);
    zrwork->tnl_work = block;
    zrwork->req_copy = static_cast<char*>(block);
    zrwork->req_copy2 = zrwork->req_copy + cap;
    zrwork->req_copy_cap = cap;
  }
  zr::copy(zrwork->req_copy, static_cast<std::size_t>(zrwork->req_copy_cap), zrwork->p_msg->data);
  zr::copy(zrwork->req_copy2, static_cast<std::size_t>(zrwork->req_copy_cap), zrwork->p_msg->data);
  return Attempt::kOk;
}

// Puts a kept request back into p_msg with the retry patch: the request as
// first built after the system client's authentication, else the latest one.
void Exchange::restore(int attempt) {
  const char* from = zrwork->ie_auth_done ? zrwork->req_copy2 : zrwork->req_copy;
  zrwork->ie_auth_done = 0;
  std::string text(from);
  zrwork->mlng = 0;
  zwsock_phmsg_set(text.data(), static_cast<int>(text.size()));
  zrnet::retry_patch(zrwork->p_msg->data, attempt);
}

// Opens the stream: the plain tunnel connects to the proxy or the server's port
// 80, retrying a failed connect; the secured one opens its TLS connection
// (which has its own retries). On the plain tunnel's final failure the connect
// text replaces the request data.
Attempt Exchange::connect() {
  if (g_open_stream) {
    s_ = g_open_stream(r_.secured);
    return s_ ? Attempt::kOk : Attempt::kFailed;
  }
  if (r_.secured) {
    const bool open = zwsock_open_ssl() == 0;
    s_ = zrnet::tls_stream();
    return open ? Attempt::kOk : Attempt::kFailed;
  }
  const bool proxy = zr00->proxy_use != 0;
  const char* host = proxy ? zr00->http_proxy_host : zr01->http_host_nm;
  const unsigned short port = proxy ? zr00->http_proxy_port : 80;
  for (int retry = 0;; ++retry) {
    zrwork->hsock = zwsock_open(port, host);
    if (zrwork->hsock) {
      s_ = zrnet::plain_stream(zrwork->hsock);
      return Attempt::kOk;
    }
    if (retry >= zr00->retry_count) break;
    zrnet::pause_ms(zr00->retry_interval);
    _dbg_print("        (%d) zwsock_open retry (cnt:%d)", tag(), retry + 1);
  }
  const char* text = zrwork->p_msg->data;
  std::string shown = zrnet::masked(text, ::strnlen(text, 100), m_);
  _dbg_print("%.100s", shown.c_str());
  zr::copy(zrwork->p_msg->data, static_cast<std::size_t>(zrwork->p_msg_cap), zrwork->mes_buf);
  return Attempt::kFailed;
}

Attempt Exchange::send_request() {
  if (!s_) return Attempt::kFailed;
  const char* text = zrwork->p_msg->data;
  return s_->send(text, std::strlen(text));
}

// Sends the request and reads its answer on the open stream.
Attempt Exchange::on_connection(char* hdr) {
  if (Attempt s = send_request(); s != Attempt::kOk) return s;
  Attempt rc = header_phase(hdr);
  if (rc == Attempt::kOk) rc = read_frame(hdr);
  return rc;
}

// Reads one answer header byte by byte into hdr (without its final empty line).
Attempt Exchange::read_header_text(char* hdr) {
  int n = 0, ecd = 0;
  long got = 0;
  bool ended = false;
  Got g = zrnet::recv_header(*s_, hdr, kHeaderMax, &n, &got, &ecd, &ended);
  if (g == Got::kData) {
    // The secured tunnel takes a header that does not end within its first
    // 2048 bytes as a broken answer and ends the program; the plain tunnel
    // reads on with what it has.
    if (!ended && r_.secured) {
      _dbg_print("HTTP HDR Error : %.2000s", hdr);
      zr_exit();
    }
    return Attempt::kOk;
  }
  _dbg_print("        (%d) Error of recv(HDR1)  ret:%ld, mid:%04d, buf:%.20s(%d), ecd:%d", tag(),
             got, m_, hdr, n, ecd);
  return s_->dropped(g, ecd) ? Attempt::kDropped : Attempt::kFailed;
}

// Reads and checks answer headers until one ends the header phase: kOk for a
// status 200 answer (its header left in hdr), or the attempt's result.
Attempt Exchange::header_phase(char* hdr) {
  zrwork->retry_proc_cnt = 0;
  int challenges = 0;
  int interim = 0;
  bool auth_sent = zrwork->auth_kd == 1 && zrwork->auth_line[0] &&
                   std::strstr(zrwork->p_msg->data, zrwork->auth_line);
  for (;;) {
    if (Attempt rc = read_header_text(hdr); rc != Attempt::kOk) return rc;
    const int hdr_len = static_cast<int>(std::strlen(hdr));
    int status = zrnet::status_code(hdr);
    if (status < 0) {
      char line[96];
      if (r_.secured)
        ZR_FMT(line, "Error of recv(HDR2)  ret:%d, ecd:%d", hdr_len, plat::net_last_error());
      else
        ZR_FMT(line, "Error of recv(HDR2)  ret:%d, lng:%d, ecd:%d", hdr_len, hdr_len,
               plat::net_last_error());
      zrnet::tunnel_trace(line);
      _dbg_print("HDR:%.500s", hdr);
      return Attempt::kFailed;
    }
    zrwork->http_sts = status;
    zrnet::note_keep_alive(hdr, status);
    if (r_.html_200_is_busy && status == 200 && std::strstr(hdr, "text/html")) {
      _dbg_print("HTTP_STS 200 ErrorRecv");
      status = 500;
    }
    if (status == 100 && r_.skip_continue) {
      // A server that keeps sending interim answers would hold the exchange
      // for ever.
      if (++interim <= kInterimMax) continue;
      _dbg_print("        (%d) %d interim answers without a final one", tag(), interim);
      return Attempt::kFailed;
    }
    switch (status) {
      case 200:
        return Attempt::kOk;
      case 302:
      case 400:
      case 403:
      case 500:
      case 502:
      case 503:
      case 504:
        _dbg_print("STATUS%d HDR[%d]:%.500s", status, hdr_len, hdr);
        if (r_.statuses_end_attempt) {
          if (Attempt d = skip_body(hdr, zrnet::recv_wait_ms()); d != Attempt::kOk) return d;
          return Attempt::kBusy;
        }
        keep_error_page(hdr);
        if (Attempt b = busy_resend(); b != Attempt::kOk) return b;
        continue;
      case 401:
      case 407:
        if (r_.statuses_end_attempt) {
          _dbg_print("STATUS%d HDR[%d]:%.500s", status, hdr_len, hdr);
          if (Attempt d = skip_body(hdr, zrnet::recv_wait_ms()); d != Attempt::kOk) return d;
          return Attempt::kNeedCredentials;
        }
        if (Attempt a = answer_plain_challenge(hdr, status, &challenges, &auth_sent);
            a != Attempt::kOk)
          return a;
        continue;
      default: {
        char line[96];
        ZR_FMT(line, "Error of recv(HTTP Status Error)  ret:%d, lng:%d, ecd:%d", status, hdr_len,
               plat::net_last_error());
        zrnet::tunnel_trace(line);
        _dbg_print("HDR:%.500s", hdr);
        return Attempt::kFailed;
      }
    }
  }
}

// The plain tunnel's busy re-send: after three busy answers the attempt is
// busy; before, a pause and the same request on a new connection.
Attempt Exchange::busy_resend() {
  _dbg_print("*** retry_proc cnt:%d ***", zrwork->retry_proc_cnt);
  if (++zrwork->retry_proc_cnt >= kBusyLimit) return Attempt::kBusy;
  zrnet::pause_ms(kBusyPauseMs);
  close();
  zwsockh_auth_finish();
  zrwork->ie_auth = 0;
  if (Attempt c = connect(); c != Attempt::kOk) return c;
  zrnet::retry_patch(zrwork->p_msg->data, zrwork->retry_proc_cnt);
  return send_request();
}

// The plain tunnel's answer to a challenge inside its attempt: the rebuilt
// request goes out (on a new connection unless the proxy keeps this one).
Attempt Exchange::answer_plain_challenge(const char* hdr, int status, int* challenges,
                                         bool* auth_sent) {
  if (zrwork->ie_auth) {
    // The final NTLM token was refused: the system HTTP client authenticates
    // once, then the request as first built is re-sent.
    skip_body(hdr, -1);
    close();
    _dbg_print("*** Proxy Authenticate(ntlm) failed. try ie_auth. ***");
    zrnet::system_client_auth();
    return Attempt::kSystemAuthDone;
  }
  // The challenge's body is read without a time-out.
  Attempt d = skip_body(hdr, -1);
  if (d == Attempt::kFailed) return Attempt::kFailed;
  Challenge a = d == Attempt::kOk ? zrnet::answer_challenge(hdr, status) : Challenge::kCannot;
  if (a == Challenge::kNoScheme) return Attempt::kFailed;
  // A Basic line already sent and refused again means wrong credentials;
  // answering again would only repeat the refusal. A conversation takes a
  // bounded number of rounds.
  if (a == Challenge::kAnswered &&
      ((*auth_sent && zrwork->auth_kd == 1) || ++*challenges > kChallengeMax))
    a = Challenge::kCannot;
  if (a != Challenge::kAnswered) {
    if (zrwork->auth_kd == 1) {
      _dbg_print("*** 認証要求受信 ***");
      return Attempt::kNeedCredentials;
    }
    _dbg_print("*** Proxy Authenticate Error ***");
    return Attempt::kFailed;
  }
  *auth_sent = true;
  zr::copy(zrwork->req_copy, static_cast<std::size_t>(zrwork->req_copy_cap), zrwork->p_msg->data);
  if (!zrwork->keep_alive) {
    close();
    if (Attempt c = connect(); c != Attempt::kOk) return c;
  }
  return send_request();
}

// Reads and drops the body of an answer that is not kept (its Content-Length).
Attempt Exchange::skip_body(const char* hdr, int wait_ms) {
  long len = zrnet::content_length(hdr);
  if (len < 0) len = 0;
  _dbg_print("proxy_data_recv lng:%ld", len);
  char buf[4096];
  for (long done = 0; done < len;) {
    const long want = len - done < static_cast<long>(sizeof buf) ? len - done : sizeof buf;
    long px = 0;
    int ecd = 0;
    Got g = zrnet::recv_exact(*s_, buf, want, want, wait_ms, &px, &ecd);
    done += px;
    if (g != Got::kData) {
      _dbg_print("Error of recv(proxy_data) ret:%d, mid:%d, lng:%ld, i:%ld, ecd:%d",
                 g == Got::kClosed ? 0 : -1, m_, len, done, ecd);
      // A reset counts as dropped; a closed connection as failed.
      return ecd == plat::kWsaEconnreset && s_->dropped(g, ecd) ? Attempt::kDropped
                                                                : Attempt::kFailed;
    }
  }
  return Attempt::kOk;
}

// Keeps the body of an HTML or plain-text answer as the newest error page.
void Exchange::keep_error_page(const char* hdr) {
  if (!std::strstr(hdr, "text/html") && !std::strstr(hdr, "text/plain")) return;
  long len = zrnet::content_length(hdr);
  if (len <= 0) return;
  if (len > kErrorPageMax) {
    _dbg_print("error page of %ld bytes not kept", len);
    return;
  }
  std::vector<char> body(static_cast<std::size_t>(len) + 1, '\0');
  int ecd = 0;
  if (read_exact(body.data(), len, &ecd) != Attempt::kOk) return;
  if (!zr00->dbg_fnm[0]) return;  // no trace file: no name to keep the page under
  zrnet::save_error_page(zr00->dbg_fnm, body.data(), ::strnlen(body.data(), body.size()));
}

// Receives exactly len bytes of the answer body with the time-out rule.
Attempt Exchange::read_exact(char* buf, long len, int* ecd) {
  long px = 0;
  Got g = zrnet::recv_exact(*s_, buf, len, 0x10000, zrnet::recv_wait_ms(), &px, ecd);
  if (g == Got::kData) return Attempt::kOk;
  _dbg_print("Error of recv(Data) ret:%ld, mid:%d, rlng:%ld, px:%ld, ecd:%d",
             g == Got::kClosed ? 0L : -1L, m_, len, px, *ecd);
  return s_->dropped(g, *ecd) ? Attempt::kDropped : Attempt::kFailed;
}

// Receives the answer frame into p_msg behind a status 200 header: the 12-byte
// frame header, its text part and, when sts > 0, sts binary bytes.
Attempt Exchange::read_frame(const char* hdr) {
  // The lengths come from the network. A frame shorter than its header, one
  // whose parts cannot be held, and in the secured tunnel one that reaches
  // beyond the body the answer header announced, is a receive error.
  std::int64_t body = -1;
  if (r_.frame_within_body) {
    body = zrnet::content_length(hdr);
    if (body < kMsgHeaderSize) return length_error(static_cast<std::int32_t>(body), 0);
  }
  char head[kMsgHeaderSize];
  int ecd = 0;
  if (Attempt r = read_exact(head, kMsgHeaderSize, &ecd); r != Attempt::kOk) return r;
  PHMSG_HDR h;
  std::memcpy(&h, head, sizeof h);
  std::int64_t text_len = 0, bin_len = 0;
  if (!zr_msg_frame_fits(h, body, &text_len, &bin_len)) return length_error(h.lng, h.sts);
  PHMSG* msg = zrwork->p_msg;
  msg->hdr = h;
  // A failure inside the text part counts as failed, not dropped: the answer
  // has begun, and the attempt is not repeated.
  if (text_len > 0 && read_exact(msg->data, static_cast<long>(text_len), &ecd) != Attempt::kOk)
    return Attempt::kFailed;
  zr_msg_data(msg)[text_len] = '\0';
  if (bin_len > 0) {
    if (Attempt r = read_exact(zr_msg_data(msg) + text_len, static_cast<long>(bin_len), &ecd);
        r != Attempt::kOk)
      return r;
    zr_msg_data(msg)[text_len + bin_len] = '\0';
  }
  return Attempt::kOk;
}

void Exchange::trace_answer(const char* hdr) {
  PHMSG* msg = zrwork->p_msg;
  zrwork->mlng = msg->hdr.lng - kMsgHeaderSize;
  char now[16];
  zrnet::time_text(now, sizeof now);
  _dbg_print("%s(%d) %s    http_sts:%d, lng:%d(%ld), sts:%d", r_.answer_indent, tag(), now,
             zrwork->http_sts, msg->hdr.lng, zrnet::content_length(hdr), msg->hdr.sts);
}

// The end of an exchange: the answer checks after success; after a failure its
// text, and either -3, -1 for the callers that report failures themselves, or
// the end of the process.
int Exchange::finish(Attempt result, Phase phase) {
  if (result == Attempt::kOk) {
    zrnet::answer_status_check(m_);
    return 0;
  }
  char text[512];
  zrnet::result_text(result, m_, text, sizeof text);
  _dbg_print("%s", text);
  if (result == Attempt::kNeedCredentials) {
    _mes_box(text, 0);
    return zrnet::code(Attempt::kNeedCredentials);
  }
  if (returns_to_caller(m_, r_.secured, phase)) return -1;
  if (shows_box(result, r_.secured, phase)) _mes_box(text, 0);
  zr_exit();
}

}  // namespace

ZR_NET_SLEEP_FN zr_net_sleep_handler(ZR_NET_SLEEP_FN fn) {
  ZR_NET_SLEEP_FN previous = g_sleep;
  g_sleep = fn ? fn : real_sleep;
  return previous;
}

ZR_NET_STREAM_FN zr_net_stream_handler(ZR_NET_STREAM_FN fn) {
  ZR_NET_STREAM_FN previous = g_open_stream;
  g_open_stream = fn;
  return previous;
}

int zwsock_phmsg() { return Exchange(kPlain).run(); }

int zwsock_phmsg_ssl() { return Exchange(kSecured).run(); }

void zrnet_msg_fn_install(bool startup) {
  if (zrconn->zrhttp_use) {
    zrhttp_initial();
    zr00->msg_fn = zrhttp_phmsg;
    zrconn->http_use = 1;
  } else {
    zr00->msg_fn = zr00->ssl_use ? zwsock_phmsg_ssl : zwsock_phmsg;
    zrconn->http_use = 0;
    zwsock_initial();
    zwsockh_auth_initial();
  }
  if (startup && zrconn->socks_use) {
    // A SOCKS setting at start-up means a direct connection; TLS stays TLS.
    zr00->proxy_use = 0;
    zrconn->http_use = 0;
    zr00->msg_fn = zr00->ssl_use ? zwsock_phmsg_ssl : zwsock_phmsg;
  }
}

namespace zrnet {

void pause_ms(std::uint32_t ms) { g_sleep(ms); }

}  // namespace zrnet
