// The session steps over the real HTTP tunnel against the reference server: the
// user check, both logons, the launcher's connection, polling, host fail-over,
// and that no password reaches either trace.
#include <gmock/gmock.h>

#include <filesystem>
#include <string>
#include <vector>

#include "connection.h"
#include "net/transport.h"
#include "refserver.h"
#include "session/envelope.h"
#include "session/logon.h"
#include "test_support.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

const char* const kWorld = R"(
[server]
db_code = 51
db_host = 127.0.0.1
db_obj = QRTSVR
vup_mode = 1
sdi_stop = 1
srv_txt = 本日は通常運用です。
hosts = h2.example h9.example
session = 700

[user USER01]
password = pass01
kinds = 22 51

[user USER02]
password = pass02
kinds = 51
elsewhere_host = other-pc
elsewhere_obj = OTHEROBJ
elsewhere_text = 他の端末で接続中です。

[sdi]
polls = 4
running_text = 検索中
)";

void no_pause(std::uint32_t) {}

class SessionRefServerTest : public qrt_test::AreasTest {
 protected:
  // Connects the areas to a server: it is reached as an HTTP proxy, the hosts
  // named in the requests are only recorded.
  void connect(const qrt_test::RefServer& server, const char* user, const char* pass) {
    std::filesystem::create_directories(dir.path() / "USER");
    zr00->sys_kd = 2;
    zr00->ver_no = 120;
    zrwork->kd_1 = 22;
    zrwork->kd_3 = 51;
    zr::copy(zr00->pc_nm, "TESTPC");
    zr::copy(zr01->user_id, user);
    zr::copy(zr01->user_pass, pass);
    const char* hosts[] = {"h1.example", "h2.example", "h3.example"};
    zrconn->host_cnt = 0;
    for (const char* h : hosts) zr::copy(zrconn->host_nm[zrconn->host_cnt++], h);
    zr::copy(zrconn->obj_nm, "QRTSVR");
    zr::copy(zr01->http_host_nm, zrconn->host_nm[0]);  // as the settings reader leaves them
    zr::copy(zr01->http_obj_nm, zrconn->obj_nm);
    zrconn->vup_sno = 1;
    qrt_test::post_through(server);
    previous_sleep = zr_session_sleep_handler(no_pause);
  }
  void TearDown() override {
    if (previous_sleep) zr_session_sleep_handler(previous_sleep);
    AreasTest::TearDown();
  }
  std::string whole_trace() const { return qrt_test::read_file(dbg_path()); }
  std::vector<std::string> ini_hosts() const {
    std::vector<std::string> out;
    for (const auto& line : qrt_test::read_lines(dir.join("USER\\ZORAX.INI"))) {
      if (line.rfind("ホスト名", 0) == 0) out.push_back(line.substr(20));
    }
    return out;
  }
  ZR_SLEEP_FN previous_sleep = nullptr;
};

TEST_F(SessionRefServerTest, CheckerChecksTheUserLogsOnPollsAndLogsOff) {
  qrt_test::RefServer server(kWorld);
  ASSERT_NE(server.port(), 0);
  connect(server, "USER01", "pass01");

  ASSERT_EQ(user_mst_get(), 0);
  EXPECT_EQ(zrsdi->kind_cnt, 2);
  EXPECT_EQ(zrconn->kind_idx, 1);
  EXPECT_EQ(zrconn->user_ok, 1);

  ASSERT_EQ(logon_bkg(), 0);
  EXPECT_EQ(zr01->ua_l, 700);
  EXPECT_STREQ(zrconn->cur_host, "127.0.0.1");
  EXPECT_STREQ(zr01->http_host_nm, "127.0.0.1");
  EXPECT_STREQ(zr01->http_obj_nm, "QRT000-001");
  EXPECT_EQ(zrconn->vup_mode, 1);
  EXPECT_STREQ(zrconn->srv_txt, "本日は通常運用です。");
  EXPECT_EQ(ini_hosts(),
            (std::vector<std::string>{"h1.example", "h2.example", "h3.example", "h9.example"}));

  zrwork->mlng = 0;
  const char run[] = "2024010520240112";
  zr0930_msg_set(run, 16);
  ASSERT_EQ(zr0930_msg_request(zrwork->kd_1, 1200), 0);
  EXPECT_EQ(zr0930_krkr_proc(1, 10), 0);
  EXPECT_EQ(zrwork->p_msg->hdr.kd00, 22);
  EXPECT_GT(zrwork->p_msg->hdr.sts, 0);  // the result text follows as a binary part

  EXPECT_EQ(zr0930_logoff(), 0);
  EXPECT_TRUE(boxes.boxes.empty());

  const std::string log = server.log();
  EXPECT_THAT(log, HasSubstr("mid=0118 kd00=00 user=USER01"));
  EXPECT_THAT(log, HasSubstr("mid=0108 kd00=22"));
  // Neither the client's trace nor the server's log shows the password; the
  // client masks it with asterisks of its length.
  EXPECT_THAT(whole_trace(), Not(HasSubstr("pass01")));
  EXPECT_THAT(whole_trace(), HasSubstr("******  0120"));
  EXPECT_THAT(log, Not(HasSubstr("pass01")));
}

