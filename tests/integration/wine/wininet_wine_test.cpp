// The system HTTP client (WinINet under Wine) as the transport, against the
// native reference server whose port is in QRT_REFSERVER_PORT (started with
// wininet_wine.scenario by scripts/with-refserver), which answers as an HTTP
// proxy: explicit proxy access, the prefix's pre-configured proxy (when
// wininet-wine has set it: QRT_WININET_PRECONFIG), and the proxy's refusals.
#include <gmock/gmock.h>

#include <cstdlib>
#include <string>

#include "net/transport.h"
#include "test_support.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class WininetWineTest : public qrt_test::AreasTest {
 protected:
  void SetUp() override {
    AreasTest::SetUp();
    const char* port = std::getenv("QRT_REFSERVER_PORT");
    if (!port || !*port) GTEST_SKIP() << "QRT_REFSERVER_PORT is not set";
    zr00->sys_kd = 2;
    zr00->ver_no = 120;
    zr::copy(zr01->http_host_nm, "wine-h1.example");
    zr::copy(zr01->http_obj_nm, "QRTSVR");
    zr::copy(zr01->cli_nm, "WINE01");
    zr::copy(zr00->http_proxy_host, "127.0.0.1");
    zr00->http_proxy_port = static_cast<std::uint16_t>(std::atoi(port));
    zr00->proxy_use = 1;
    zr00->keepalive_hdr = 1;
    zr00->zrhttp_cp = 0;  // explicit proxy access unless a test says otherwise
  }
  void TearDown() override {
    zrhttp_finish();
    AreasTest::TearDown();
  }
  // The user check of user with password through the system client.
  static int user_check(const char* user, const char* pass) {
    zr::copy(zr01->user_id, user);
    char text[32];
    ZR_FMT(text, "%-8s%04d", pass, 120);
    zrwork->mlng = 0;
    zwsock_phmsg_set(text, 12);
    zrwork->p_msg->hdr.mid = 118;
    zrwork->p_msg->hdr.kd00 = 0;
    zrwork->p_msg->hdr.sts = 0;
    return zrhttp_phmsg();
  }
  static std::string server_log() {
    const char* log = std::getenv("QRT_REFSERVER_LOG");
    return log ? qrt_test::read_file(log) : std::string();
  }
  std::string whole_trace() const { return qrt_test::read_file(dbg_path()); }
};

TEST_F(WininetWineTest, ExplicitProxyAccess) {
  ASSERT_EQ(zrhttp_initial(), 0);
  ASSERT_EQ(user_check("WUSER01", "wpass01"), 0);
  EXPECT_EQ(zrwork->p_msg->hdr.mid, 118);
  EXPECT_EQ(zrwork->p_msg->hdr.sts, 0);
  EXPECT_GE(zrwork->mlng, 7);  // value, flag, count, kinds
  EXPECT_EQ(zr01->zrhttp_req, nullptr);
  const std::string t = whole_trace();
  EXPECT_THAT(t,
              HasSubstr("zrhttp_initial http_host_nm:wine-h1.example http_proxy_host:127.0.0.1"));
  EXPECT_THAT(t, HasSubstr("HDR:HTTP/1.1 200"));
  EXPECT_THAT(t, Not(HasSubstr("wpass01")));
  // The request reached the server as a proxy: absolute form, the tunnel's body.
  const std::string log = server_log();
  // (The system client may name the port in the request line.)
  EXPECT_THAT(log, HasSubstr("<- POST http://wine-h1.example"));
  EXPECT_THAT(log, HasSubstr("/QRTSVR HTTP/1.1 ua="));
  EXPECT_THAT(log, HasSubstr("mid=0118 kd00=00 user=WUSER01 obj=QRTSVR len=44"));
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(WininetWineTest, PreconfiguredAccessUsesTheDesktopsProxy) {
  if (!std::getenv("QRT_WININET_PRECONFIG"))
    GTEST_SKIP() << "the prefix's proxy is not set (run through wininet-wine)";
  zr00->zrhttp_cp = 1;
  zr::copy(zr01->http_host_nm, "wine-h2.example");
  ASSERT_EQ(zrhttp_initial(), 0);
  ASSERT_EQ(user_check("WUSER01", "wpass01"), 0);
  EXPECT_EQ(zrwork->p_msg->hdr.sts, 0);
  EXPECT_THAT(server_log(), HasSubstr("<- POST http://wine-h2.example"));
}

TEST_F(WininetWineTest, ProxyRefusalIsAnsweredOnceWithTheStoredCredentials) {
  zr::copy(zr00->pxy_pass, "cHJveHl1c2VyOnByb3h5cGFzcw==");  // proxyuser:proxypass
  ASSERT_EQ(zrhttp_initial(), 0);
  ASSERT_EQ(user_check("WPROXY1", "wpass02"), 0);
  EXPECT_EQ(zrwork->p_msg->hdr.sts, 0);
  const std::string log = server_log();
  EXPECT_THAT(log, HasSubstr("fault challenge=407"));
  EXPECT_THAT(log, HasSubstr("Proxy-Authorization: Basic ****"));
  EXPECT_THAT(whole_trace(), Not(HasSubstr("cHJveHl1c2VyOnByb3h5cGFzcw")));
}

TEST_F(WininetWineTest, SecondProxyRefusalEndsTheProcess) {
  EXPECT_EXIT(
      {
        zr_message_box_handler(qrt_test::box_to_stderr);
        zr::copy(zr00->pxy_pass, "d3Jvbmc6d3Jvbmc=");  // wrong:wrong
        zrhttp_initial();
        user_check("WPROXY2", "wpass03");
      },
      ::testing::ExitedWithCode(0),
      HasSubstr("BOX[*** Error of zrhttp_pmsg *** tno:WINE01, mid:118, err:回線接続エラーです。\n"
                "dwRet:407"));
}

}  // namespace

