// User check, short and full logon, logoff, and the launcher's connection, each
// against a fake service in the message function slot.
#include <gmock/gmock.h>

#include <filesystem>
#include <string>
#include <vector>

#include "connection.h"
#include "session/logon.h"
#include "fake_service.h"
#include "test_support.h"

namespace {

using qrt_test::cstr;
using qrt_test::FakeAnswer;
using qrt_test::FakeService;
using qrt_test::le16;
using qrt_test::le32;
using qrt_test::padded;

class SessionLogonTest : public qrt_test::AreasTest {
 protected:
  void SetUp() override {
    AreasTest::SetUp();
    svc.install();
    svc.unscripted = qrt_test::FakeAnswer{};  // sts 0 without data
    std::filesystem::create_directories(dir.path() / "USER");
    zr00->sys_kd = 2;
    zr00->ver_no = 120;
    zrwork->kd_1 = 22;
    zrwork->kd_3 = 51;
    zr::copy(zr00->pc_nm, "PC-01");
    zrwork->os_kd = 11;
    zrwork->wow64 = 1;
    zrwork->webview2 = 0;
    zr::copy(zr01->user_id, "user01");
    zr::copy(zr01->user_pass, "pass12");
    hosts({"h1.example", "h2.example", "h3.example"});
    zr::copy(zrconn->obj_nm, "QRT000-001");
    zrconn->vup_sno = 1;
    zr00->ssl_use = 0;
    zr00->retry_count = 10;
    zr00->retry_interval = 500;
  }
  void TearDown() override {
    svc.uninstall();
    AreasTest::TearDown();
  }
  void hosts(const std::vector<std::string>& names) {
    zrconn->host_cnt = 0;
    for (const auto& n : names) zr::copy(zrconn->host_nm[zrconn->host_cnt++], n.c_str());
  }
  std::vector<std::string> ini_hosts() const {
    std::vector<std::string> out;
    for (const auto& line : qrt_test::read_lines(dir.join("USER\\ZORAX.INI"))) {
      if (line.rfind("ホスト名", 0) == 0) out.push_back(line.substr(20));
    }
    return out;
  }
  bool ini_written() const { return std::filesystem::exists(dir.path() / "USER" / "ZORAX.INI"); }
  bool traced(const std::string& text) const {
    for (const auto& line : trace()) {
      if (line.find(text) != std::string::npos) return true;
    }
    return false;
  }

