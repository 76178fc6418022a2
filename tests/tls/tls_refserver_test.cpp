// The checker's whole check over HTTPS against the reference server: the user
// check, the background logon (short logon, then the full logon on the database
// host), the newest issue date, the SDI run with its polling, the stored
// result and the logoff, every exchange through zwsock_phmsg_ssl. The server's
// certificate is issued for "localhost" by the test authority of tls-peers,
// which starts the server (tls_refserver.scenario) and makes the authority
// trusted: natively through SSL_CERT_FILE (OpenSSL), under Wine in the prefix's
// Root store (Schannel).
#include <gmock/gmock.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "net/tls.h"
#include "net/transport.h"
#include "sdi/sdi.h"
#include "sdi_cycle.h"
#include "session/envelope.h"
#include "session/logon.h"
#include "test_support.h"
#ifndef _WIN32
#include <sys/wait.h>

#include "refserver.h"
#endif

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

void no_pause(std::uint32_t) {}

std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// A file that tls-peers named with a Linux path, as this program opens it.
std::string peer_path(std::string path) {
#ifdef _WIN32
  for (char& c : path)
    if (c == '/') c = '\\';
  return "Z:" + path;
#else
  return path;
#endif
}

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class TlsRefServerTest : public qrt_test::AreasTest {
 protected:
  void SetUp() override {
    AreasTest::SetUp();
    if (env("QRT_REFSERVER_PORT").empty() || env("QRT_TLS_DIR").empty())
      GTEST_SKIP() << "runs through tests/tls/tls-peers --refserver";
    log_start_ = server_log().size();
    connect(static_cast<unsigned short>(std::atoi(env("QRT_REFSERVER_PORT").c_str())));
  }
  void TearDown() override {
    if (previous_port_) zrnet::tls_port_set(previous_port_);
    if (previous_sleep_) zr_session_sleep_handler(previous_sleep_);
    if (previous_net_sleep_) zr_net_sleep_handler(previous_net_sleep_);
    AreasTest::TearDown();
  }

  // The checker's areas with the secured exchange, the server at localhost on
  // the given port (no proxy).
  void connect(unsigned short port) {
    std::filesystem::create_directories(dir.path() / "USER");
    zr00->sys_kd = 2;
    zr00->ver_no = 120;
    zrwork->kd_1 = zrwork->kd_2 = 22;
    zrwork->kd_3 = zrwork->kd_4 = 51;
    zrwork->kd_5 = 11;
    zr::copy(zr00->pc_nm, "TLSPC");
    zr::copy(zrconn->host_nm[0], "localhost");
    zrconn->host_cnt = 1;
    zr::copy(zrconn->obj_nm, "QRTSVR");
    zr::copy(zr01->http_host_nm, "localhost");
    zr::copy(zr01->http_obj_nm, "QRTSVR");
    zrconn->vup_sno = 1;
    zr00->proxy_use = 0;
    zr00->ssl_use = 1;
    zr00->ssl_cert_ign = 0;
    zr00->retry_count = 1;
    zr00->retry_interval = 10;
    zr00->recv_timeout = 20;
    zwsock_initial();
    ASSERT_EQ(zwsockh_auth_initial(), 0);
    zr00->msg_fn = zwsock_phmsg_ssl;
    const unsigned short previous = zrnet::tls_port_set(port);
    if (!previous_port_) previous_port_ = previous;
    if (!previous_sleep_) previous_sleep_ = zr_session_sleep_handler(no_pause);
    if (!previous_net_sleep_) previous_net_sleep_ = zr_net_sleep_handler(no_pause);
    zrsdi->kind_cd[0] = 22;
    zrsdi->kind_cd[1] = 51;
    zrsdi->kind_cnt = 2;
    zrsdi->dlv_type = 0;  // every issue
    _sdi_dir_make();
  }
  void user(const char* id, const char* pass) {
    zr::copy(zr01->user_id, id);
    zr::copy(zr01->user_pass, pass);
  }
  // The server's log (UTF-8; the tests look for ASCII only) from this test on.
  std::string server_log() const {
    const std::string all = qrt_test::read_file(peer_path(env("QRT_REFSERVER_LOG")));
    return all.size() > log_start_ ? all.substr(log_start_) : std::string();
  }
  std::string trace_text() const { return qrt_test::read_file(dbg_path()); }
  std::string file(const char* rel) { return qrt_test::read_file(dir.join(rel)); }

  std::size_t log_start_ = 0;
  unsigned short previous_port_ = 0;
  ZR_SLEEP_FN previous_sleep_ = nullptr;
  ZR_NET_SLEEP_FN previous_net_sleep_ = nullptr;
};

