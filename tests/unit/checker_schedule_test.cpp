// The checker's schedule: the daily check-time rule over whole days with a clock
// the test sets, the holds (launcher menu, open dialog), a failing logon that is
// retried, the scheduler loop with its banners, and the watcher's commands.
#include <algorithm>
#include <string>
#include <vector>

#include "schedule.h"
#include "test_support.h"

namespace {

plat::LocalTime g_time;
int g_logons = 0, g_mains = 0, g_logoffs = 0;
int g_logon_result = 0;
std::vector<std::string> g_calls;

plat::LocalTime fake_now() { return g_time; }

int fake_logon() {
  ++g_logons;
  g_calls.push_back("logon");
  return g_logon_result;
}
void fake_main() {
  ++g_mains;
  g_calls.push_back("main");
}
void fake_logoff() {
  ++g_logoffs;
  g_calls.push_back("logoff");
}

void at(int ymd, int hour, int minute, int second = 0) {
  g_time = plat::LocalTime{ymd / 10000, ymd / 100 % 100, ymd % 100, hour, minute, second};
}

class CheckerScheduleTest : public qrt_test::AreasTest {
 protected:
  void SetUp() override {
    AreasTest::SetUp();
    prev_clock_ = checker::clock_set(fake_now);
    prev_steps_ = checker::cycle_set({fake_logon, fake_main, fake_logoff});
    g_logons = g_mains = g_logoffs = 0;
    g_logon_result = 0;
    g_calls.clear();
    zr::copy(zrsdi->check_time, "12:00:00");
    checker::state().menu_open = 0;
    checker::state().stop = 0;
  }
  void TearDown() override {
    checker::clock_set(prev_clock_);
    checker::cycle_set(prev_steps_);
    checker::sleep_set(nullptr);
    checker::state().ctrl = nullptr;
    AreasTest::TearDown();
  }
  checker::NowFn prev_clock_;
  checker::CycleSteps prev_steps_;
};

TEST(CheckerSchedule, CheckDueDecision) {
  const struct {
    const char* now;
    int today, last;
    bool dialog, menu, due;
  } cases[] = {
      {"08:00:00", 20240110, 0, false, false, true},          // first pass after start
      {"08:00:06", 20240110, 20240109, false, false, false},  // before check_time, day marked
      {"12:00:00", 20240110, 20240109, false, false, true},   // check_time reached
      {"11:59:59", 20240110, 20240109, false, false, false},
      {"15:00:00", 20240110, 20240110, false, false, false},  // today's check done
      {"15:00:00", 20240110, 0, true, false, false},          // dialog open
      {"15:00:00", 20240110, 0, false, true, false},          // launcher menu open
      {"00:00:01", 20240111, 20240110, false, false, false},  // next day, before check_time
  };
  for (const auto& c : cases) {
    EXPECT_EQ(checker::check_due(c.now, c.today, c.last, "12:00:00", c.dialog, c.menu), c.due)
        << c.now << " today " << c.today << " last " << c.last;
  }
  EXPECT_EQ(checker::checked_day("08:00:06", 20240110, "12:00:00"), 20240109);
  EXPECT_EQ(checker::checked_day("12:00:00", 20240110, "12:00:00"), 20240110);
}

// Passes every six seconds from a start time to an end time; the check times.
std::vector<std::string> run_passes(int start_ymd, int start_hour, int end_ymd, int end_hour) {
  std::vector<std::string> checks;
  at(start_ymd, start_hour, 0, 6);
  for (;;) {
    int before = g_logons;
    checker::scheduler_pass();
    zrsdi->checker_status = 0;
    if (g_logons != before) {
      char text[32];
      std::snprintf(text, sizeof text, "%04d%02d%02d %02d:%02d:%02d", g_time.year, g_time.month,
                    g_time.day, g_time.hour, g_time.minute, g_time.second);
      checks.push_back(text);
    }
    // Next pass: six seconds later.
    int ymd = g_time.year * 10000 + g_time.month * 100 + g_time.day;
    int secs = g_time.hour * 3600 + g_time.minute * 60 + g_time.second + 6;
    if (secs >= 86400) {
      ymd = zr::date_add_days(ymd, 1);
      secs -= 86400;
    }
    at(ymd, secs / 3600, secs / 60 % 60, secs % 60);
    if (ymd > end_ymd || (ymd == end_ymd && g_time.hour >= end_hour)) break;
  }
  return checks;
}

TEST_F(CheckerScheduleTest, StartedAtEightChecksAtOnceAndAgainAtNoonEachDay) {
  auto checks = run_passes(20240110, 8, 20240112, 0);
  EXPECT_EQ(checks, (std::vector<std::string>{"20240110 08:00:06", "20240110 12:00:00",
                                              "20240111 12:00:00"}));
  EXPECT_EQ(g_mains, 3);
  EXPECT_EQ(g_logoffs, 3);
  EXPECT_EQ(zrsdi->last_check_day, 20240111);
  EXPECT_EQ(zrsdi->checking, 0);
}

TEST_F(CheckerScheduleTest, StartedInTheAfternoonChecksAtOnceThenNextDayAtNoon) {
  auto checks = run_passes(20240110, 15, 20240112, 0);
  EXPECT_EQ(checks, (std::vector<std::string>{"20240110 15:00:06", "20240111 12:00:00"}));
}

TEST_F(CheckerScheduleTest, AFailingLogonIsRetriedOnEveryPassAndSkipsTheCycle) {
  g_logon_result = 1;
  at(20240110, 15, 0, 0);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(checker::scheduler_pass());
  EXPECT_EQ(g_logons, 3);
  EXPECT_EQ(g_mains, 0);
  EXPECT_EQ(g_logoffs, 0);
  EXPECT_EQ(zrsdi->last_check_day, 0);
  g_logon_result = 0;
  EXPECT_TRUE(checker::scheduler_pass());
  EXPECT_EQ(g_calls.back(), "logoff");
  EXPECT_FALSE(checker::scheduler_pass());  // the day is done
}

TEST_F(CheckerScheduleTest, NoCheckWhileTheMenuOrTheDialogIsOpen) {
  at(20240110, 12, 30, 0);
  checker::state().menu_open = 1;
  EXPECT_FALSE(checker::scheduler_pass());
  checker::state().menu_open = 0;
  int dialog = 0;
  zrsdi->open_dialog = &dialog;
  EXPECT_FALSE(checker::scheduler_pass());
  zrsdi->open_dialog = nullptr;
  EXPECT_TRUE(checker::scheduler_pass());
  EXPECT_EQ(g_logons, 1);
}

// The scheduler loop: the fake pause moves the clock; the stop flag is set after
// the clock passes a chosen time.
plat::LocalTime g_stop_at;
void advancing_sleep(std::uint32_t ms) {
  int secs = g_time.hour * 3600 + g_time.minute * 60 + g_time.second;
  static int carry = 0;
  carry += static_cast<int>(ms);
  secs += carry / 1000;
  carry %= 1000;
  at(g_time.year * 10000 + g_time.month * 100 + g_time.day, secs / 3600, secs / 60 % 60, secs % 60);
  if (checker::seconds_of(g_time) >= checker::seconds_of(g_stop_at)) checker::state().stop = 1;
}

TEST_F(CheckerScheduleTest, SchedulerLoopTracesItsBannersAndChecksOnTheFirstPass) {
  checker::sleep_set(advancing_sleep);
  at(20240110, 8, 0, 0);
  g_stop_at = plat::LocalTime{2024, 1, 10, 8, 1, 0};
  zrsdi->new_state = 1;
  checker::scheduler_run();
  EXPECT_EQ(g_logons, 1);
  EXPECT_EQ(zrsdi->new_state, 0);  // reset when the scheduler starts
  EXPECT_EQ(zrsdi->last_check_day, 20240109);
  auto lines = trace();
  std::string stars(56, '*');
  ASSERT_GE(lines.size(), 7u);
  EXPECT_EQ(lines[0], stars);
  EXPECT_EQ(lines[1], "*****   ＳＤＩチェッカー開始 [01/10/24 08:00:00]   *****");
  EXPECT_EQ(lines[2], stars);
  EXPECT_EQ(lines[3], "HTTP_TEST NOT USE");
  EXPECT_EQ(lines[lines.size() - 2], "*****   ＳＤＩチェッカー停止 [01/10/24 08:01:00]   *****");
  EXPECT_EQ(lines.back(), stars);
}

// ---- the watcher ----------------------------------------------------------------------

std::uint8_t g_ctrl[30];
int g_watch_sleeps = 0;
void watcher_sleep(std::uint32_t) {
  // The running check ends after the third pause.
  if (++g_watch_sleeps == 3) zrsdi->checker_status = 0;
}

TEST_F(CheckerScheduleTest, WatcherFollowsTheLaunchersCommands) {
  std::fill(std::begin(g_ctrl), std::end(g_ctrl), 0);
  checker::state().ctrl = g_ctrl;

  g_ctrl[checker::kCfgChg] = 1;
  EXPECT_FALSE(checker::watcher_poll());
  EXPECT_EQ(checker::state().menu_open.load(), 1);
  g_ctrl[checker::kCfgChg] = 0;
  EXPECT_FALSE(checker::watcher_poll());
  EXPECT_EQ(checker::state().menu_open.load(), 0);

  // Settings changed while a check runs: handled only after the check.
  g_watch_sleeps = 0;
  checker::sleep_set(watcher_sleep);
  zrsdi->checker_status = 1;
  zrsdi->last_check_day = 20240110;
  g_ctrl[checker::kCfgChg] = 2;
  EXPECT_FALSE(checker::watcher_poll());
  EXPECT_EQ(g_watch_sleeps, 3);
  EXPECT_EQ(zrsdi->last_check_day, 0);
  EXPECT_EQ(zrsdi->config_changing, 0);
  EXPECT_EQ(g_ctrl[checker::kCfgChg], 0);
  EXPECT_EQ(checker::state().menu_open.load(), 0);
  EXPECT_EQ(trace().back(), "*** SDI Config Changed ***");

  g_ctrl[checker::kRunSts] = 9;
  EXPECT_TRUE(checker::watcher_poll());
}

TEST_F(CheckerScheduleTest, WatcherStopMarksARunningCheck) {
  std::fill(std::begin(g_ctrl), std::end(g_ctrl), 0);
  checker::state().ctrl = g_ctrl;
  checker::sleep_set([](std::uint32_t) {});
  g_ctrl[checker::kRunSts] = 9;
  zrsdi->checker_status = 1;
  checker::watcher_run();
  EXPECT_EQ(checker::state().stop.load(), 1);
  EXPECT_EQ(zrsdi->checker_status, 9);

  checker::state().stop = 0;
  zrsdi->checker_status = 0;
  checker::watcher_run();
  EXPECT_EQ(zrsdi->checker_status, 0);  // idle: nothing to wait for
}

}  // namespace
