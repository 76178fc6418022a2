// When the new-arrivals dialog appears (under each flag and with the repeat
// interval), and what its rows and buttons do with the loaded result.
#include <string>

#include "new_arrivals.h"
#include "schedule.h"
#include "sdi/sdi.h"
#include "test_support.h"

namespace {

using qrt_test::read_file;

plat::LocalTime g_time{2024, 1, 10, 12, 0, 0};
int g_opened = 0;

plat::LocalTime fake_now() { return g_time; }
void fake_dialog() {
  ++g_opened;
  checker::nad_opened();
}

void advance(int seconds) {
  std::int64_t s = checker::seconds_of(g_time) + seconds;
  g_time.hour = static_cast<int>(s / 3600 % 24);
  g_time.minute = static_cast<int>(s / 60 % 60);
  g_time.second = static_cast<int>(s % 60);
}

class CheckerDisplayTest : public qrt_test::AreasTest {
 protected:
  void SetUp() override {
    AreasTest::SetUp();
    prev_clock_ = checker::clock_set(fake_now);
    prev_dialog_ = checker::dialog_set(fake_dialog);
    g_time = plat::LocalTime{2024, 1, 10, 12, 0, 0};
    g_opened = 0;
    checker::state().last_shown = 0;
    zrsdi->disp_period = 300;
    zr01->disp_max = 10000;
    zr::copy(zrconn->host_nm[0], "sdi.example.jp");
  }
  void TearDown() override {
    checker::clock_set(prev_clock_);
    checker::dialog_set(prev_dialog_);
    AreasTest::TearDown();
  }
  // A loaded result: hit counts of its requests, all unread.
  void result(std::initializer_list<int> counts) {
    zrsdi->rslt_cnt = 0;
    for (int c : counts) {
      ZR_SDI_RSLT& r = zrsdi->rslt[zrsdi->rslt_cnt];
      r.rslt_no = 100 + zrsdi->rslt_cnt;
      r.inq_cnt = c;
      r.vwd_fg = 0;
      ZR_FMT(r.exp_nm, "検索式%d", zrsdi->rslt_cnt + 1);
      ++zrsdi->rslt_cnt;
    }
    zrsdi->new_state = 1;
  }
  checker::NowFn prev_clock_;
  checker::DialogFn prev_dialog_;
};

TEST_F(CheckerDisplayTest, DecisionUnderEachFlag) {
  const struct {
    const char* name;
    int new_state;
    bool dialog_open, asked;
    int disp_first, zero_disp;
    std::initializer_list<int> counts;
    int answer, opened;
  } cases[] = {
      {"nothing new", 0, false, false, 0, 0, {5}, 1, 0},
      {"nothing new, asked", 0, false, true, 0, 0, {5}, 1, 0},
      {"dialog already open", 1, true, false, 0, 0, {5}, 0, 0},
      {"new result", 1, false, false, 0, 0, {5}, 0, 1},
      {"shown once with disp_first", 2, false, false, 1, 0, {5}, 1, 0},
      {"disp_first, asked", 2, false, true, 1, 0, {5}, 0, 1},
      {"shown, disp_first off", 2, false, false, 0, 0, {5}, 0, 1},
      {"only zero hits, zero_disp", 1, false, false, 0, 1, {0, 0}, 1, 0},
      {"only zero hits, zero_disp, asked", 1, false, true, 0, 1, {0, 0}, 0, 1},
      {"only zero hits", 1, false, false, 0, 0, {0, 0}, 0, 1},
  };
  for (const auto& c : cases) {
    result(c.counts);
    zrsdi->new_state = static_cast<std::uint8_t>(c.new_state);
    zrsdi->disp_first = static_cast<std::uint8_t>(c.disp_first);
    zrsdi->zero_disp = static_cast<std::uint8_t>(c.zero_disp);
    int dialog = 0;
    zrsdi->open_dialog = c.dialog_open ? &dialog : nullptr;
    checker::state().last_shown = 0;
    g_opened = 0;
    EXPECT_EQ(sdi_disp_chk(c.asked), c.answer) << c.name;
    EXPECT_EQ(g_opened, c.opened) << c.name;
    zrsdi->open_dialog = nullptr;
  }
}

TEST_F(CheckerDisplayTest, PopsUpAgainAfterTheIntervalWhileHitsStayUnread) {
  result({3, 0});
  EXPECT_EQ(sdi_disp_chk(false), 0);
  EXPECT_EQ(g_opened, 1);
  EXPECT_EQ(zrsdi->new_state, 2);
  advance(290);
  sdi_disp_chk(false);
  EXPECT_EQ(g_opened, 1);
  advance(10);
  sdi_disp_chk(false);
  EXPECT_EQ(g_opened, 2);
  // The user's request shows it at once and leaves the interval alone.
  advance(10);
  sdi_disp_chk(true);
  EXPECT_EQ(g_opened, 3);
  advance(10);
  sdi_disp_chk(false);
  EXPECT_EQ(g_opened, 3);
  // The unread zero-hit request alone still brings it back...
  zrsdi->rslt[0].vwd_fg = 1;
  advance(600);
  sdi_disp_chk(false);
  EXPECT_EQ(g_opened, 4);
  // ...unless zero hits are no news: then nothing deserves a pop-up.
  zrsdi->zero_disp = 1;
  advance(600);
  EXPECT_EQ(sdi_disp_chk(false), 1);
  EXPECT_EQ(g_opened, 4);
  EXPECT_EQ(checker::state().last_shown, 0);
}

TEST_F(CheckerDisplayTest, LatestCommandIsEnabledOnlyWithSomethingToShowAndNoCheckRunning) {
  zrsdi->new_state = 0;
  EXPECT_FALSE(checker::latest_enabled());
  zrsdi->new_state = 1;
  EXPECT_TRUE(checker::latest_enabled());
  zrsdi->checking = 1;
  EXPECT_FALSE(checker::latest_enabled());
}

TEST_F(CheckerDisplayTest, RowsShowCountsAndViewedMarks) {
  result({0, 35, 7});
  zrsdi->rslt[1].vwd_fg = 1;
  const char* marks[] = {"―", "○", "　"};
  const char* counts[] = {"0", "35", "7"};
  for (int i = 0; i < 3; ++i) {
    char name[69], count[16], mark[4];
    sdi_view_row(i, name, count, mark);
    EXPECT_EQ(std::string(name), "検索式" + std::to_string(i + 1));
    EXPECT_STREQ(count, counts[i]);
    EXPECT_STREQ(mark, marks[i]) << i;
  }
  zr::copy(zrsdi->sdi_date, "2024/01/12");
  zr::copy(zrsdi->sdi_time, "12:00:05");
  zr::copy(zrsdi->inq_date_f, "2024/01/06");
  zr::copy(zrsdi->inq_date_t, "2024/01/12");
  char summary[256];
  sdi_view_summary(summary, sizeof summary);
  EXPECT_STREQ(summary, "検索日時：2024/01/12 12:00:05\r\n検索範囲：2024/01/06 ～ 2024/01/12\r\n");
}

TEST_F(CheckerDisplayTest, OpenRefusesWithAReasonOrGivesThePageAddress) {
  result({0, 12000, 35});
  zrsdi->rslt[2].rslt_no = 123;
  char url[256] = "";
  EXPECT_FALSE(checker::nad_open(-1, url, sizeof url));
  EXPECT_FALSE(checker::nad_open(0, url, sizeof url));
  EXPECT_FALSE(checker::nad_open(1, url, sizeof url));
  ASSERT_EQ(boxes.boxes.size(), 3u);
  EXPECT_EQ(boxes.boxes[0].text, "確認したい新着情報を選択してください。");
  EXPECT_EQ(boxes.boxes[1].text, "検索結果が０件です。表示できません。");
  EXPECT_EQ(boxes.boxes[2].text, "表示件数が10000を超えました。表示できません。");
  EXPECT_EQ(zrsdi->rslt[1].vwd_fg, 0);
  EXPECT_TRUE(checker::nad_open(2, url, sizeof url));
  EXPECT_STREQ(url, "http://sdi.example.jp/QRT_SDI.HTM?KD00=TM&RNO=00123");
  EXPECT_EQ(zrsdi->rslt[2].vwd_fg, 1);
}

TEST_F(CheckerDisplayTest, CloseMarksZeroHitRequestsAndStoresFlagsAndSettings) {
  _sdi_dir_make();
  result({0, 4, 9});
  zrsdi->rslt[2].vwd_fg = 1;
  zrsdi->list_no_t = 7;
  checker::nad_close(true);
  std::string vwd = read_file(dir.join("DLV\\RESULT\\00007_VWD.FIL"));
  EXPECT_EQ(vwd, "[00001]\r\nvwd_fg=1\r\n[00002]\r\nvwd_fg=0\r\n[00003]\r\nvwd_fg=1\r\n");
  EXPECT_NE(read_file(dir.join("DLV\\CONFIG.INI")).find("disp_first=1\r\n"), std::string::npos);
  EXPECT_EQ(zrsdi->disp_first, 1);
}

}  // namespace