TEST_F(SessionRefServerTest, RefusalsAreAnswersNotFailures) {
  qrt_test::RefServer server(kWorld);
  ASSERT_NE(server.port(), 0);
  connect(server, "USER01", "wrong");
  EXPECT_EQ(user_mst_get(), -1);
  EXPECT_EQ(zrconn->user_ok, 0);
  EXPECT_TRUE(boxes.boxes.empty());  // the user check stays silent on a refusal

  // Another session of the user: the checker never forces it out.
  zr::copy(zr01->user_id, "USER02");
  zr::copy(zr01->user_pass, "pass02");
  ASSERT_EQ(user_mst_get(), 0);
  EXPECT_EQ(logon_bkg(), -1);
  EXPECT_THAT(whole_trace(), HasSubstr("既にログオンされています。"));
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(SessionRefServerTest, LauncherForcesOutTheOtherSessionAndReadsItsLayout) {
  qrt_test::RefServer server(kWorld);
  ASSERT_NE(server.port(), 0);
  connect(server, "USER02", "pass02");
  ASSERT_EQ(user_mst_get(), 0);
  boxes.answer = 1;  // OK: force the other session out
  ASSERT_EQ(svc_connect(zrconn->kind_idx), 0);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(
      boxes.boxes[0].text,
      "\n\nＱＲＴに接続できません。\n他の端末で接続中です。\n\nＱＲＴへ強制接続しますか？\n\n");
  EXPECT_EQ(zrconn->sdi_stop, 1);
  EXPECT_EQ(zrconn->vup_mode, 1);
  EXPECT_STREQ(zrconn->cur_obj, "QRTSVR");
  EXPECT_STREQ(zrconn->srv_txt, "本日は通常運用です。");
  EXPECT_EQ(ini_hosts().size(), 4u);
  EXPECT_STREQ(zr01->http_host_nm, "h1.example");  // the launcher keeps its host

  const std::string log = server.log();
  EXPECT_THAT(log, HasSubstr("mid=0085"));
  EXPECT_THAT(log, HasSubstr("mid=0086 kd00=22"));
  EXPECT_THAT(log, Not(HasSubstr("pass02")));
  EXPECT_THAT(whole_trace(), Not(HasSubstr("pass02")));
}

TEST_F(SessionRefServerTest, FullLogonWithForcedReLogon) {
  qrt_test::RefServer server(kWorld);
  ASSERT_NE(server.port(), 0);
  connect(server, "USER02", "pass02");
  boxes.answer = 2;  // Cancel
  EXPECT_EQ(zr0930_logon(), -1);
  boxes.answer = 1;
  EXPECT_EQ(zr0930_logon(), 0);
  EXPECT_GE(zr01->ua_l, 700);
  EXPECT_THAT(server.log(), HasSubstr("text=\"10********0120"));
  EXPECT_THAT(whole_trace(), HasSubstr("10******  0120"));
}

TEST_F(SessionRefServerTest, UserCheckFailsOverToTheThirdHost) {
  // Each host gets one attempt and one retry; the first two hosts are dropped.
  qrt_test::RefServer server(std::string(kWorld) + "\n[faults]\nmid=118 count=4 drop=request\n");
  ASSERT_NE(server.port(), 0);
  connect(server, "USER01", "pass01");
  ASSERT_EQ(user_mst_get(), 0);
  EXPECT_EQ(zrconn->host_idx, 2);
  EXPECT_TRUE(boxes.boxes.empty());
  const std::string log = server.log();
  EXPECT_THAT(log, HasSubstr("POST http://h1.example/QRTSVR"));
  EXPECT_THAT(log, HasSubstr("POST http://h2.example/QRTSVR"));
  EXPECT_THAT(log, HasSubstr("POST http://h3.example/QRTSVR"));

  // The requests that follow go to the third host.
  zr0930_logoff();
  EXPECT_THAT(server.log(), HasSubstr("-> http=200 mid=0108"));
  EXPECT_STREQ(zr01->http_host_nm, "h3.example");
}

TEST_F(SessionRefServerTest, UnreachableServerIsShownOnceAndLogonReturns) {
  qrt_test::RefServer server(std::string(kWorld) + "\n[faults]\ncount=* drop=request\n");
  ASSERT_NE(server.port(), 0);
  connect(server, "USER01", "pass01");
  EXPECT_EQ(user_mst_get(), -1);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_THAT(boxes.boxes[0].text, HasSubstr("ネットワークの設定が正しくない可能性があります。"));

  // Message 107 returns instead of ending the process; the short logon shows
  // its own text after the last host.
  zrsdi->kind_cd[0] = 51;
  zrsdi->kind_cnt = 1;
  EXPECT_EQ(logon_bkg(), 1);
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_THAT(boxes.boxes[1].text, HasSubstr("しばらくしてから再度接続して下さい。"));
}

TEST_F(SessionRefServerTest, PollingEndsOnAServerFailure) {
  qrt_test::RefServer server(
      std::string(kWorld) +
      "\n[faults]\nmid=204 skip=1 sts=-1 text=検索処理でエラーが発生しました。\n");
  ASSERT_NE(server.port(), 0);
  connect(server, "USER01", "pass01");
  zrwork->mlng = 0;
  zr0930_msg_set("2024010520240112", 16);
  ASSERT_EQ(zr0930_msg_request(zrwork->kd_1, 1200), 0);
  EXPECT_EQ(zr0930_krkr_proc(1, 10), -1);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "検索処理でエラーが発生しました。");
}

}  // namespace