  FakeService svc{false};
};

std::string user_master(const std::vector<int>& kinds, int announced = -1) {
  std::string s = le32(1234) + std::string(1, '\x05') +
                  le16(announced < 0 ? static_cast<int>(kinds.size()) : announced);
  for (int k : kinds) s += le16(k);
  return s;
}

// The short-logon answer as the checker reads it.
std::string checker_logon(int kd3, const std::string& host, const std::string& obj, int vup_mode,
                          const std::string& t2, const std::vector<std::string>& names) {
  std::string s = le16(kd3) + padded(host, 30) + padded(obj, 30) + cstr("T1 text") + "x" +
                  std::string(1, static_cast<char>(vup_mode)) + cstr(t2) +
                  le16(static_cast<int>(names.size()));
  for (const auto& n : names) s += padded(n, 31, '\0');
  return s;
}

// The short-logon answer as the launcher reads it.
std::string launcher_logon(int kd3, const std::string& host, const std::string& obj, int sdi_stop,
                           int vup_mode, const std::vector<std::string>& names,
                           const std::string& tail) {
  std::string s = le16(kd3) + padded(host, 30) + padded(obj, 30) + cstr("T1") + "x" +
                  std::string(1, static_cast<char>(sdi_stop)) +
                  std::string(1, static_cast<char>(vup_mode)) + "y" +
                  le16(static_cast<int>(names.size()));
  for (const auto& n : names) s += padded(n, 31, '\0');
  return s + cstr(tail);
}

// ---- user check ------------------------------------------------------------------------

TEST_F(SessionLogonTest, UserCheckSendsThePasswordAndReadsTheKindList) {
  zr01->ua_l = 9;
  zr01->ua_p = 9;
  svc.answer_ok(user_master({22, 51, 7}));
  EXPECT_EQ(user_mst_get(), 0);
  ASSERT_EQ(svc.sent.size(), 1u);
  EXPECT_EQ(svc.sent[0].mid, 118);
  EXPECT_EQ(svc.sent[0].kd00, 0);
  EXPECT_EQ(svc.sent[0].text, "pass12  0120");
  EXPECT_EQ(svc.sent[0].host, "h1.example");
  EXPECT_EQ(svc.sent[0].obj, "QRT000-001");
  EXPECT_EQ(svc.sent[0].ua_l, 0);
  EXPECT_EQ(svc.sent[0].ua_p, 0);
  EXPECT_EQ(zrsdi->mst_val, 1234);
  EXPECT_EQ(zrsdi->mst_flg, 5);
  EXPECT_EQ(zrsdi->kind_cnt, 3);
  EXPECT_EQ(zrsdi->kind_cd[2], 7);
  EXPECT_EQ(zrconn->kind_idx, 1);
  EXPECT_EQ(zrconn->user_ok, 1);
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(SessionLogonTest, UserCheckFailuresWithoutMessage) {
  const struct {
    const char* what;
    const char* id;
    const char* pass;
    bool answered;
    std::int32_t sts;
    std::string data;
    std::size_t requests;
  } cases[] = {
      {"no user ID", "", "pass12", false, 0, "", 0},
      {"no password", "user01", "", false, 0, "", 0},
      {"refused", "user01", "pass12", true, -1, cstr("パスワードが違います。"), 1},
      {"kind 51 missing", "user01", "pass12", true, 0, user_master({22, 23}), 1},
      {"truncated list", "user01", "pass12", true, 0, user_master({22, 51}).substr(0, 9), 1},
  };
  for (const auto& c : cases) {
    svc.sent.clear();
    svc.queued.clear();
    zrconn->user_ok = 1;
    zr::copy(zr01->user_id, c.id);
    zr::copy(zr01->user_pass, c.pass);
    if (c.answered) svc.answer_ok(c.data, c.sts);
    EXPECT_EQ(user_mst_get(), -1) << c.what;
    EXPECT_EQ(svc.sent.size(), c.requests) << c.what;
    EXPECT_EQ(zrconn->user_ok, 0) << c.what;
  }
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(SessionLogonTest, UserCheckKeepsTwentyKindCodes) {
  std::vector<int> kinds;
  for (int i = 0; i < 25; ++i) kinds.push_back(100 + i);
  kinds[22] = 51;  // beyond the list: not usable
  svc.answer_ok(user_master(kinds));
  EXPECT_EQ(user_mst_get(), -1);
  EXPECT_EQ(zrsdi->kind_cnt, 20);
  EXPECT_EQ(zrsdi->kind_cd[19], 119);
  EXPECT_TRUE(traced("25 kind codes received, the first 20 are kept"));

  // A count larger than the codes that arrived reads only those.
  svc.answer_ok(user_master({51, 22}, 300));
  EXPECT_EQ(user_mst_get(), 0);
  EXPECT_EQ(zrsdi->kind_cnt, 2);
}

TEST_F(SessionLogonTest, UserCheckFailsOverToTheNextHost) {
  svc.fail();
  svc.fail();
  svc.answer_ok(user_master({51}));
  EXPECT_EQ(user_mst_get(), 0);
  ASSERT_EQ(svc.sent.size(), 3u);
  EXPECT_EQ(svc.sent[0].host, "h1.example");
  EXPECT_EQ(svc.sent[1].host, "h2.example");
  EXPECT_EQ(svc.sent[2].host, "h3.example");
  EXPECT_EQ(zrconn->host_idx, 2);
  // The requests that follow go to the third host.
  zr0930_logoff();
  EXPECT_EQ(svc.sent.back().host, "h3.example");
}

TEST_F(SessionLogonTest, UnreachableServersAreShownOnce) {
  const char* text =
      "サーバが停止しているか、\r\nネットワークの設定が正しくない可能性があります。\r\n確認して下さ"
      "い。";
  for (int i = 0; i < 3; ++i) svc.fail();
  EXPECT_EQ(user_mst_get(), -1);
  EXPECT_EQ(svc.sent.size(), 3u);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, text);
  EXPECT_EQ(zrconn->host_idx, 0);

  // No host configured: no attempt at all, the same message.
  hosts({});
  svc.sent.clear();
  EXPECT_EQ(user_mst_get(), -1);
  EXPECT_TRUE(svc.sent.empty());
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[1].text, text);
}

// ---- checker's short logon ----------------------------------------------------------------

TEST_F(SessionLogonTest, ShortLogonReadsTheDatabaseServerAndNewHosts) {
  svc.fail();
  svc.answer_ok(
      checker_logon(51, "db1.example", "DBOBJ", 2, "お知らせ", {"h2.example", "h4.example"}));
  EXPECT_EQ(get_zrdb_url(3), 0);
  ASSERT_EQ(svc.sent.size(), 2u);
  EXPECT_EQ(svc.sent[1].mid, 107);
  EXPECT_EQ(svc.sent[1].kd00, 0);
  EXPECT_EQ(svc.sent[1].text, "03pass12  0120");
  EXPECT_EQ(svc.sent[1].host, "h2.example");
  EXPECT_STREQ(zrconn->cur_host, "db1.example");
  EXPECT_STREQ(zrconn->cur_obj, "QRT000-001");
  EXPECT_EQ(zrconn->vup_mode, 2);
  EXPECT_STREQ(zrconn->srv_txt, "お知らせ");
  EXPECT_EQ(zrconn->host_cnt, 4);
  EXPECT_EQ(ini_hosts(),
            (std::vector<std::string>{"h1.example", "h2.example", "h3.example", "h4.example"}));
  // From now on the checker posts to the database server.
  EXPECT_STREQ(zr01->http_host_nm, "db1.example");
  EXPECT_STREQ(zr01->http_obj_nm, "QRT000-001");
  EXPECT_TRUE(traced("*** get_zrdb_url ***"));
  EXPECT_TRUE(traced("host:db1.example obj:QRT000-001 http_use:0 proxy:0 vup_mode:2"));
}

TEST_F(SessionLogonTest, ShortLogonHostListEdges) {
  // Only known names: nothing added, the file is still written.
  svc.answer_ok(checker_logon(51, "db", "o", 0, "", {"h1.example"}));
  EXPECT_EQ(get_zrdb_url(0), 0);
  EXPECT_EQ(zrconn->host_cnt, 3);
  EXPECT_TRUE(ini_written());

  // A full table keeps its five entries; the sixth name is dropped with a trace line.
  hosts({"a", "b", "c", "d", "e"});
  svc.answer_ok(checker_logon(51, "db", "o", 0, "", {"f", "a"}));
  EXPECT_EQ(get_zrdb_url(0), 0);
  EXPECT_EQ(zrconn->host_cnt, 5);
  EXPECT_EQ(ini_hosts(), (std::vector<std::string>{"a", "b", "c", "d", "e"}));
  EXPECT_TRUE(traced("host list full (5 hosts): f is not added"));

  // A count beyond the names that arrived reads only those.
  hosts({"a"});
  std::string cut = checker_logon(51, "db", "o", 0, "", {"g"});
  cut.replace(cut.size() - 33, 2, le16(40));
  svc.answer_ok(cut);
  EXPECT_EQ(get_zrdb_url(0), 0);
  EXPECT_EQ(zrconn->host_cnt, 2);
  EXPECT_STREQ(zrconn->host_nm[1], "g");
}

// Host names from the server reach ZORAX.INI, the request line and the
// CONNECT line: only plausible host names are kept, anything else is dropped
// with a trace line that shows its control bytes.
struct HostileHostCase {
  const char* name;
  std::string host;
  const char* traced;
};

class SessionHostileHostTest : public SessionLogonTest,
                               public ::testing::WithParamInterface<HostileHostCase> {};

TEST_P(SessionHostileHostTest, HostListEntryIsDropped) {
  const HostileHostCase& c = GetParam();
  svc.answer_ok(checker_logon(51, "db1.example", "o", 0, "", {c.host, "h4.example"}));
  EXPECT_EQ(get_zrdb_url(0), 0);
  EXPECT_EQ(zrconn->host_cnt, 4);
  EXPECT_EQ(ini_hosts(),
            (std::vector<std::string>{"h1.example", "h2.example", "h3.example", "h4.example"}));
  const std::string ini = qrt_test::read_file(dir.join("USER\\ZORAX.INI"));
  EXPECT_THAT(ini, ::testing::Not(::testing::HasSubstr("SSL_CERT_IGNORE")));
  EXPECT_TRUE(traced(std::string("host list: not a host name, dropped: ") + c.traced))
      << qrt_test::read_file(dbg_path());
  // Read back, the file turns no certificate check off.
  ASSERT_EQ(zrnet_ini_read(), 0);
  EXPECT_EQ(zr00->ssl_cert_ign, 0);
  EXPECT_EQ(zrconn->host_cnt, 4);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, SessionHostileHostTest,
    ::testing::Values(HostileHostCase{"LineBreakAndKey", "evil\r\nSSL_CERT_IGNORE     ON",
                                      "evil\\x0D\\x0ASSL_CERT_IGNORE     ON"},
                      HostileHostCase{"Blank", "h5 example", "h5 example"},
                      HostileHostCase{"Colon", "h5.example:8080", "h5.example:8080"},
                      HostileHostCase{"FillsTheWholeField", std::string(31, 'a'),
                                      "aaaaaaaaaaaaaaaaaaaaaaa"}),
    [](const ::testing::TestParamInfo<HostileHostCase>& info) {
      return std::string(info.param.name);
    });

TEST_F(SessionLogonTest, HostileDatabaseHostIsNotUsed) {
  svc.answer_ok(checker_logon(51, "db\r\nHost: other", "o", 0, "", {}));
  EXPECT_EQ(get_zrdb_url(0), 0);
  EXPECT_STREQ(zrconn->cur_host, "");
  EXPECT_TRUE(traced("database host: not a host name, dropped: db\\x0D\\x0AHost: other"));
  // The checker stays with the host that answered the short logon.
  EXPECT_STREQ(zr01->http_host_nm, "h1.example");
  zr0930_logoff();
  EXPECT_EQ(svc.sent.back().host, "h1.example");
}

TEST_F(SessionLogonTest, ShortLogonRefusedOrUnreachable) {
  svc.answer_text(-1, "利用停止中です。");
  EXPECT_EQ(get_zrdb_url(0), -1);
  EXPECT_TRUE(traced("Orvanta へは接続できません。"));
  EXPECT_TRUE(boxes.boxes.empty());

  for (int i = 0; i < 3; ++i) svc.fail();
  EXPECT_EQ(get_zrdb_url(0), -1);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text,
            "回線が切断されました。 サーバが停止しているか、\r\n回線が混んでいるためデータを取得で"
            "きません。\r\nしばらくしてから再度接続して下さい。");