TEST_F(TlsRefServerTest, UserCheckLogonAndSdiRunOverHttps) {
  user("TUSER01", "tpass01");
  ASSERT_EQ(user_mst_get(), 0) << trace_text();
  EXPECT_EQ(zrconn->user_ok, 1);

  ASSERT_EQ(sdi_logon_newest(), 0) << trace_text();  // short and full logon, 112, 117
  EXPECT_STREQ(zr01->http_host_nm, "localhost");
  EXPECT_GE(zr01->ua_l, 700);
  EXPECT_EQ(zrsdi->qrt100_svr_last_pd, 20240112);
  EXPECT_EQ(zr00->recv_timeout, 40);
  sdi_main_proc();  // 1200, then 204 until the result
  sdi_logoff();

  EXPECT_EQ(file("DLV\\RESULT\\00001.FIL"),
            "[LIST]\r\nrslt_cnt=1\r\nsdi_date=2024/01/12\r\nsdi_time=09:30:00\r\n"
            "inq_date_f=20240106\r\ninq_date_t=20240112\r\n[00001]\r\nrslt_no=701\r\n"
            "inq_cnt=7\r\nexp_nm=登録商標の検索\r\n");
  EXPECT_EQ(file("DLV\\LAST_PD.FIL"), "20240112");
  EXPECT_EQ(zrsdi->new_state, 1);
  EXPECT_TRUE(boxes.boxes.empty());

  // Every request came through the secured exchange, in the order of a check.
  const std::string log = server_log();
  std::size_t at = 0;
  for (const char* step : {"mid=0118", "mid=0107", "mid=0107", "mid=0112", "mid=0117", "mid=1200",
                           "mid=0204", "mid=0204", "mid=0204", "mid=0108"}) {
    at = log.find(step, at);
    ASSERT_NE(at, std::string::npos) << step << " missing or out of order in\n" << log;
    ++at;
  }
  EXPECT_EQ(count(log, " <- POST "), count(log, " <- POST https://localhost/"));
  EXPECT_EQ(count(log, "kd00=204"), 2u);
  EXPECT_EQ(count(log, "kd00=203"), 1u);
  const std::string t = trace_text();
  EXPECT_EQ(count(t, "** PHMSG SSL("), count(log, " <- POST ")) << t;
  EXPECT_THAT(t, Not(HasSubstr("SSL certificate Error")));
  EXPECT_THAT(t, Not(HasSubstr("tpass01")));
}

// A busy status is retried; the request asked the server to close the
// connection after its answer ("Connection: close"), which the server does, so
// the re-send goes over a new secured connection and succeeds at once.
TEST_F(TlsRefServerTest, BusyAnswerIsRetriedOverHttps) {
  zr00->retry_count = 1;
  user("TUSER02", "tpass02");
  ASSERT_EQ(user_mst_get(), 0) << trace_text();
  EXPECT_EQ(zrconn->user_ok, 1);
  const std::string log = server_log();
  EXPECT_EQ(count(log, "    mid=0118 kd00="), 2u) << log;  // requests only
  EXPECT_THAT(log, HasSubstr("-> fault http=503"));
  const std::string t = trace_text();
  EXPECT_THAT(t, HasSubstr("STATUS503 HDR["));
  EXPECT_THAT(t, HasSubstr("** リトライ(ret:-9  lcnt:1) **"));
  EXPECT_THAT(t, Not(HasSubstr("lcnt:2")));
  EXPECT_TRUE(boxes.boxes.empty());
}

