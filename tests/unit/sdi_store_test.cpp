// The SDI result store: counters and numbering, result and viewed-flag files,
// retention cleanup, the issue calendar, the single-purpose files, and whole-file
// replacement when the process dies in the middle of a write.
#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>

#if !defined(_WIN32)
#include <sys/resource.h>
#endif

#include "runtime/ini.h"
#include "sdi/sdi.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using qrt_test::read_file;
using qrt_test::read_lines;
using qrt_test::write_file;
using Lines = std::vector<std::string>;

class SdiStoreTest : public qrt_test::AreasTest {
 protected:
  void SetUp() override {
    AreasTest::SetUp();
    _sdi_dir_make();
  }
  std::string result_dir() const { return dir.join("DLV\\RESULT"); }
  std::string list_no() const { return dir.join("DLV\\RESULT\\LIST_NO.FIL"); }
  std::string in_result(const std::string& name) const { return dir.join("DLV\\RESULT\\" + name); }
  void counters(int f, int t, int cnt) {
    write_file(list_no(), "[COMMON]\r\nlist_no_f=" + std::to_string(f) +
                              "\r\nlist_no_t=" + std::to_string(t) +
                              "\r\nlist_no_cnt=" + std::to_string(cnt) + "\r\n");
  }
  void result(const char* number, const char* sdi_date) {
    write_file(in_result(std::string(number) + ".FIL"),
               std::string("[LIST]\r\nrslt_cnt=0\r\nsdi_date=") + sdi_date + "\r\n");
  }
  bool traced(const std::string& part) const {
    for (const std::string& line : trace()) {
      if (line.find(part) != std::string::npos) return true;
    }
    return false;
  }
  std::vector<std::string> result_files() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(result_dir()))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(SdiStoreTest, CountersAndNumbering) {
  _sdi_list_no_read();  // no LIST_NO.FIL
  EXPECT_EQ(+zrsdi->list_no_cnt, 0);
  _sdi_result_new();
  EXPECT_EQ(+zrsdi->list_no_f, 1);
  EXPECT_EQ(+zrsdi->list_no_t, 1);
  EXPECT_EQ(+zrsdi->list_no_cnt, 1);
  _sdi_list_no_write();
  EXPECT_EQ(read_file(list_no()), "[COMMON]\r\nlist_no_f=1\r\nlist_no_t=1\r\nlist_no_cnt=1\r\n");

  counters(99995, 99999, 5);
  _sdi_list_no_read();
  _sdi_result_new();  // the number after 99999 is 1
  EXPECT_EQ(+zrsdi->list_no_f, 99995);
  EXPECT_EQ(+zrsdi->list_no_t, 1);
  EXPECT_EQ(+zrsdi->list_no_cnt, 6);
  _sdi_result_new();
  EXPECT_EQ(+zrsdi->list_no_t, 2);
  _sdi_list_no_write();
  EXPECT_EQ(read_lines(list_no()),
            (Lines{"[COMMON]", "list_no_f=99995", "list_no_t=2", "list_no_cnt=7"}));
  EXPECT_EQ(read_lines(list_no() + ".OLD"),
            (Lines{"[COMMON]", "list_no_f=99995", "list_no_t=99999", "list_no_cnt=5"}));
}

// A LIST_NO.FIL with counters no store of results can have (the largest
// numbers, negative ones, more results than numbers) never overflows a counter
// and never names a result outside 1 to 99999: the store starts again empty,
// with a trace line; a full store gives the new result the oldest number.
TEST_F(SdiStoreTest, HostileCountersNeverOverflow) {
  struct Case {
    int f, t, cnt;
    int new_f, new_t, new_cnt;  // after one more result
    bool traced;
  } cases[] = {
      {2147483647, 2147483647, 2147483647, 1, 1, 1, true},
      {1, 2147483647, 3, 1, 1, 1, true},
      {-5, 3, 2, 1, 1, 1, true},
      {1, 3, -2147483647 - 1, 1, 1, 1, true},
      {1, 99999, 100000, 1, 1, 1, true},
      {1, 99999, 99999, 2, 1, 99999, false},
      {5, 4, 99999, 6, 5, 99999, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.f) + " " + std::to_string(c.t) + " " + std::to_string(c.cnt));
    std::filesystem::remove(dbg_path());
    counters(c.f, c.t, c.cnt);
    _sdi_list_no_read();
    _sdi_result_new();
    EXPECT_EQ(+zrsdi->list_no_f, c.new_f);
    EXPECT_EQ(+zrsdi->list_no_t, c.new_t);
    EXPECT_EQ(+zrsdi->list_no_cnt, c.new_cnt);
    EXPECT_EQ(traced("LIST_NO.FIL: counters out of range"), c.traced);
    if (c.traced) {
      // The retention cleanup at start-up has nothing to walk.
      counters(c.f, c.t, c.cnt);
      _sdi_result_clean();
      EXPECT_EQ(+zrsdi->list_no_cnt, 0);
    }
  }
}

