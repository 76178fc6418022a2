// The HTTP tunnel against the reference server and its fault injection: the
// busy matrix, dropped connections, the logon's non-fatal failure, error page
// rotation, error statuses and a trace without secrets.
#include <gmock/gmock.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "net/transport.h"
#include "platform/platform.h"
#include "refserver.h"
#include "session/envelope.h"
#include "test_support.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

const std::string kUsers = R"(
[user USER01]
password = pass01
kinds = 51
)";

std::vector<std::uint32_t> g_pauses;
// Records every pause; the short ones (retry intervals) are really waited, the
// 5-second busy pauses are not.
void record_pause(std::uint32_t ms) {
  g_pauses.push_back(ms);
  if (ms < 1000) plat::sleep_ms(ms);
}

class TunnelRefServer : public qrt_test::AreasTest {
 protected:
  void SetUp() override {
    AreasTest::SetUp();
    zwsock_initial();
    zr::copy(zr01->http_host_nm, "svr.example");
    zr::copy(zr01->http_obj_nm, "QRTSVR");
    zr::copy(zr01->user_id, "USER01");
    zr::copy(zr01->user_pass, "pass01");
    zr00->retry_count = 2;
    zr00->retry_interval = 50;
    g_pauses.clear();
    previous_ = zr_net_sleep_handler(record_pause);
  }
  void TearDown() override {
    zr_net_sleep_handler(previous_);
    AreasTest::TearDown();
  }
  static void via(const qrt_test::RefServer& server) {
    ASSERT_NE(server.port(), 0);
    via_port(server.port());
  }
  static void via_port(int port) {
    zr00->proxy_use = 1;
    zr::copy(zr00->http_proxy_host, "127.0.0.1");
    zr00->http_proxy_port = static_cast<std::uint16_t>(port);
  }
  // A death test's child runs the test again from its start and ends without
  // destructors: the server is started by the parent only, and the child finds
  // its port in the environment it inherits.
  int parent_server(const std::string& scenario) {
    if (qrt_test::is_death_test_child()) return std::atoi(std::getenv("QRT_NET_TEST_PORT"));
    server_ = std::make_unique<qrt_test::RefServer>(scenario);
    plat::set_env("QRT_NET_TEST_PORT", std::to_string(server_->port()).c_str());
    return server_->port();
  }
  std::unique_ptr<qrt_test::RefServer> server_;
  static int exchange(int mid, const std::string& text, int kd00) {
    zrwork->mlng = 0;
    zwsock_phmsg_set(text.data(), static_cast<int>(text.size()));
    zrwork->p_msg->hdr.mid = static_cast<std::int16_t>(mid);
    zrwork->p_msg->hdr.kd00 = static_cast<std::int16_t>(kd00);
    return zwsock_phmsg();
  }
  static int server_info() { return exchange(112, "", 22); }
  static int logon() { return exchange(107, "01pass01  0120", 0); }
  std::string all_trace() const {
    std::string all;
    for (const std::string& l : trace()) all += l + "\n";
    return all;
  }
  ZR_NET_SLEEP_FN previous_ = nullptr;
};

TEST_F(TunnelRefServer, TwoBusyAnswersThenSuccessCarryPatchedPFields) {
  qrt_test::RefServer server(kUsers + "[faults]\nmid=112 count=2 http=503\n");
  via(server);
  ASSERT_EQ(server_info(), 0);
  EXPECT_EQ(zrwork->p_msg->hdr.sts, 0);
  EXPECT_GT(zrwork->mlng, 0);
  std::string log = server.log();
  EXPECT_THAT(log, HasSubstr("P0000000000"));
  EXPECT_THAT(log, HasSubstr("P1000000001"));
  EXPECT_THAT(log, HasSubstr("P2000000002"));
  EXPECT_EQ(g_pauses, (std::vector<std::uint32_t>{5000, 5000}));
}

TEST_F(TunnelRefServer, ThreeBusyAnswersEndTheProcessWithTheBusyMessage) {
  int port = parent_server(kUsers + "[faults]\nmid=112 count=3 http=503\n");
  EXPECT_EXIT(
      {
        zr_message_box_handler(qrt_test::box_to_stderr);
        via_port(port);
        server_info();
      },
      ::testing::ExitedWithCode(0),
      HasSubstr("BOX[回線が混み合っていてデータを受信できません。\r\n数回リトライしましたが"));
}

TEST_F(TunnelRefServer, LogonFailuresReturnInsteadOfEndingTheProcess) {
  struct Case {
    const char* faults;
    const char* text;
  } cases[] = {
      {"mid=107 count=3 http=503", "回線が混み合っていてデータを受信できません。"},
      {"mid=107 count=3 drop=request", "回線が切断されました。 サーバが停止しているか、"},
      {"mid=107 count=3 reset=body", "回線が切断されました。 サーバが停止しているか、"},
      {"mid=107 truncate=20", "*** Error of zwsock_http *** tno:, mid:107"},
  };
  for (const Case& c : cases) {
    qrt_test::RefServer server(kUsers + "[faults]\n" + c.faults + "\n");
    via(server);
    EXPECT_EQ(logon(), -1) << c.faults;
    EXPECT_THAT(all_trace(), HasSubstr(c.text)) << c.faults;
    EXPECT_TRUE(boxes.boxes.empty()) << c.faults;
  }
}

