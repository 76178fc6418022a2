// The user check and both logons through the real Windows Sockets path, run under
// Wine against the native reference server whose port is in QRT_REFSERVER_PORT
// (started with session_wine.scenario by scripts/with-refserver).
#include <gmock/gmock.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "connection.h"
#include "net/transport.h"
#include "platform/platform.h"
#include "session/envelope.h"
#include "session/logon.h"
#include "test_support.h"

namespace {

void no_pause(std::uint32_t) {}

class SessionWineTest : public qrt_test::AreasTest {
 protected:
  void SetUp() override {
    AreasTest::SetUp();
    const char* port = std::getenv("QRT_REFSERVER_PORT");
    if (!port || !*port) GTEST_SKIP() << "QRT_REFSERVER_PORT is not set";
    std::filesystem::create_directories(dir.path() / "USER");
    zr00->sys_kd = 2;
    zr00->ver_no = 120;
    zrwork->kd_1 = 22;
    zrwork->kd_3 = 51;
    zr::copy(zr00->pc_nm, "WINEPC");
    const char* hosts[] = {"wine-h1.example", "wine-h2.example"};
    zrconn->host_cnt = 0;
    for (const char* h : hosts) zr::copy(zrconn->host_nm[zrconn->host_cnt++], h);
    zr::copy(zrconn->obj_nm, "QRTSVR");
    zr::copy(zr01->http_host_nm, zrconn->host_nm[0]);
    zr::copy(zr01->http_obj_nm, zrconn->obj_nm);
    zrconn->vup_sno = 1;
    zr00->ssl_use = 0;
    zr00->proxy_use = 1;  // the server is reached as an HTTP proxy
    zr::copy(zr00->http_proxy_host, "127.0.0.1");
    zr00->http_proxy_port = static_cast<std::uint16_t>(std::atoi(port));
    zr00->retry_count = 1;
    zr00->retry_interval = 10;
    zwsock_initial();
    zr00->msg_fn = zwsock_phmsg;
    previous_sleep = zr_session_sleep_handler(no_pause);
  }
  void TearDown() override {
    if (previous_sleep) zr_session_sleep_handler(previous_sleep);
    AreasTest::TearDown();
  }
  void user(const char* id, const char* pass) {
    zr::copy(zr01->user_id, id);
    zr::copy(zr01->user_pass, pass);
  }
  std::string whole_trace() const { return qrt_test::read_file(dbg_path()); }
  ZR_SLEEP_FN previous_sleep = nullptr;
};

TEST_F(SessionWineTest, UserCheckAndTheCheckersLogons) {
  user("WUSER01", "wpass01");
  ASSERT_EQ(user_mst_get(), 0);
  EXPECT_EQ(zrconn->kind_idx, 1);
  EXPECT_EQ(zrconn->user_ok, 1);

  ASSERT_EQ(logon_bkg(), 0);  // short logon with fail-over, then the full logon
  EXPECT_GE(zr01->ua_l, 900);
  EXPECT_STREQ(zr01->http_host_nm, "127.0.0.1");
  EXPECT_STREQ(zr01->http_obj_nm, "QRT000-001");
  EXPECT_STREQ(zrconn->srv_txt, "本日は通常運用です。");
  EXPECT_EQ(zrconn->host_cnt, 2);  // the listed host was known already
  EXPECT_EQ(zr0930_logoff(), 0);
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_EQ(whole_trace().find("wpass01"), std::string::npos);

  user("WUSER01", "wrong");
  EXPECT_EQ(user_mst_get(), -1);
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(SessionWineTest, LauncherConnectsAfterForcingOutTheOtherSession) {
  user("WUSER02", "wpass02");
  ASSERT_EQ(user_mst_get(), 0);
  boxes.answer = 1;  // OK
  ASSERT_EQ(svc_connect(zrconn->kind_idx), 0);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(
      boxes.boxes[0].text,
      "\n\nＱＲＴに接続できません。\n他の端末で接続中です。\n\nＱＲＴへ強制接続しますか？\n\n");
  EXPECT_STREQ(zrconn->cur_obj, "QRTSVR");
  EXPECT_EQ(zrconn->vup_mode, 1);
  EXPECT_STREQ(zr01->http_host_nm, "wine-h1.example");
  EXPECT_EQ(whole_trace().find("wpass02"), std::string::npos);
}

TEST_F(SessionWineTest, FullLogonForcesOutTheOtherSessionWhenAsked) {
  user("WUSER03", "wpass03");
  boxes.answer = 2;  // Cancel
  EXPECT_EQ(zr0930_logon(), -1);
  boxes.answer = 1;  // OK
  EXPECT_EQ(zr0930_logon(), 0);
  EXPECT_GE(zr01->ua_l, 900);
  EXPECT_EQ(whole_trace().find("wpass03"), std::string::npos);
}

}  // namespace

namespace {

// The user check through squid demanding NTLM or Negotiate (the auth-proxies
// script puts them in front of the reference server): the conversation of
// Wine's package with the stored account, answered on the connection squid
// keeps open, and the request as first built forwarded to the server.
class SessionAuthProxyTest : public SessionWineTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    SessionWineTest::SetUp();
    if (IsSkipped()) return;
    negotiate_ = GetParam();
    const char* port = std::getenv(negotiate_ ? "QRT_NEGOTIATE_PROXY_PORT" : "QRT_NTLM_PROXY_PORT");
    if (!port || !*port) GTEST_SKIP() << "squid is not available";
    zr00->http_proxy_port = static_cast<std::uint16_t>(std::atoi(port));
    // A connection-based scheme needs the connection kept: NTLM_MODE leaves
    // out "Connection: close", PROXY_HTTP11 asks for HTTP/1.1.
    zr00->ntlm_mode = 1;
    zr00->pxy_http11 = 1;
    zwsockh_auth_initial();
    log_ = std::string(std::getenv("QRT_AUTH_PROXY_DIR")) + "/" +
           (negotiate_ ? "negotiate" : "ntlm") + "/access.log";
    log_start_ = qrt_test::read_file(log_).size();
  }
  // This test's access-log lines, once squid has logged the forwarded request.
  std::string log_lines() const {
    std::string log;
    for (int i = 0; i < 100; ++i) {
      log = qrt_test::read_file(log_);
      if (log.find("/200 POST", log_start_) != std::string::npos) break;
      plat::sleep_ms(50);
    }
    return log.size() > log_start_ ? log.substr(log_start_) : std::string();
  }
  bool negotiate_ = false;
  std::string log_;
  std::size_t log_start_ = 0;
};