TEST_F(SdiStoreTest, LoadResultWithViewedFlags) {
  write_file(in_result("00007.FIL"),
             "[LIST]\r\nrslt_cnt=3\r\nsdi_date=2024/01/17\r\nsdi_time=09:05:00\r\n"
             "inq_date_f=2024/01/10\r\ninq_date_t=2024/01/17\r\n"
             "[00001]\r\nrslt_no=501\r\ninq_cnt=12\r\nexp_nm=商標 検索式\r\n"
             "[00002]\r\nrslt_no=502\r\ninq_cnt=0\r\nexp_nm=\r\n"
             "[00003]\r\nexp_nm=" +
                 std::string(80, 'E') + "\r\n");
  write_file(in_result("00007_VWD.FIL"), "[00002]\r\nvwd_fg=1\r\n");
  _sdi_result_read(7);
  EXPECT_EQ(+zrsdi->rslt_cnt, 3);
  EXPECT_STREQ(zrsdi->sdi_date, "2024/01/17");
  EXPECT_STREQ(zrsdi->sdi_time, "09:05:00");
  EXPECT_STREQ(zrsdi->inq_date_f, "2024/01/10");
  EXPECT_STREQ(zrsdi->inq_date_t, "2024/01/17");
  EXPECT_EQ(+zrsdi->rslt[0].rslt_no, 501);
  EXPECT_EQ(+zrsdi->rslt[0].inq_cnt, 12);
  EXPECT_STREQ(zrsdi->rslt[0].exp_nm, "商標 検索式");
  EXPECT_EQ(+zrsdi->rslt[0].vwd_fg, 0);
  EXPECT_EQ(+zrsdi->rslt[1].vwd_fg, 1);
  EXPECT_EQ(+zrsdi->rslt[2].rslt_no, 0);                                // missing keys: 0
  EXPECT_EQ(std::string(zrsdi->rslt[2].exp_nm), std::string(68, 'E'));  // filled to its size
  EXPECT_TRUE(traced("検索日時：2024/01/17 09:05:00"));
  EXPECT_TRUE(traced("検索範囲：2024/01/10 ～ 2024/01/17"));
  EXPECT_TRUE(traced("配信件数：3"));

  // Viewed flags are stored per request, in index order.
  zrsdi->rslt[2].vwd_fg = 1;
  _sdi_vwd_write(7);
  EXPECT_EQ(read_file(in_result("00007_VWD.FIL")),
            "[00002]\r\nvwd_fg=1\r\n[00001]\r\nvwd_fg=0\r\n[00003]\r\nvwd_fg=1\r\n");
  EXPECT_EQ(read_file(in_result("00007_VWD.FIL.OLD")), "[00002]\r\nvwd_fg=1\r\n");

  // A missing result loads as an empty one.
  _sdi_result_read(8);
  EXPECT_EQ(+zrsdi->rslt_cnt, 0);
  EXPECT_STREQ(zrsdi->sdi_date, "");
  EXPECT_EQ(+zrsdi->rslt[0].rslt_no, 0);
}

TEST_F(SdiStoreTest, OversizedResultFillsTheImageOnly) {
  write_file(in_result("00001.FIL"),
             "[LIST]\r\nrslt_cnt=1500\r\nsdi_date=2024/01/17 extra\r\n[01000]\r\nrslt_no=1000\r\n"
             "[01001]\r\nrslt_no=1001\r\n");
  _sdi_result_read(1);
  EXPECT_EQ(+zrsdi->rslt_cnt, 1000);
  EXPECT_EQ(+zrsdi->rslt[999].rslt_no, 1000);
  EXPECT_STREQ(zrsdi->sdi_date, "2024/01/17");
  EXPECT_TRUE(traced("rslt_cnt:1500 over 1000"));
}

