// The logic of the launcher's options, history and account dialogs: the check
// times and what 登録 stores, the start-up shortcut through a fake shell, the
// history table with its number wrap, 結果表示, and the account's test before
// it is stored.
#include <gmock/gmock.h>

#include <filesystem>
#include <string>
#include <vector>

#include "account.h"
#include "fake_service.h"
#include "history.h"
#include "options.h"
#include "test_support.h"

namespace {

using qrt_test::FakeService;
using qrt_test::le16;
using qrt_test::le32;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// ---- options ------------------------------------------------------------------------

struct FakeShell {
  static inline bool has_folder = true;
  static inline std::string folder;
  static inline std::vector<options::Link> saved;
  static bool startup_folder(std::string* out) {
    if (!has_folder) return false;
    *out = folder;
    return true;
  }
  static bool save(const options::Link& link) {
    saved.push_back(link);
    return zr_replace_file(link.path.c_str(), "link", 4) == 0;
  }
};

class LauncherOptionsTest : public qrt_test::AreasTest {
 protected:
  void SetUp() override {
    AreasTest::SetUp();
    std::filesystem::create_directories(dir.path() / "DLV");
    std::filesystem::create_directories(dir.path() / "Startup");
    FakeShell::has_folder = true;
    FakeShell::folder = dir.join("Startup");
    FakeShell::saved.clear();
    previous_ = options::shell_set({FakeShell::startup_folder, FakeShell::save});
  }
  void TearDown() override {
    options::shell_set(previous_);
    AreasTest::TearDown();
  }
  // The shortcut as the library names it, and where it is on this platform.
  std::string link_name() const { return FakeShell::folder + "\\QRT_SDI.LNK"; }
  std::string link_path() const { return dir.join("Startup\\QRT_SDI.LNK"); }
  options::Shell previous_;
};

TEST_F(LauncherOptionsTest, CheckTimesAreTheHalfHoursAfterMidnight) {
  char item[6];
  options::time_item(0, item);
  EXPECT_STREQ(item, "00:30");
  options::time_item(options::kTimeFallback, item);
  EXPECT_STREQ(item, "12:30");
  options::time_item(options::kTimeCount - 1, item);
  EXPECT_STREQ(item, "23:30");

  const struct {
    const char* check_time;
    int index;
  } cases[] = {
      {"12:00:00", 23}, {"00:30:00", 0},  {"23:30:00", 46},
      {"07:30:59", 14}, {"00:00:00", 24},  // midnight is not offered: 12:30
      {"12:15:00", 24}, {"", 24},         {"1", 24},
  };
  for (const auto& c : cases) EXPECT_EQ(options::time_index(c.check_time), c.index) << c.check_time;
}

TEST_F(LauncherOptionsTest, StoreWritesTheChoiceAndTheShortcut) {
  zr::copy(zrsdi->check_time, "00:00:00");
  zrsdi->disp_first = 1;
  options::Choice c = options::on_open();
  EXPECT_EQ(c.check_time, options::kTimeFallback);
  c.dlv_type = 3;
  c.disp_cycle = 4;
  c.auto_start = true;
  c.zero_disp = true;
  options::store(c);
  EXPECT_EQ(qrt_test::read_file(dir.join("DLV\\CONFIG.INI")),
            "[SYSTEM]\r\ndlv_type=3\r\ncheck_time=12:30:00\r\ndisp_cycle=4\r\nauto_start=1\r\n"
            "zero_disp=1\r\ndisp_first=1\r\n");
  ASSERT_EQ(FakeShell::saved.size(), 1u);
  const options::Link& l = FakeShell::saved[0];
  EXPECT_EQ(l.path, link_name());
  EXPECT_TRUE(std::filesystem::exists(link_path()));
  EXPECT_EQ(l.target, dir.str() + "\\qrt000.exe");
  EXPECT_EQ(l.arguments, "S");
  EXPECT_EQ(l.folder, dir.str());
  EXPECT_EQ(l.description, "Orvanta SDI");
  EXPECT_EQ(l.icon, l.target);
  EXPECT_EQ(l.icon_index, 2);
  EXPECT_TRUE(l.normal_window);
  EXPECT_THAT(trace(), testing::Contains("STARTUP[" + link_name() + "]"));

  // Turned off: the shortcut goes; a second time finds none, which is no error.
  c.auto_start = false;
  options::store(c);
  EXPECT_FALSE(std::filesystem::exists(link_path()));
  options::store(c);
  EXPECT_THAT(qrt_test::read_file(dir.join("DLV\\CONFIG.INI")), HasSubstr("auto_start=0\r\n"));
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(LauncherOptionsTest, WithoutAStartupFolderTheSettingsAreStillStored) {
  FakeShell::has_folder = false;
  options::Choice c;
  c.auto_start = true;
  c.check_time = 0;
  options::store(c);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "フォルダーの取得に失敗しました。");
  EXPECT_TRUE(FakeShell::saved.empty());
  EXPECT_THAT(qrt_test::read_file(dir.join("DLV\\CONFIG.INI")), HasSubstr("check_time=00:30:00"));
}

// ---- history --------------------------------------------------------------------------

class LauncherHistoryTest : public qrt_test::AreasTest {
 protected:
  void SetUp() override {
    AreasTest::SetUp();
    std::filesystem::create_directories(dir.path() / "DLV" / "RESULT");
    zr::copy(zrconn->host_nm[0], "first.example");
    zr::copy(zrconn->host_nm[1], "second.example");
  }
  void counters(int t, int cnt) {
    qrt_test::write_file(dir.join("DLV\\RESULT\\LIST_NO.FIL"),
                         "[COMMON]\r\nlist_no_f=1\r\nlist_no_t=" + std::to_string(t) +
                             "\r\nlist_no_cnt=" + std::to_string(cnt) + "\r\n");
  }
  // Result n with the given issue range and requests (rslt_no, inq_cnt).
  void result(int n, const std::string& from, const std::string& to,
              const std::vector<std::pair<int, int>>& requests = {}) {
    std::string s = "[LIST]\r\nrslt_cnt=" + std::to_string(requests.size()) +
                    "\r\nsdi_date=2024/01/12\r\nsdi_time=09:00:00\r\ninq_date_f=" + from +
                    "\r\ninq_date_t=" + to + "\r\n";
    int i = 1;
    for (auto [no, cnt] : requests) {
      char sec[16];
      std::snprintf(sec, sizeof sec, "%05d", i++);
      s += std::string("[") + sec + "]\r\nrslt_no=" + std::to_string(no) +
           "\r\ninq_cnt=" + std::to_string(cnt) + "\r\nexp_nm=request " + std::to_string(no) +
           "\r\n";
    }
    char name[32];
    std::snprintf(name, sizeof name, "DLV\\RESULT\\%05d.FIL", n);
    qrt_test::write_file(dir.join(name), s);
  }
  std::vector<int> numbers(const history::Table& t) const {
    std::vector<int> out;
    for (int i = 0; i < t.count; ++i) out.push_back(t.entry[i].no);
    return out;
  }
};

TEST_F(LauncherHistoryTest, TheNewestResultsComeFirstAndWrapToTheLastNumber) {
  counters(2, 3);
  result(2, "2024/01/12", "2024/01/12", {{300, 4}});
  result(1, "2024/01/11", "2024/01/11");
  result(99999, "2024/01/10", "2024/01/10");
  history::Table t;
  ASSERT_TRUE(history::open(&t));
  EXPECT_THAT(numbers(t), ElementsAre(2, 1, 99999));
  char item[64];
  history::item_text(t.entry[2], item, sizeof item);
  EXPECT_STREQ(item, "2024/01/10 ～ 2024/01/10");
  EXPECT_STREQ(t.entry[0].head.sdi_time, "09:00:00");
  // The newest result is loaded.
  EXPECT_EQ(zrsdi->rslt_cnt, 1);
  EXPECT_EQ(zrsdi->rslt[0].rslt_no, 300);

  // Twelve results kept: the newest ten; a missing file gives empty dates.
  counters(12, 12);
  ASSERT_TRUE(history::open(&t));
  EXPECT_THAT(numbers(t), ElementsAre(12, 11, 10, 9, 8, 7, 6, 5, 4, 3));
  history::item_text(t.entry[0], item, sizeof item);
  EXPECT_STREQ(item, " ～ ");
  EXPECT_EQ(zrsdi->rslt_cnt, 0);
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(LauncherHistoryTest, WithoutResultsTheDialogSaysSoAndCloses) {
  history::Table t;
  EXPECT_FALSE(history::open(&t));  // no LIST_NO.FIL
  counters(5, 0);
  EXPECT_FALSE(history::open(&t));
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[1].text, "ＳＤＩ履歴はありません。");
}

TEST_F(LauncherHistoryTest, ShowOpensTheFirstHostsPageAndStoresTheViewedFlag) {
  counters(2, 2);
  result(2, "2024/01/12", "2024/01/12", {{300, 4}});
  result(1, "2024/01/11", "2024/01/11", {{200, 0}, {201, 10001}, {202, 10000}});
  history::Table t;
  ASSERT_TRUE(history::open(&t));
  history::select(t, 1);
  ASSERT_EQ(zrsdi->rslt_cnt, 3);
  char url[256];
  const struct {
    int row;
    const char* message;
  } refused[] = {
      {-1, "確認したい情報を選択してください。"},
      {0, "検索結果が０件です。表示できません。"},
      {1, "表示件数が10000を超えました。表示できません。"},
  };
  for (const auto& r : refused) {
    boxes.boxes.clear();
    EXPECT_FALSE(history::show(t, 1, r.row, url, sizeof url)) << r.row;
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, r.message);
  }
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "DLV" / "RESULT" / "00001_VWD.FIL"));
  char name[69], count[16], mark[4];
  sdi_view_row(0, name, count, mark);
  EXPECT_STREQ(mark, "―");

  EXPECT_TRUE(history::show(t, 1, 2, url, sizeof url));
  EXPECT_STREQ(url, "http://first.example/QRT_SDI.HTM?KD00=TM&RNO=00202");
  EXPECT_EQ(zr01->disp_max, 10000);
  sdi_view_row(2, name, count, mark);
  EXPECT_STREQ(mark, "○");
  EXPECT_EQ(qrt_test::read_file(dir.join("DLV\\RESULT\\00001_VWD.FIL")),
            "[00001]\r\nvwd_fg=0\r\n[00002]\r\nvwd_fg=0\r\n[00003]\r\nvwd_fg=1\r\n");
  // The newest result's flags are untouched.
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "DLV" / "RESULT" / "00002_VWD.FIL"));
}