  hosts({});
  svc.sent.clear();
  EXPECT_EQ(get_zrdb_url(0), -1);
  EXPECT_TRUE(svc.sent.empty());
  EXPECT_EQ(boxes.boxes.size(), 2u);
}

TEST_F(SessionLogonTest, AChangedDatabaseEndsTheChecker) {
  EXPECT_EXIT(
      {
        svc.answer_ok(checker_logon(52, "db", "o", 0, "", {}));
        get_zrdb_url(0);
        std::fprintf(stderr, "returned");
      },
      ::testing::ExitedWithCode(0), ::testing::Not(::testing::HasSubstr("returned")));
}

// ---- full logon -----------------------------------------------------------------------------

TEST_F(SessionLogonTest, BackgroundLogonSendsTheFullTextAndKeepsTheSession) {
  zrsdi->kind_cd[0] = 22;
  zrsdi->kind_cd[1] = 51;
  zrsdi->kind_cnt = 2;
  zr01->ua_p = 44;
  svc.answer_ok(checker_logon(51, "db", "o", 0, "", {}));
  svc.answer_ok(le16(0x1234) + "rest");
  EXPECT_EQ(logon_bkg(), 0);
  ASSERT_EQ(svc.sent.size(), 2u);
  EXPECT_EQ(svc.sent[0].text, "01pass12  0120");
  EXPECT_EQ(svc.sent[1].mid, 107);
  EXPECT_EQ(svc.sent[1].kd00, 0);
  EXPECT_EQ(svc.sent[1].text, "00pass12  012005PC-011111000");
  EXPECT_EQ(svc.sent[1].host, "db");
  EXPECT_EQ(svc.sent[1].ua_p, 0);
  EXPECT_EQ(zr01->ua_l, 0x1234);
  EXPECT_EQ(svc.sleeps, (std::vector<std::uint32_t>{1000}));
}