class SdiCleanupTest : public SdiStoreTest {
 protected:
  void SetUp() override {
    SdiStoreTest::SetUp();
    zr00->sys_date.ymd = 20240510;  // the limit is then 2024/01/31
  }
};

TEST_F(SdiCleanupTest, DeletesUpToTheLimitAndStopsAtTheFirstNewerResult) {
  counters(1, 5, 5);
  // Result 1 is gone already: it loads with an empty date and is released.
  result("00002", "2024/01/30");
  write_file(in_result("00002_VWD.FIL"), "x");
  write_file(in_result("00002_VWD.FIL.OLD"), "x");
  result("00003", "2024/01/31");
  result("00004", "2024/02/01");
  result("00005", "2024/01/01");  // older, but after a newer one: kept
  fs::create_directory(in_result("00003.DIR"));
  _sdi_result_clean();
  EXPECT_EQ(read_lines(list_no()),
            (Lines{"[COMMON]", "list_no_f=4", "list_no_t=5", "list_no_cnt=2"}));
  EXPECT_EQ(result_files(),
            (Lines{"00003.DIR", "00004.FIL", "00005.FIL", "LIST_NO.FIL", "LIST_NO.FIL.OLD"}));
}

TEST_F(SdiCleanupTest, RemovingTheLastResultZeroesTheCounters) {
  counters(99999, 1, 2);
  result("99999", "2023/12/31");
  result("00001", "2024/01/31");
  _sdi_result_clean();
  EXPECT_EQ(read_lines(list_no()),
            (Lines{"[COMMON]", "list_no_f=0", "list_no_t=0", "list_no_cnt=0"}));
  EXPECT_EQ(result_files(), (Lines{"LIST_NO.FIL", "LIST_NO.FIL.OLD"}));
}

TEST_F(SdiCleanupTest, NothingToDeleteLeavesListNoUntouched) {
  counters(3, 3, 1);
  result("00003", "2024/02/01");
  const std::string before = read_file(list_no());
  _sdi_result_clean();
  EXPECT_EQ(read_file(list_no()), before);
  EXPECT_FALSE(fs::exists(list_no() + ".OLD"));
  EXPECT_TRUE(fs::exists(in_result("00003.FIL")));

  counters(0, 0, 0);  // no results: nothing is read or written
  _sdi_result_clean();
  EXPECT_FALSE(fs::exists(list_no() + ".OLD"));
}

TEST_F(SdiStoreTest, AddDays) {
  EXPECT_EQ(_sdi_day_add(20240301, -1), 20240229);
  EXPECT_EQ(_sdi_day_add(20241231, 1), 20250101);
  EXPECT_EQ(_sdi_day_add(20240510, -100), 20240131);
  EXPECT_EQ(_sdi_day_add(20240112, -7), 20240105);
}

class SdiCalendarTest : public SdiStoreTest {
 protected:
  std::string update_tm() const { return dir.join("DLV\\UPDATE_TM"); }
  std::vector<std::int32_t> calendar() const {
    std::vector<std::int32_t> dates;
    for (int i = 0; i < zrsdi->upd_cnt; ++i) dates.push_back(+zrsdi->upd_pd[i]);
    return dates;
  }
};

TEST_F(SdiCalendarTest, ReadsFourMonthsAroundTheNewestIssue) {
  write_file(update_tm(),
             "20240105          20240101\r\n"
             "20231227          20231220\r\n"
             "20240301\r\n"
             "\r\n"
             "202402\r\n"
             "20240415\r\n"
             "20231101\r\n"
             "20240112\r\n"
             "x20240119\r\n");
  _sdi_update_tm_read(20240117);
  EXPECT_EQ(calendar(),
            (std::vector<std::int32_t>{20231227, 20240105, 20240112, 202402, 20240301}));
  EXPECT_EQ(+zrsdi->upd_pd[5], 0);

  // Year ends roll both ways.
  write_file(update_tm(),
             "20241115\r\n20241213\r\n20250110\r\n20250207\r\n20250307\r\n20241015\r\n");
  _sdi_update_tm_read(20241213);
  EXPECT_EQ(calendar(), (std::vector<std::int32_t>{20241115, 20241213, 20250110, 20250207}));
  _sdi_update_tm_read(20250110);
  EXPECT_EQ(calendar(), (std::vector<std::int32_t>{20241213, 20250110, 20250207, 20250307}));
}