// ---- account --------------------------------------------------------------------------

class LauncherAccountTest : public qrt_test::AreasTest {
 protected:
  void SetUp() override {
    AreasTest::SetUp();
    svc.install();
    std::filesystem::create_directories(dir.path() / "USER");
    zr::copy(zrconn->host_nm[0], "h1.example");
    zrconn->host_cnt = 1;
    zr::copy(zrconn->obj_nm, "QRT000-001");
    zrwork->kd_3 = 51;
    zr00->retry_count = 1;
    zr::copy(zr01->user_id, "OLD01");
    zr::copy(zr01->user_pass, "old01");
    uid_fil_write(zr01->user_id, zr01->user_pass);
    before_ = uid_file();
  }
  void TearDown() override {
    svc.uninstall();
    AreasTest::TearDown();
  }
  std::string uid_file() const { return qrt_test::read_file(dir.join("USER\\UID_QRT.FIL")); }
  static std::string kinds(std::initializer_list<int> k) {
    std::string s = le32(1) + std::string(1, '\0') + le16(static_cast<int>(k.size()));
    for (int c : k) s += le16(c);
    return s;
  }
  FakeService svc{false};
  std::string before_;
};

TEST_F(LauncherAccountTest, AnAcceptedAccountIsStored) {
  svc.answer_ok(kinds({22, 51}));
  EXPECT_TRUE(account::apply("NEW01", "new01"));
  ASSERT_EQ(svc.sent.size(), 1u);
  EXPECT_EQ(svc.sent[0].mid, 118);
  EXPECT_STREQ(zr01->user_id, "NEW01");
  EXPECT_EQ(zrconn->user_ok, 1);
  EXPECT_NE(uid_file(), before_);
  zr01->user_id[0] = zr01->user_pass[0] = '\0';
  uid_fil_read();
  EXPECT_STREQ(zr01->user_id, "NEW01");
  EXPECT_STREQ(zr01->user_pass, "new01");
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(LauncherAccountTest, ARefusedAccountLeavesTheOldOne) {
  svc.answer_ok(kinds({22}));  // the account has no trademark kind
  EXPECT_FALSE(account::apply("NEW01", "wrong"));
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "Ｏｒｖａｎｔａに接続できません。");
  EXPECT_STREQ(zr01->user_id, "OLD01");
  EXPECT_STREQ(zr01->user_pass, "old01");
  EXPECT_EQ(uid_file(), before_);
}