TEST_P(SessionAuthProxyTest, UserCheckThroughTheAuthenticatingProxy) {
  zr::copy(zr00->pxy_user, "QRTDOM/wproxy");
  zr::copy(zr00->pxy_pass, "wproxypass");
  user("WUSER01", "wpass01");
  ASSERT_EQ(user_mst_get(), 0) << whole_trace();
  EXPECT_EQ(zrconn->user_ok, 1);
  const std::string t = whole_trace();
  EXPECT_NE(t.find(negotiate_ ? "Authorization is Negotiate" : "Authorization is NTLM"),
            std::string::npos)
      << t;
  EXPECT_EQ(t.find("wproxypass"), std::string::npos);
  EXPECT_EQ(t.find("wpass01"), std::string::npos);
  EXPECT_EQ(zrwork->auth_active, 0);
  // Two challenges and the forwarded request, all on one connection.
  const std::string log = log_lines();
  const std::string client = log.substr(0, log.find(' '));
  std::size_t lines = 0, same = 0;
  for (std::size_t at = 0; at < log.size(); at = log.find('\n', at) + 1) {
    ++lines;
    if (log.compare(at, client.size() + 1, client + " ") == 0) ++same;
    if (log.find('\n', at) == std::string::npos) break;
  }
  EXPECT_NE(log.find("/407 POST"), std::string::npos) << log;
  EXPECT_NE(log.find("/200 POST"), std::string::npos) << log;
  EXPECT_EQ(same, lines) << log;
}

// The squid whose port the environment variable names as the proxy, NTLM_MODE
// (keep the connection) as given, HTTP/1.1, a fresh conversation, the proxy
// account and the service account WUSER01; false when that squid is not there.
bool via_ntlm_proxy(const char* port_env, bool keep, const char* proxy_user,
                    const char* proxy_pass) {
  const char* port = std::getenv(port_env);
  if (!port || !*port) return false;
  zr00->http_proxy_port = static_cast<std::uint16_t>(std::atoi(port));
  zr00->ntlm_mode = keep ? 1 : 0;
  zr00->pxy_http11 = 1;
  zwsockh_auth_initial();
  zr::copy(zr00->pxy_user, proxy_user);
  zr::copy(zr00->pxy_pass, proxy_pass);
  return true;
}

// NTLM is bound to its connection: with NTLM_MODE off every request asks the
// proxy to close after its answer, so the second round arrives on a new
// connection, which squid refuses. The user check fails with the
// authentication error instead of looping, and nothing reaches the server.
TEST_F(SessionWineTest, NtlmWithoutAKeptConnectionFails) {
  if (!via_ntlm_proxy("QRT_NTLM_PROXY_PORT", false, "QRTDOM/wproxy", "wproxypass"))
    GTEST_SKIP() << "squid is not available";
  user("WUSER01", "wpass01");
  const std::string log_file = std::string(std::getenv("QRT_AUTH_PROXY_DIR")) + "/ntlm/access.log";
  const std::size_t start = qrt_test::read_file(log_file).size();
  EXPECT_EQ(user_mst_get(), -1);
  const std::string t = whole_trace();
  EXPECT_NE(t.find("Authorization is NTLM"), std::string::npos) << t;
  // The second round, on a new connection, is met by a refusal without a
  // challenge: the authentication error, for each host in turn.
  EXPECT_NE(t.find("Authenticate HDR not found"), std::string::npos) << t;
  EXPECT_EQ(zrwork->auth_active, 0);
  plat::sleep_ms(200);
  const std::string log = qrt_test::read_file(log_file).substr(start);
  EXPECT_NE(log.find("/407 POST"), std::string::npos) << log;
  EXPECT_EQ(log.find("/200 POST"), std::string::npos) << log;
}

// A proxy that refuses the final NTLM message: after the third challenge the
// system HTTP client sends one dummy message through the proxy to let the
// system authenticate. The proxy refuses that one too (Wine's client has no
// desktop identity here), so the system client's failure ends the process
// with its message.
TEST_F(SessionWineTest, RefusedNtlmHandsOverToTheSystemClient) {
  if (!via_ntlm_proxy("QRT_NTLM_REFUSING_PROXY_PORT", true, "QRTDOM\\unknown", "nopass"))
    GTEST_SKIP() << "squid is not available";
  user("WUSER01", "wpass01");
  EXPECT_EXIT(
      {
        zr_message_box_handler(qrt_test::box_to_stderr);
        user_mst_get();
      },
      ::testing::ExitedWithCode(0),
      // The failed exchange is the dummy message 211.
      ::testing::AllOf(::testing::HasSubstr("BOX[*** Error of zrhttp_pmsg *** tno:"),
                       ::testing::HasSubstr("mid:211")));
}

INSTANTIATE_TEST_SUITE_P(Scheme, SessionAuthProxyTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "Negotiate" : "Ntlm");
                         });

}  // namespace