#ifndef _WIN32
// The fixture's own HTTPS server (natively), with a scenario of the test: when
// every answer is busy, the user check fails after its retries.
TEST_F(TlsRefServerTest, EveryAnswerBusyFailsTheUserCheck) {
  const std::string dir = env("QRT_TLS_DIR");
  qrt_test::RefServer server("[user TUSER09]\npassword = tpass09\n[faults]\ncount=* http=503\n",
                             dir + "/good.pem", dir + "/good.key");
  ASSERT_NE(server.port(), 0);
  connect(static_cast<unsigned short>(server.port()));
  zr00->retry_count = 2;
  user("TUSER09", "tpass09");
  EXPECT_EQ(user_mst_get(), -1);
  EXPECT_EQ(zrconn->user_ok, 0);
  EXPECT_EQ(count(server.log(), "-> fault http=503"), 3u) << server.log();
  const std::string t = trace_text();
  EXPECT_THAT(t, HasSubstr("** リトライ(ret:-9  lcnt:2) **"));
  EXPECT_THAT(t, HasSubstr("回線が混み合っていてデータを受信できません。"));
}

// A server that demands Basic authentication (401) on a connection without a
// proxy is not answered with the proxy's credentials: they would go to the
// server. The exchange ends with the credentials message.
TEST_F(TlsRefServerTest, ServerChallengeIsNotAnsweredWithTheProxysPassword) {
  const std::string dir = env("QRT_TLS_DIR");
  qrt_test::RefServer server(
      "[user TUSER07]\npassword = tpass07\n[faults]\n"
      "count=* challenge=401 auth=siteuser:sitepass\n",
      dir + "/good.pem", dir + "/good.key");
  ASSERT_NE(server.port(), 0);
  connect(static_cast<unsigned short>(server.port()));
  user("TUSER07", "tpass07");
  zr::copy(zr00->pxy_user, "siteuser");
  zr::copy(zr00->pxy_pass, "sitepass");
  EXPECT_NE(user_mst_get(), 0);
  EXPECT_EQ(zrconn->user_ok, 0);
  const std::string t = trace_text();
  EXPECT_THAT(t, HasSubstr("the proxy's credentials are not sent"));
  EXPECT_THAT(t, Not(HasSubstr("** リトライ(ret:-3")));
  EXPECT_THAT(server.log(), Not(HasSubstr("Authorization")));
  std::string shown;
  for (const auto& box : boxes.boxes) shown += box.text + "\n";
  EXPECT_THAT(shown, HasSubstr("プロキシ認証の設定が必要です。"));
}

// The faults written on the raw connection exist over HTTP only: a scenario
// with one is refused when the server is to speak HTTPS.
TEST_F(TlsRefServerTest, ByteLevelFaultsAreRefusedOverHttps) {
  const std::string tls = env("QRT_TLS_DIR");
  const std::string scenario = dir.join("bytes.scenario"), err = dir.join("bytes.err");
  for (const char* fault :
       {"drop=request", "reset=body", "mid=118 truncate=5", "continue", "trickle=10"}) {
    qrt_test::write_file(scenario,
                         std::string("[user U1]\npassword = p\n[faults]\n") + fault + "\n");
    const std::string cmd = "timeout 10 " + std::string(QRT_REFSERVER) + " --scenario " + scenario +
                            " --cert " + tls + "/good.pem --key " + tls + "/good.key 2>" + err;
    const int rc = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(rc)) << fault;
    EXPECT_EQ(WEXITSTATUS(rc), 2) << fault;
    EXPECT_THAT(qrt_test::read_file(err), HasSubstr("works over HTTP only, not with --cert"))
        << fault;
  }
}
#endif

}  // namespace