TEST_F(SdiCalendarTest, MoreThan240DatesFillTheCalendarOnly) {
  std::string text;
  for (int i = 0; i < 300; ++i) text += "202401" + std::to_string(10 + i % 20) + "\r\n";
  write_file(update_tm(), text);
  _sdi_update_tm_read(20240117);
  EXPECT_EQ(+zrsdi->upd_cnt, 240);
  EXPECT_EQ(+zrsdi->upd_pd[239], 20240129);
  EXPECT_TRUE(traced("60 issue dates beyond 240 dropped"));
}

// A missing calendar is an I/O failure report; an over-long line (the file is
// the server's text) is cut with a trace line and the dates after it are read.
TEST_F(SdiCalendarTest, MissingFileEndsTheProcessAnOverlongLineIsCut) {
  EXPECT_EXIT(_sdi_update_tm_read(20240117), ::testing::ExitedWithCode(0), "");
  write_file(update_tm(), "20240105" + std::string(246, ' ') + "\r\n");  // 254 bytes: fits
  _sdi_update_tm_read(20240117);
  EXPECT_EQ(calendar(), (std::vector<std::int32_t>{20240105}));
  EXPECT_FALSE(traced("UPDATE_TM: line longer"));
  write_file(update_tm(), "20240105" + std::string(247, ' ') + "\r\n" + "20240112" +
                              std::string(100000, 'x') + "\r\n20240119          20240119\r\n");
  _sdi_update_tm_read(20240117);
  EXPECT_EQ(calendar(), (std::vector<std::int32_t>{20240105, 20240112, 20240119}));
  EXPECT_TRUE(traced("UPDATE_TM: line longer than 254 bytes, cut"));
}

// The writer of the calendar and of the result files keeps every line within
// what the readers take (254 and 599 bytes); other lines stay byte for byte.
TEST_F(SdiCalendarTest, WritersCutOverlongLines) {
  std::string two_byte;
  for (int i = 0; i < 400; ++i) two_byte += "表";
  const std::string calendar_text = "20240105          20240105\r\n20240112" +
                                    std::string(500, 'x') + "\r\n20240119\n" + two_byte;
  _sdi_update_tm_write(calendar_text.data(), static_cast<std::int32_t>(calendar_text.size()));
  std::string kept_two_byte;
  for (int i = 0; i < 127; ++i) kept_two_byte += "表";
  EXPECT_EQ(read_file(update_tm()), "20240105          20240105\r\n20240112" +
                                        std::string(246, 'x') + "\r\n20240119\n" + kept_two_byte);
  EXPECT_TRUE(traced("UPDATE_TM: 2 lines longer than 254 bytes cut"));

  const std::string result =
      "[LIST]\r\nrslt_cnt=1\r\n[00001]\r\nexp_nm=" + std::string(5000, 'e') + "\r\ninq_cnt=7\r\n";
  _sdi_result_write(1, result.data(), static_cast<std::int32_t>(result.size()));
  EXPECT_EQ(read_file(in_result("00001.FIL")), "[LIST]\r\nrslt_cnt=1\r\n[00001]\r\nexp_nm=" +
                                                   std::string(599 - 7, 'e') + "\r\ninq_cnt=7\r\n");
}

// A result file with an over-long line (the server's text, stored before the
// writer bounded it, or put there by hand) loads with the line cut; the values
// after it are read, and the program goes on.
TEST_F(SdiStoreTest, ResultWithOverlongLinesLoads) {
  write_file(in_result("00001.FIL"),
             "[LIST]\r\nrslt_cnt=2\r\nsdi_date=2024/01/12\r\n[00001]\r\n"
             "exp_nm=" +
                 std::string(100000, 'e') + "\r\ninq_cnt=7\r\n[00002]\r\ninq_cnt=3\r\n");
  write_file(in_result("00001_VWD.FIL"),
             "[00001]\r\n;" + std::string(100000, 'c') + "\r\nvwd_fg=1\r\n");
  _sdi_result_read(1);
  EXPECT_EQ(+zrsdi->rslt_cnt, 2);
  EXPECT_STREQ(zrsdi->sdi_date, "2024/01/12");
  EXPECT_EQ(std::string(zrsdi->rslt[0].exp_nm), std::string(68, 'e'));
  EXPECT_EQ(+zrsdi->rslt[0].inq_cnt, 7);
  EXPECT_EQ(+zrsdi->rslt[1].inq_cnt, 3);
  EXPECT_EQ(+zrsdi->rslt[0].vwd_fg, 1);
  EXPECT_TRUE(traced("_config_read line longer than 599 bytes, cut"));
  // Storing the viewed flags loads the old file as a document first.
  zrsdi->rslt[1].vwd_fg = 1;
  _sdi_vwd_write(1);
  EXPECT_TRUE(traced("_config_open line longer than 499 bytes, cut"));
  _sdi_result_read(1);
  EXPECT_EQ(+zrsdi->rslt[1].vwd_fg, 1);
}