TEST_F(SessionLogonTest, BackgroundLogonResults) {
  const struct {
    const char* what;
    bool kind;
    FakeAnswer second;
    int result;
    const char* trace;
  } cases[] = {
      {"sts -4 counts as success", true, qrt_test::answer(le16(7), -4), 0, nullptr},
      {"refused", true, qrt_test::refusal("停止中"), -1, "【ログオンエラー】 停止中"},
      {"session elsewhere -2", true, qrt_test::refusal("x", -2), -1, "既にログオンされています。"},
      {"session elsewhere -3", true, qrt_test::refusal("x", -3), -1, "既にログオンされています。"},
      {"exchange failed", true, qrt_test::failure(-1, "connect failed"), -1,
       "【ログオンエラー】 connect failed"},
      {"kind not in the list", false, {}, 1, nullptr},
  };
  for (const auto& c : cases) {
    svc.sent.clear();
    svc.queued.clear();
    zr01->ua_l = 0;
    zrsdi->kind_cd[0] = c.kind ? 51 : 22;
    zrsdi->kind_cnt = 1;
    svc.answer_ok(checker_logon(51, "db", "o", 0, "", {}));
    svc.answer(c.second);
    EXPECT_EQ(logon_bkg(), c.result) << c.what;
    if (c.trace) {
      EXPECT_TRUE(traced(c.trace)) << c.what;
    }
    if (!c.kind) {
      EXPECT_TRUE(svc.sent.empty()) << c.what;
    }
  }
  // The short logon failing is result 1.
  svc.queued.clear();
  zrsdi->kind_cd[0] = 51;
  for (int i = 0; i < 3; ++i) svc.fail();
  EXPECT_EQ(logon_bkg(), 1);
}