TEST_F(TunnelRefServer, DroppedConnectionsAreRetriedWithTheRetryInterval) {
  qrt_test::RefServer server(kUsers + "[faults]\nmid=112 count=2 drop=frame\n");
  via(server);
  ASSERT_EQ(server_info(), 0);
  EXPECT_EQ(g_pauses, (std::vector<std::uint32_t>{50, 50}));
  std::string t = all_trace();
  EXPECT_THAT(t, HasSubstr("** 回線が切断されました。リトライします。(lcnt:0) **"));
  EXPECT_THAT(t, HasSubstr("** 回線が切断されました。リトライします。(lcnt:1) **"));
  EXPECT_THAT(server.log(), HasSubstr("P2000000002"));
}

TEST_F(TunnelRefServer, DroppedConnectionsBeyondRetryCountEndTheProcess) {
  int port = parent_server(kUsers + "[faults]\nmid=112 count=3 drop=request\n");
  EXPECT_EXIT(
      {
        via_port(port);
        server_info();
        std::fprintf(stderr, "returned\n");
      },
      ::testing::ExitedWithCode(0), Not(HasSubstr("returned")));
}

TEST_F(TunnelRefServer, ErrorPagesRotate) {
  qrt_test::RefServer server(kUsers +
                             "[faults]\nat=1 http=502\nat=2 http=502\nat=4 http=502\n"
                             "at=5 http=502\nat=7 http=502\nat=8 http=502\n");
  via(server);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(server_info(), 0);
  const std::string base = dbg_path() + "_ERR";
  // Requests 1, 2, 4, 5, 7 and 8 were busy; the newest page is the plain name.
  const char* expected[] = {"#8<", "#7<", "#5<", "#4<", "#2<", "#1<"};
  EXPECT_THAT(qrt_test::read_file(base), HasSubstr(expected[0]));
  for (int n = 1; n <= 5; ++n)
    EXPECT_THAT(qrt_test::read_file(base + ".0" + std::to_string(n)), HasSubstr(expected[n])) << n;
}

TEST_F(TunnelRefServer, ContinueAndBinaryPart) {
  qrt_test::RefServer server(kUsers + "[faults]\nmid=55 continue binary=5000\n");
  via(server);
  ASSERT_EQ(exchange(55, "", 22), 0);
  EXPECT_EQ(zrwork->p_msg->hdr.sts, 5000);
  const unsigned char* bin =
      reinterpret_cast<const unsigned char*>(zrwork->p_msg->data + zrwork->mlng);
  EXPECT_EQ(bin[0], 0);
  EXPECT_EQ(bin[251], 0);
  EXPECT_EQ(bin[4999], 4999 % 251);
}

TEST_F(TunnelRefServer, ErrorStatuses) {
  int port = parent_server(kUsers +
                           "[faults]\nmid=112 sts=-1 text=準備中です。\n"
                           "mid=112 sts=-9999 text=サーバで障害が発生しました。\n");
  via_port(port);
  if (!qrt_test::is_death_test_child()) {
    ASSERT_EQ(server_info(), 0);
    EXPECT_EQ(zrwork->p_msg->hdr.sts, -1);
    EXPECT_STREQ(zrwork->p_msg->data, "準備中です。");
  }
  EXPECT_EXIT(
      {
        zr_message_box_handler(qrt_test::box_to_stderr);
        server_info();
      },
      ::testing::ExitedWithCode(0), HasSubstr("[tno:, mid:0112] サーバで障害が発生しました。"));
}

TEST_F(TunnelRefServer, TraceShowsNoPasswordOrToken) {
  qrt_test::RefServer server(kUsers + "[faults]\ncount=* challenge=407 auth=proxyuser:proxypass\n");
  via(server);
  zr::copy(zr00->pxy_user, "proxyuser");
  zr::copy(zr00->pxy_pass, "proxypass");
  ASSERT_EQ(logon(), 0);
  ASSERT_EQ(exchange(118, "pass01  0120", 0), 0);
  std::string t = all_trace();
  EXPECT_THAT(t, HasSubstr("=== PROXY_SET ==="));
  EXPECT_THAT(t, HasSubstr("mid:0107"));
  EXPECT_THAT(t, Not(HasSubstr("pass01")));
  EXPECT_THAT(t, Not(HasSubstr("proxypass")));
  EXPECT_THAT(t, Not(HasSubstr("cHJveHl1c2VyOnByb3h5cGFzcw==")));
  EXPECT_THAT(server.log(), Not(HasSubstr("pass01")));
}

TEST_F(TunnelRefServer, BasicChallengeWithoutCredentialsAsksForThem) {
  qrt_test::RefServer server(kUsers + "[faults]\ncount=* challenge=407 auth=proxyuser:proxypass\n");
  via(server);
  EXPECT_EQ(logon(), -3);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_THAT(boxes.boxes[0].text, HasSubstr("プロキシ認証の設定が必要です。"));
}

}  // namespace