namespace {

// Over TLS: the HTTPS reference server (a certificate for "localhost" from the
// test authority that the prefix trusts) behind the CONNECT relay as the
// explicit proxy (wininet-relay), so that the client's port 443 reaches it.
class WininetWineTls : public WininetWineTest {
 protected:
  void SetUp() override {
    WininetWineTest::SetUp();
    if (IsSkipped()) return;
    const char* relay = std::getenv("QRT_WININET_RELAY_PORT");
    if (!relay || !*relay) GTEST_SKIP() << "QRT_WININET_RELAY_PORT is not set";
    zr00->http_proxy_port = static_cast<std::uint16_t>(std::atoi(relay));
    zr00->ssl_use = 1;
    zr::copy(zr01->http_host_nm, "localhost");
  }
  static std::string relay_log() {
    const char* log = std::getenv("QRT_WININET_RELAY_LOG");
    return log ? qrt_test::read_file(log) : std::string();
  }
};

TEST_F(WininetWineTls, CertificateForTheHostIsAccepted) {
  ASSERT_EQ(zrhttp_initial(), 0);
  ASSERT_EQ(user_check("WUSER01", "wpass01"), 0);
  EXPECT_EQ(zrwork->p_msg->hdr.sts, 0);
  EXPECT_THAT(relay_log(), HasSubstr("<- CONNECT localhost:443"));
  EXPECT_THAT(server_log(), HasSubstr("mid=0118 kd00=00 user=WUSER01"));
}

TEST_F(WininetWineTls, CertificateForAnotherNameIsRefusedDespiteTheStartupFlag) {
  zr::copy(zr01->http_host_nm, "127.0.0.1");
  zrenv->cert_ign = 1;  // both programs set it at start-up: it must not matter
  EXPECT_EXIT(
      {
        zr_message_box_handler(qrt_test::box_to_stderr);
        zrhttp_initial();
        user_check("WUSER01", "wpass01");
      },
      ::testing::ExitedWithCode(0), HasSubstr("BOX[回線が切断されました。"));
  EXPECT_THAT(whole_trace(), HasSubstr("Error of Send  ret:"));
}

TEST_F(WininetWineTls, CertificateForAnotherNameIsAcceptedWithSslCertIgnore) {
  zr::copy(zr01->http_host_nm, "127.0.0.1");
  zr00->ssl_cert_ign = 1;
  ASSERT_EQ(zrhttp_initial(), 0);
  ASSERT_EQ(user_check("WUSER01", "wpass01"), 0);
  EXPECT_EQ(zrwork->p_msg->hdr.sts, 0);
  EXPECT_THAT(relay_log(), HasSubstr("<- CONNECT 127.0.0.1:443"));
}

}  // namespace