TEST_F(SessionLogonTest, ForcedLogonAsksFirst) {
  const std::string question =
      "\n\nZORAXに接続できません。\n他の端末で使用中です。\n\nZORAXへ強制接続しますか？\n\n";
  // Declined: one request, -1, nothing more shown.
  svc.answer_text(-2, "他の端末で使用中です。");
  boxes.answer = 2;
  EXPECT_EQ(zr0930_logon(), -1);
  ASSERT_EQ(svc.sent.size(), 1u);
  EXPECT_EQ(svc.sent[0].kd00, 22);
  EXPECT_EQ(svc.sent[0].text, "00pass12  012005PC-010111000");
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, question);
  EXPECT_EQ(boxes.boxes[0].style & 0xF, 1u);

  // Accepted: the forced text follows and its session number is kept.
  svc.sent.clear();
  boxes.boxes.clear();
  boxes.answer = 1;
  svc.answer_text(-3, "他の端末で使用中です。");
  svc.answer_ok(le16(321));
  EXPECT_EQ(zr0930_logon(), 0);
  ASSERT_EQ(svc.sent.size(), 2u);
  EXPECT_EQ(svc.sent[1].text, "10pass12  012005PC-010111000");
  EXPECT_EQ(zr01->ua_l, 321);
  EXPECT_EQ(boxes.boxes.size(), 1u);

  // Refused after forcing.
  boxes.boxes.clear();
  svc.answer_text(-2, "x");
  svc.answer_text(-1, "強制接続できません。");
  EXPECT_EQ(zr0930_logon(), -1);
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[1].text, "\n\nZORAXへは接続できません。\n強制接続できません。\n\n");
}

TEST_F(SessionLogonTest, FullLogonFailures) {
  svc.answer_text(-1, "契約が終了しています。");
  EXPECT_EQ(zr0930_logon(), -1);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "\n\nZORAXへは接続できません。\n契約が終了しています。\n\n");

  svc.answer_ok(le16(5), -4);
  EXPECT_EQ(zr0930_logon(), 0);
  EXPECT_EQ(zr01->ua_l, 5);

  svc.fail();
  EXPECT_EQ(zr0930_logon(), -1);
  EXPECT_EQ(boxes.boxes.size(), 2u);
}

TEST_F(SessionLogonTest, LauncherShortLogonAndLogoff) {
  svc.answer_ok("");
  EXPECT_EQ(zr0930_logon_url(0), 0);
  EXPECT_EQ(svc.sent[0].text, "00pass12  0120");
  EXPECT_EQ(svc.sent[0].kd00, 0);

  svc.answer_text(-1, "停止中");
  EXPECT_EQ(zr0930_logon_url(0), -2);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "\n\nZORAXへは接続できません。\n停止中\n\n");

  svc.fail(-3);
  EXPECT_EQ(zr0930_logon_url(0), -1);

  svc.fail();
  EXPECT_EQ(zr0930_logoff(), 0);
  EXPECT_EQ(svc.sent.back().mid, 108);
  EXPECT_EQ(svc.sent.back().kd00, 22);
  EXPECT_EQ(svc.sent.back().lng, 12);
}

// ---- launcher connection ------------------------------------------------------------------