TEST_F(SdiStoreTest, SinglePurposeFiles) {
  _sdi_dlv_no_make();
  EXPECT_EQ(read_file(dir.join("DLV\\DLV_NO.FIL")), "NO RESULT\r\n");
  write_file(dir.join("DLV\\DLV_NO.FIL"), "other");
  _sdi_dlv_no_make();
  EXPECT_EQ(read_file(dir.join("DLV\\DLV_NO.FIL")), "other");

  std::int32_t pd = -1;
  EXPECT_EQ(_sdi_last_pd_read(&pd), -1);
  _sdi_last_pd_write(20240112);
  EXPECT_EQ(read_file(dir.join("DLV\\LAST_PD.FIL")), "20240112");
  EXPECT_EQ(_sdi_last_pd_read(&pd), 0);
  EXPECT_EQ(pd, 20240112);

  const std::string reply = "[LIST]\r\nrslt_cnt=0\r\n\x1a";
  _sdi_result_write(12, reply.data(), static_cast<std::int32_t>(reply.size()));
  EXPECT_EQ(read_file(in_result("00012.FIL")), reply);
  _sdi_update_tm_write("20240112", 8);
  EXPECT_EQ(read_file(dir.join("DLV\\UPDATE_TM")), "20240112");
  EXPECT_TRUE(fs::is_directory(dir.join("DLV\\MASTER")));
}

TEST_F(SdiStoreTest, UnwritableResultIsAnIoFailureReport) {
  fs::remove_all(result_dir());
  EXPECT_EXIT(_sdi_result_write(1, "x", 1), ::testing::ExitedWithCode(0), "");
}

// A process killed while it writes CONFIG.INI or LIST_NO.FIL leaves the previous
// file in place. The file-size limit makes the kernel kill the process (SIGXFSZ)
// in the middle of writing the new contents, after the .OLD copy was made.
class SdiCrashTest : public SdiStoreTest {
 protected:
#if !defined(_WIN32)
  static void store_with_limit(void (*store)(), rlim_t limit) {
    zr00->dbg_fnm[0] = '\0';  // nothing but the store writes
    rlimit lim{limit, limit};
    setrlimit(RLIMIT_FSIZE, &lim);
    store();
  }
#endif
  void kill_mid_write(const std::string& target, const std::string& before, void (*store)()) {
#if defined(_WIN32)
    GTEST_SKIP() << "needs the POSIX file-size limit";
#else
    write_file(target, before);
    const rlim_t limit = before.size() + 4;
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(store_with_limit(store, limit), ::testing::KilledBySignal(SIGXFSZ), "");
    GTEST_FLAG_SET(death_test_style, "threadsafe");

    EXPECT_EQ(read_file(target), before);
    EXPECT_EQ(read_file(target + ".OLD"), before);
    // The new contents were being written when the process died.
    bool partial = false;
    for (const auto& e : fs::directory_iterator(fs::path(target).parent_path())) {
      std::string name = e.path().string();
      if (e.is_regular_file() && name != target && name != target + ".OLD")
        partial |= fs::file_size(e.path()) == limit;
    }
    EXPECT_TRUE(partial);
#endif
  }
};

TEST_F(SdiCrashTest, KilledWhileWritingConfigKeepsThePreviousFile) {
  zr::copy(zrsdi->check_time, "08:00:00");
  kill_mid_write(dir.join("DLV\\CONFIG.INI"), ";previous options\r\n[SYSTEM]\r\ndlv_type=0\r\n",
                 _sdi_config_write);
}

TEST_F(SdiCrashTest, KilledWhileWritingListNoKeepsThePreviousFile) {
  zrsdi->list_no_f = 99990;
  zrsdi->list_no_t = 99999;
  zrsdi->list_no_cnt = 10;
  kill_mid_write(list_no(), "[COMMON]\r\nlist_no_f=1\r\nlist_no_t=2\r\nlist_no_cnt=2\r\n",
                 _sdi_list_no_write);
}

}  // namespace
