// The system HTTP client as a transport, against a scripted stand-in for the
// client and its server: the session it opens, the request it makes (flags,
// header lines, body), the re-send after a challenge, the answer frame with its
// hostile lengths, and the texts with which a failed exchange ends the process.
#include <gmock/gmock.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "net/message.h"
#include "net/transport.h"
#include "net/wininet.h"
#include "net_loopback.h"
#include "test_support.h"

namespace {

using qrt_test::frame;
using qrt_test::frame_header;
using ::testing::HasSubstr;
using ::testing::Not;

// One answer of the scripted server: a send error, or a status with its header
// and body.
struct Answer {
  // The answers are written as brace lists of their first fields.
  Answer(int s = 200, std::string b = {}, std::string h = {}, int e = 0, long f = -1)
      : status(s), body(std::move(b)), header(std::move(h)), send_error(e), fail_read_at(f) {}
  int status = 200;
  std::string body;
  std::string header;      // empty: "HTTP/1.1 <status> X\r\n\r\n"
  int send_error = 0;      // non-zero: the send fails with this code
  long fail_read_at = -1;  // a read at or after this offset fails
};

struct Fake {
  bool open_ok = true;
  bool connect_ok = true;
  std::vector<std::string> sessions;  // the proxy argument ("" for pre-configured)
  std::vector<unsigned long> timeouts;
  std::string host;
  bool secure = false;
  std::string verb, object;
  std::vector<unsigned> flags;
  std::vector<std::string> headers;  // every add_headers call
  std::vector<std::string> bodies;   // every send
  std::deque<Answer> answers;
  Answer current;
  std::size_t read_at = 0;
  int dialogs = 0;
  std::vector<std::string> credentials;  // every set_proxy_credentials: "user/pass"
  int request_closes = 0, connection_closes = 0, session_closes = 0;
  int open_requests = 0;
};
Fake* g_fake = nullptr;

// Distinct addresses stand for the handles.
char g_session, g_connection, g_request;

plat::HttpSession* f_session_open(const char* proxy) {
  g_fake->sessions.push_back(proxy ? proxy : "");
  return g_fake->open_ok ? reinterpret_cast<plat::HttpSession*>(&g_session) : nullptr;
}
bool f_timeout(plat::HttpSession*, unsigned long ms) {
  g_fake->timeouts.push_back(ms);
  return true;
}
plat::HttpConnection* f_connect(plat::HttpSession*, const char* host, bool secure) {
  g_fake->host = host;
  g_fake->secure = secure;
  return g_fake->connect_ok ? reinterpret_cast<plat::HttpConnection*>(&g_connection) : nullptr;
}
plat::HttpRequest* f_open_request(plat::HttpConnection*, const char* verb, const char* object,
                                  unsigned flags) {
  g_fake->verb = verb;
  g_fake->object = object;
  g_fake->flags.push_back(flags);
  ++g_fake->open_requests;
  return reinterpret_cast<plat::HttpRequest*>(&g_request);
}
bool f_add_headers(plat::HttpRequest*, const char* lines, std::size_t len) {
  g_fake->headers.emplace_back(lines, len);
  return true;
}
int f_send(plat::HttpRequest*, const void* body, std::size_t len) {
  g_fake->bodies.emplace_back(static_cast<const char*>(body), len);
  g_fake->current = g_fake->answers.empty() ? Answer{} : g_fake->answers.front();
  if (!g_fake->answers.empty()) g_fake->answers.pop_front();
  g_fake->read_at = 0;
  return g_fake->current.send_error;
}
int f_status(plat::HttpRequest*) { return g_fake->current.status; }
long f_content_length(plat::HttpRequest*) { return static_cast<long>(g_fake->current.body.size()); }
bool f_raw_headers(plat::HttpRequest*, char* out, std::size_t cap) {
  std::string h = g_fake->current.header.empty()
                      ? "HTTP/1.1 " + std::to_string(g_fake->current.status) + " X\r\n\r\n"
                      : g_fake->current.header;
  zr::copy(out, cap, h.substr(0, cap - 1).c_str());
  return true;
}
long f_read(plat::HttpRequest*, void* buf, std::size_t len) {
  const Answer& a = g_fake->current;
  if (a.fail_read_at >= 0 && g_fake->read_at >= static_cast<std::size_t>(a.fail_read_at)) return -1;
  // At most 7 bytes a call: the transport must read in pieces.
  std::size_t n = std::min({len, a.body.size() - g_fake->read_at, std::size_t{7}});
  std::memcpy(buf, a.body.data() + g_fake->read_at, n);
  g_fake->read_at += n;
  return static_cast<long>(n);
}
unsigned long f_dialog(plat::HttpRequest*) {
  ++g_fake->dialogs;
  return 0;
}
void f_close_request(plat::HttpRequest*) { ++g_fake->request_closes; }
void f_close_connection(plat::HttpConnection*) { ++g_fake->connection_closes; }
void f_close_session(plat::HttpSession*) { ++g_fake->session_closes; }
unsigned long f_last_error() { return 12029; }
bool f_credentials(plat::HttpRequest*, const char* user, const char* pass) {
  g_fake->credentials.push_back(std::string(user) + "/" + pass);
  return true;
}

const ZR_HTTP_CLIENT kFakeClient = {
    f_session_open,     f_timeout,       f_connect,    f_open_request,
    f_add_headers,      f_send,          f_status,     f_content_length,
    f_raw_headers,      f_read,          f_dialog,     f_close_request,
    f_close_connection, f_close_session, f_last_error, f_credentials,
};

constexpr const char* kUa = "User-Agent: ZORAX-V001 L003 P0000000010 C00 R0000000009\r\n";

class NetWininet : public qrt_test::AreasTest {
 protected:
  void SetUp() override {
    AreasTest::SetUp();
    g_fake = &fake;
    previous_ = zrhttp_client_set(&kFakeClient);
    zr::copy(zr01->http_host_nm, "svr.example");
    zr::copy(zr01->http_obj_nm, "QRTSVR");
    zr::copy(zr01->user_id, "USER01");
    zr::copy(zr01->cli_nm, "T0001");
    zr00->zrhttp_cp = 1;
    zr00->keepalive_hdr = 1;
    zr01->ua_l = 3;
    zr01->ua_p = 10;
    zr01->ua_r = 9;
  }
  void TearDown() override {
    zrhttp_finish();
    zrhttp_client_set(previous_);
    g_fake = nullptr;
    AreasTest::TearDown();
  }
  static void compose(int mid, const std::string& text, int kd00 = 22) {
    zrwork->mlng = 0;
    zwsock_phmsg_set(text.data(), static_cast<int>(text.size()));
    zrwork->p_msg->hdr.mid = static_cast<std::int16_t>(mid);
    zrwork->p_msg->hdr.kd00 = static_cast<std::int16_t>(kd00);
  }
  int exchange(int mid, const std::string& text = "", int kd00 = 22) {
    zrhttp_initial();
    compose(mid, text, kd00);
    return zrhttp_phmsg();
  }
  std::string all_trace() const {
    std::string all;
    for (const std::string& l : trace()) all += l + "\n";
    return all;
  }
  // Runs an exchange that must end the process; the box texts go to stderr.
  void expect_end(const std::string& box_text) {
    EXPECT_EXIT(
        {
          zr_message_box_handler(qrt_test::box_to_stderr);
          exchange(112, "x");
        },
        ::testing::ExitedWithCode(0), HasSubstr("BOX[" + box_text));
  }