TEST_F(SessionLogonTest, ConnectionCheckPassesUnlessAnotherSessionExists) {
  const std::int32_t statuses[] = {0, -1, -2, 5};
  for (std::int32_t sts : statuses) {
    svc.sent.clear();
    svc.answer_text(sts, "x");
    EXPECT_EQ(logon_check(0), 0) << sts;
    ASSERT_EQ(svc.sent.size(), 1u);
    EXPECT_EQ(svc.sent[0].mid, 85);
    EXPECT_EQ(svc.sent[0].kd00, 0);
    EXPECT_EQ(svc.sent[0].text, "00pass12  0120");
  }
  svc.fail(-3);
  EXPECT_EQ(logon_check(0), -1);
  EXPECT_TRUE(boxes.boxes.empty());
}

std::string other_session() {
  return padded("other-host", 30) + padded("OTHEROBJ", 30) + cstr("別の端末でログオン中です。");
}

TEST_F(SessionLogonTest, ConnectionCheckForcesOutTheOtherSession) {
  // Declined: no message 86.
  svc.answer_ok(other_session(), -3);
  boxes.answer = 2;
  EXPECT_EQ(logon_check(0), -2);
  EXPECT_EQ(svc.sent.size(), 1u);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(
      boxes.boxes[0].text,
      "\n\nＱＲＴに接続できません。\n別の端末でログオン中です。\n\nＱＲＴへ強制接続しますか？\n\n");
  EXPECT_TRUE(traced("logon_check ret : 0  phmsg->sts : -3"));
  EXPECT_TRUE(traced("host : " + padded("other-host", 30) + "  obj : " + padded("OTHEROBJ", 30)));

  // Accepted: the forced logoff names the other session as it came.
  svc.sent.clear();
  boxes.answer = 1;
  svc.answer_ok(other_session(), -3);
  svc.answer_ok("");
  EXPECT_EQ(logon_check(0), 0);
  ASSERT_EQ(svc.sent.size(), 2u);
  EXPECT_EQ(svc.sent[1].mid, 86);
  EXPECT_EQ(svc.sent[1].kd00, 22);
  EXPECT_EQ(svc.sent[1].text, "pass12  0120" + padded("other-host", 30) + padded("OTHEROBJ", 30));

  // The forced logoff refused.
  boxes.boxes.clear();
  svc.answer_ok(other_session(), -3);
  svc.answer_text(-1, "強制ログオフできません。");
  EXPECT_EQ(logon_check(0), -1);
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[1].text, "\n\nＱＲＴへは接続できません。\n強制ログオフできません。\n\n");
}

TEST_F(SessionLogonTest, ServiceConnectReadsTheLauncherAnswer) {
  zrconn->host_idx = 1;
  svc.answer_ok("");  // connection check
  svc.answer_ok(launcher_logon(51, "db.example   ", "DBOBJ", 1, 3, {"h3.example", "h9.example"},
                               "サービス情報"));
  EXPECT_EQ(svc_connect(0), 0);
  ASSERT_EQ(svc.sent.size(), 2u);
  EXPECT_EQ(svc.sent[0].host, "h2.example");
  EXPECT_EQ(svc.sent[1].mid, 107);
  EXPECT_EQ(svc.sent[1].text, "00pass12  0120");
  EXPECT_STREQ(zrconn->cur_host, "db.example");
  EXPECT_STREQ(zrconn->cur_obj, "DBOBJ");
  EXPECT_EQ(zrconn->sdi_stop, 1);
  EXPECT_EQ(zrconn->vup_mode, 3);
  EXPECT_STREQ(zrconn->srv_txt, "サービス情報");
  EXPECT_EQ(ini_hosts(),
            (std::vector<std::string>{"h1.example", "h2.example", "h3.example", "h9.example"}));
  // The launcher keeps posting to the configured host.
  EXPECT_STREQ(zr01->http_host_nm, "h2.example");
  EXPECT_TRUE(traced("host:db.example obj:DBOBJ http_use:0 proxy:0 vup_mode:3"));
}

TEST_F(SessionLogonTest, ServiceConnectStopsAtTheFirstFailure) {
  svc.answer_ok(other_session(), -3);
  boxes.answer = 2;
  EXPECT_EQ(svc_connect(0), -2);
  EXPECT_EQ(svc.sent.size(), 1u);

  svc.sent.clear();
  svc.answer_ok("");
  svc.answer_text(-1, "停止中");
  EXPECT_EQ(svc_connect(0), -2);
  EXPECT_EQ(svc.sent.size(), 2u);
  EXPECT_FALSE(ini_written());

  hosts({});
  svc.sent.clear();
  EXPECT_EQ(svc_connect(0), -1);
  EXPECT_TRUE(svc.sent.empty());
}

}  // namespace