TEST_F(LauncherAccountTest, AnEmptyFieldClearsTheAccountWithoutTheServer) {
  for (auto [user, pass] : {std::pair{"", "new01"}, std::pair{"NEW01", ""}}) {
    EXPECT_TRUE(account::apply(user, pass));
    EXPECT_EQ(uid_file(), std::string(24, 'A'));
    EXPECT_EQ(std::string(zr01->user_pass, 9), std::string(9, '\0'));
    EXPECT_EQ(std::string(zr01->user_id, 9), std::string(9, '\0'));
  }
  EXPECT_TRUE(svc.sent.empty());
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(LauncherAccountTest, TextsAreCutToEightBytesOnACharacterBoundary) {
  svc.answer_ok(kinds({51}));
  EXPECT_TRUE(account::apply("ABCDEFGHIJ", "\x82\xa0\x82\xa2\x82\xa4\x82\xa6\x82\xa8"));
  EXPECT_STREQ(zr01->user_id, "ABCDEFGH");
  EXPECT_STREQ(zr01->user_pass, "\x82\xa0\x82\xa2\x82\xa4\x82\xa6");
  svc.answer_ok(kinds({51}));
  EXPECT_TRUE(account::apply("abcdefg\x82\xa0", "p"));
  EXPECT_STREQ(zr01->user_id, "abcdefg");  // the split character is dropped
}

}  // namespace