  Fake fake;
  const ZR_HTTP_CLIENT* previous_ = nullptr;
};

// The start-up rule both programs run: ZRHTTP_USE installs the system HTTP
// client; otherwise the tunnel (TLS unless NO_SSL); SOCKS at start-up means a
// direct connection and the tunnel, never the system client.
TEST_F(NetWininet, StartUpRuleChoosesTheTransport) {
  const struct {
    int zrhttp, ssl, socks;
    bool startup;
    ZR_MSG_FN want;
    int http_use, proxy_use;
  } cases[] = {
      {1, 1, 0, true, zrhttp_phmsg, 1, 1},  {0, 1, 0, true, zwsock_phmsg_ssl, 0, 1},
      {0, 0, 0, true, zwsock_phmsg, 0, 1},  {1, 1, 1, true, zwsock_phmsg_ssl, 0, 0},
      {1, 0, 1, false, zrhttp_phmsg, 1, 1},
  };
  for (const auto& c : cases) {
    zrconn->zrhttp_use = static_cast<std::uint8_t>(c.zrhttp);
    zr00->ssl_use = static_cast<std::uint8_t>(c.ssl);
    zrconn->socks_use = static_cast<std::uint8_t>(c.socks);
    zr00->proxy_use = 1;
    zrnet_msg_fn_install(c.startup);
    EXPECT_EQ(zr00->msg_fn, c.want) << c.zrhttp << c.ssl << c.socks << c.startup;
    EXPECT_EQ(zrconn->http_use, c.http_use) << c.zrhttp << c.ssl << c.socks << c.startup;
    EXPECT_EQ(zr00->proxy_use, c.proxy_use) << c.zrhttp << c.ssl << c.socks << c.startup;
    zrhttp_finish();
  }
}

TEST_F(NetWininet, SessionAndConnection) {
  struct Case {
    const char* name;
    int cp, ssl;
    const char* session;
    std::vector<unsigned long> timeouts;
  } cases[] = {
      {"pre-configured, plain", 1, 0, "", {90000}},
      {"explicit proxy, TLS", 0, 1, "proxy.example:8080", {}},
  };
  for (const Case& c : cases) {
    fake = Fake{};
    zr00->zrhttp_cp = static_cast<std::uint8_t>(c.cp);
    zr00->ssl_use = static_cast<std::uint8_t>(c.ssl);
    zr::copy(zr00->http_proxy_host, "proxy.example");
    zr00->http_proxy_port = 8080;
    EXPECT_EQ(zrhttp_initial(), 0) << c.name;
    EXPECT_EQ(fake.sessions, std::vector<std::string>{c.session}) << c.name;
    EXPECT_EQ(fake.timeouts, c.timeouts) << c.name;
    EXPECT_EQ(fake.host, "svr.example") << c.name;
    EXPECT_EQ(fake.secure, c.ssl == 1) << c.name;
    zrhttp_finish();
    EXPECT_EQ(fake.connection_closes, 1) << c.name;
    EXPECT_EQ(fake.session_closes, 1) << c.name;
    EXPECT_EQ(zr00->zrhttp_session, nullptr) << c.name;
    EXPECT_EQ(zr00->zrhttp_conn, nullptr) << c.name;
  }
  EXPECT_THAT(all_trace(), HasSubstr("zrhttp_initial http_host_nm:svr.example "
                                     "http_proxy_host:proxy.example http_proxy_port:8080"));
}

TEST_F(NetWininet, HeaderLinesInTheirOrderAndTheBody) {
  struct Case {
    const char* name;
    int accept, nocache, keepalive;
    const char* pass;
    const char* lines;
  } cases[] = {
      {"options off, keep-alive line on", 0, 0, 0, "",
       "Proxy-Connection: Keep-Alive\r\n"
       "Connection: close\r\n"},
      {"every line", 1, 1, 0, "dXNlcjpwYXNz",
       "Accept: application/octet-stream\r\n"
       "Cache-Control: no-cache\r\n"
       "Proxy-Connection: Keep-Alive\r\n"
       "Proxy-Authorization: Basic dXNlcjpwYXNz\r\n"
       "Connection: close\r\n"},
      {"KEEPALIVE_HDR on drops the proxy line", 1, 0, 1, "",
       "Accept: application/octet-stream\r\n"
       "Connection: close\r\n"},
  };
  for (const Case& c : cases) {
    fake = Fake{};
    zr00->accept_hdr = static_cast<std::uint8_t>(c.accept);
    zr00->nocache_hdr = static_cast<std::uint8_t>(c.nocache);
    zr00->keepalive_hdr = static_cast<std::uint8_t>(c.keepalive);
    zr::copy(zr00->pxy_pass, c.pass);
    zr01->ua_p = 10;
    zr01->ua_r = 9;
    fake.answers = {{200, frame(118, 0, 0, "OK")}};
    ASSERT_EQ(exchange(118, "pass01  0120", 0), 0) << c.name;
    ASSERT_EQ(fake.headers.size(), 1u) << c.name;
    EXPECT_EQ(fake.headers[0], std::string(c.lines) + kUa +
                                   "Host: svr.example\r\n"
                                   "Content-Length: 44\r\n\r\n")
        << c.name;
    EXPECT_EQ(fake.bodies, std::vector<std::string>{"QRTSVR     00USER01  01180000044pass01  0120"})
        << c.name;
    EXPECT_EQ(fake.verb, "POST");
    EXPECT_EQ(fake.object, "QRTSVR");
    EXPECT_EQ(zr01->ua_p, 11) << c.name;  // a request built counts
    EXPECT_EQ(zr01->ua_r, 10) << c.name;
    zrhttp_finish();
  }
  // The password in the body and the stored credentials stay out of the trace.
  const std::string t = all_trace();
  EXPECT_THAT(t, HasSubstr("mid:0118("));
  EXPECT_THAT(t, HasSubstr("buf:QRTSVR     00USER01  01180000044******  0120"));
  EXPECT_THAT(t, Not(HasSubstr("pass01")));
  EXPECT_THAT(t, Not(HasSubstr("dXNlcjpwYXNz")));
}

TEST_F(NetWininet, LongestSettingsStayBelowTheHeaderLimitAndAreSentWhole) {
  // The longest host name and stored credentials the fields hold.
  std::string host(sizeof zr01->http_host_nm - 1, 'h');
  std::string pass(sizeof zr00->pxy_pass - 1, 'p');
  zr::copy(zr01->http_host_nm, host.c_str());
  zr::copy(zr00->pxy_pass, pass.c_str());
  zr00->accept_hdr = zr00->nocache_hdr = 1;
  zr00->keepalive_hdr = 0;
  zr01->ua_l = zr01->ua_p = zr01->ua_r = 2147483600;
  fake.answers = {{200, frame(112, 0, 0, "OK")}};
  ASSERT_EQ(exchange(112, "x"), 0);
  ASSERT_EQ(fake.headers.size(), 1u);
  EXPECT_LT(fake.headers[0].size(), zrnet::kSystemHttpHeaderMax);
  EXPECT_THAT(fake.headers[0], HasSubstr("Host: " + host + "\r\n"));
  EXPECT_THAT(fake.headers[0], HasSubstr("Basic " + pass + "\r\n"));
  EXPECT_THAT(fake.headers[0], HasSubstr("\r\n\r\n"));
}

TEST_F(NetWininet, CertificateChecksAreOffOnlyWithTheAddedKey) {
  struct Case {
    const char* name;
    int ssl, ssl_cert_ign, env_cert_ign;
    unsigned flags;
  } cases[] = {
      {"plain", 0, 1, 1, plat::kHttpReload},
      {"TLS, start-up cert_ign only", 1, 0, 1,
       plat::kHttpReload | plat::kHttpKeepConnection | plat::kHttpSecure},
      {"TLS, SSL_CERT_IGNORE", 1, 1, 0,
       plat::kHttpReload | plat::kHttpKeepConnection | plat::kHttpSecure |
           plat::kHttpIgnoreCertName | plat::kHttpIgnoreCertDate},
  };
  for (const Case& c : cases) {
    fake = Fake{};
    zr00->ssl_use = static_cast<std::uint8_t>(c.ssl);
    zr00->ssl_cert_ign = static_cast<std::uint8_t>(c.ssl_cert_ign);
    zrenv->cert_ign = static_cast<std::uint8_t>(c.env_cert_ign);
    fake.answers = {{200, frame(112, 0, 0, "OK")}};
    ASSERT_EQ(exchange(112, "x"), 0) << c.name;
    EXPECT_EQ(fake.flags, std::vector<unsigned>{c.flags}) << c.name;
    zrhttp_finish();
  }
}

TEST_F(NetWininet, AnswerFrameWithBinaryPartGrowsTheRecord) {
  const std::string text = "answer text";
  const std::string binary(zrwork->p_msg_cap + 5000, 'b');
  fake.answers = {{200, frame(112, 7, static_cast<int>(binary.size()), text, binary)}};
  ASSERT_EQ(exchange(112, "x"), 0);
  PHMSG* msg = zrwork->p_msg;
  EXPECT_EQ(msg->hdr.mid, 112);
  EXPECT_EQ(msg->hdr.lng, static_cast<int>(12 + text.size()));
  EXPECT_EQ(zrwork->mlng, static_cast<int>(text.size()));
  EXPECT_EQ(std::string(msg->data, text.size()), text);
  EXPECT_EQ(std::string(msg->data + text.size(), binary.size()), binary);
  EXPECT_GE(zrwork->p_msg_cap, static_cast<int>(text.size() + binary.size()));
  EXPECT_EQ(fake.request_closes, 1);
  EXPECT_EQ(zr01->zrhttp_req, nullptr);
  EXPECT_THAT(all_trace(),
              HasSubstr("content_lng:" + std::to_string(12 + text.size() + binary.size())));
}

TEST_F(NetWininet, AnswerStatusMinusOneIsTracedAndReturned) {
  fake.answers = {{200, frame(112, 0, -1, "サーバのエラーです。")}};
  EXPECT_EQ(exchange(112, "x"), 0);
  EXPECT_EQ(zrwork->p_msg->hdr.sts, -1);
  EXPECT_THAT(all_trace(),
              HasSubstr("*** Error *** tno:T0001, mid:0112, msg:サーバのエラーです。"));
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(NetWininet, ChallengeIsAnsweredOnceWithTheStoredCredentials) {
  struct Case {
    const char* name;
    int status, proxy_use;
    const char* pass;
    const char* added;  // the line added before the re-send ("" none)
    int dialogs;
    const char* traced;
  } cases[] = {
      {"407, stored", 407, 1, "Y3JlZHM=", "Proxy-Authorization: Basic Y3JlZHM=\r\n", 0, ""},
      {"401 through a proxy", 401, 1, "Y3JlZHM=", "Authorization: Basic Y3JlZHM=\r\n", 0, ""},
      {"407, none stored: the system's dialog", 407, 1, "", "", 1, ""},
      {"503, stored", 503, 1, "Y3JlZHM=", "", 0, "***** status is 503 *****"},
      {"401 without a proxy", 401, 0, "Y3JlZHM=", "", 0, "the proxy's credentials are not sent"},
  };
  for (const Case& c : cases) {
    fake = Fake{};
    zr00->proxy_use = static_cast<std::uint8_t>(c.proxy_use);
    zr::copy(zr00->pxy_pass, c.pass);
    fake.answers = {{c.status, "", "HTTP/1.1 " + std::to_string(c.status) + " Auth\r\n\r\n"},
                    {200, frame(112, 0, 0, "OK")}};
    ASSERT_EQ(exchange(112, "x"), 0) << c.name;
    EXPECT_STREQ(zrwork->p_msg->data, "OK") << c.name;
    ASSERT_EQ(fake.bodies.size(), 2u) << c.name;
    EXPECT_EQ(fake.bodies[1], fake.bodies[0]) << c.name;
    std::vector<std::string> retry_lines(fake.headers.begin() + 1, fake.headers.end());
    EXPECT_EQ(retry_lines,
              *c.added ? std::vector<std::string>{c.added} : std::vector<std::string>{})
        << c.name;
    EXPECT_EQ(fake.dialogs, c.dialogs) << c.name;
    if (*c.traced) {
      EXPECT_THAT(all_trace(), HasSubstr(c.traced)) << c.name;
    }
    zrhttp_finish();
  }
  EXPECT_THAT(all_trace(), HasSubstr("HDR:HTTP/1.1 407 Auth"));
  EXPECT_THAT(all_trace(), Not(HasSubstr("Y3JlZHM=")));
}

// A secured request's header lines go inside the tunnel to the server: the
// proxy's account is handed to the system instead (which answers the
// CONNECT's challenge), never written into the request; a 401 inside the
// tunnel is the server's and is not answered with it.
TEST_F(NetWininet, SecuredRequestsGiveTheProxysAccountToTheSystem) {
  zr00->ssl_use = 1;
  zr00->proxy_use = 1;
  zr::copy(zr00->pxy_user, "proxyuser");
  zr::copy(zr00->pxy_pass, "cHJveHl1c2VyOnByb3h5cGFzcw==");  // proxyuser:proxypass
  for (const int status : {407, 401}) {
    fake = Fake{};
    fake.answers = {{status, "", "HTTP/1.1 " + std::to_string(status) + " Auth\r\n\r\n"},
                    {200, frame(112, 0, 0, "OK")}};
    ASSERT_EQ(exchange(112, "x"), 0) << status;
    for (const std::string& h : fake.headers) {
      EXPECT_THAT(h, Not(HasSubstr("Authorization"))) << status;
    }
    const std::vector<std::string> once{"proxyuser/proxypass"};
    const std::vector<std::string> twice{"proxyuser/proxypass", "proxyuser/proxypass"};
    EXPECT_EQ(fake.credentials, status == 407 ? twice : once) << status;
    zrhttp_finish();
  }
  EXPECT_THAT(all_trace(), HasSubstr("server challenge (401) without a proxy"));
  EXPECT_THAT(all_trace(), Not(HasSubstr("proxypass")));
}

TEST_F(NetWininet, FailedExchangesEndTheProcessWithTheirText) {
  struct Case {
    const char* name;
    std::deque<Answer> answers;
    const char* box;
  } cases[] = {
      {"a second 407",
       {{407}, {407}},
       "*** Error of zrhttp_pmsg *** tno:T0001, mid:112, err:回線接続エラーです。\ndwRet:407"},
      {"another status", {{500}}, "データ送信に失敗しました。(zrhttp Error of Send 500)"},
      {"send fails", {{200, "", "", 12029}}, "回線が切断されました。 サーバが停止しているか、"},
      {"re-send fails", {{503}, {200, "", "", 12030}}, "回線が切断されました。"},
      {"server error",
       {{200, frame(112, 0, -9999, "停止中です。")}},
       "*** Error *** tno:T0001, mid:0112,\n停止中です。"},
      {"read fails",
       {{200, frame(112, 0, 0, "OK"), "", 0, 3}},
       "*** Error of zrhttp_pmsg *** tno:T0001, mid:112, err:zrhttp Error of Receive"},
  };
  zr::copy(zr00->pxy_pass, "Y3JlZHM=");
  for (const Case& c : cases) {
    fake = Fake{};
    fake.answers = c.answers;
    expect_end(c.box);
  }
}

TEST_F(NetWininet, HostileFrameLengthsAreReceiveErrors) {
  struct Case {
    const char* name;
    std::int32_t lng, sts;
  } cases[] = {
      {"shorter than its header", 5, 0},
      {"negative", -100, 0},
      {"binary part beyond any block", 100, 0x7FFFFFF0},
      {"text beyond any block", 0x7FFFFFF0, 0},
      {"sum overflows 32 bits", 0x7FFFFFF0, 0x7FFFFFF0},
  };
  for (const Case& c : cases) {
    fake = Fake{};
    fake.answers = {{200, frame_header(112, c.lng, c.sts) + "some bytes"}};
    SCOPED_TRACE(c.name);
    expect_end(
        "*** Error of zrhttp_pmsg *** tno:T0001, mid:112, err:** 回線障害(Receive Length "
        "Error) p_msg->lng:" +
        std::to_string(c.lng));
  }
  // A frame header cut short, a text part cut short (mlng would announce
  // bytes that never arrived) and a binary part cut short.
  fake = Fake{};
  fake.answers = {{200, frame(112, 0, 0, "").substr(0, 8)}};
  expect_end("*** Error of zrhttp_pmsg *** tno:T0001, mid:112, err:zrhttp Error of Receive");
  fake = Fake{};
  fake.answers = {{200, frame(112, 0, 0, std::string(40, 't')).substr(0, 30)}};
  expect_end("*** Error of zrhttp_pmsg *** tno:T0001, mid:112, err:zrhttp Error of Receive");
  fake = Fake{};
  fake.answers = {{200, frame(112, 0, 50, "t", std::string(20, 'b'))}};
  expect_end("*** Error of zrhttp_pmsg *** tno:T0001, mid:112, err:zrhttp Error of Receive");
}

TEST_F(NetWininet, ServerHeaderIsCutInTheTrace) {
  fake.answers = {{200, frame(112, 0, 0, "OK"), "HTTP/1.1 200 OK\r\nX: " + std::string(1900, '~')}};
  ASSERT_EQ(exchange(112, "x"), 0);
  // At most 500 bytes of the server's header: "HTTP/1.1 200 OK\r\nX: " and 480
  // of its filler.
  const std::string t = all_trace();
  EXPECT_THAT(t, HasSubstr("HDR:HTTP/1.1 200 OK"));
  EXPECT_EQ(std::count(t.begin(), t.end(), '~'), 480);
}

TEST_F(NetWininet, DummyExchangeRestoresTheRecord) {
  zrwork->kd_1 = 11;
  zrwork->kd_2 = 33;
  compose(107, "keep me");
  PHMSG* before = zrwork->p_msg;
  const int mlng = zrwork->mlng;
  // The header the handing-over tunnel built; its next challenge is answered
  // from it after the dummy exchange.
  zr::copy(zrwork->hdr_copy, "POST http://h/QRTSVR HTTP/1.1\r\nContent-Length: 107\r\n");
  zrhttp_initial();
  fake.answers = {{200, frame(211, 0, 0, "")}};
  EXPECT_EQ(zrhttp_phmsg_ntlm(), 0);
  EXPECT_STREQ(zrwork->hdr_copy, "POST http://h/QRTSVR HTTP/1.1\r\nContent-Length: 107\r\n");
  EXPECT_EQ(fake.bodies, std::vector<std::string>{"QRTSVR     33USER01  02110000032"});
  EXPECT_THAT(fake.headers[0], HasSubstr("Content-Length: 32\r\n\r\n"));
  EXPECT_EQ(zrwork->p_msg, before);
  EXPECT_EQ(zrwork->mlng, mlng);
  EXPECT_STREQ(zrwork->p_msg->data, "keep me");
  EXPECT_THAT(all_trace(), HasSubstr("mid:0211("));
}

#ifndef _WIN32
TEST_F(NetWininet, WithoutASystemClientTheExchangeFails) {
  // The native build has no system HTTP client: no session opens, and the
  // exchange ends the process with the failed exchange's text.
  zrhttp_client_set(nullptr);
  expect_end("*** Error of zrhttp_pmsg *** tno:T0001, mid:112, err:zrhttp Error of Open Request");
}
#endif

}  // namespace
