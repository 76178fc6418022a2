// One check of the SDI checker: the delivery windows and due ranges of the four
// cycles, and whole checks against a scripted server.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "fake_service.h"
#include "platform/desktop.h"
#include "runtime/desktop.h"
#include "sdi/sdi.h"
#include "sdi_cycle.h"
#include "test_support.h"

namespace {

using qrt_test::answer;
using qrt_test::failure;
using qrt_test::FakeAnswer;
using qrt_test::FakeService;
using qrt_test::finished;
using qrt_test::le16;
using qrt_test::le32;
using qrt_test::refusal;
using qrt_test::running;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// ---- delivery windows ---------------------------------------------------------------

struct WindowCase {
  const char* name;
  int dlv_type;
  std::vector<std::int32_t> calendar;
  std::int32_t newest;
  std::int32_t last;
  bool due;
  std::int32_t pd_f, pd_t;
};

void PrintTo(const WindowCase& c, std::ostream* os) { *os << c.name; }

const std::vector<std::int32_t> kTwoWeeks = {20231225, 20231226, 20231227, 20231228, 20231229,
                                             20240101, 20240102, 20240103, 20240104, 20240105,
                                             20240108, 20240109, 20240110, 20240111, 20240112};

const WindowCase kWindowCases[] = {
    {"every issue, later run", 0, {}, 20240112, 20240105, true, 20240106, 20240112},
    {"every issue, across the year end", 0, {}, 20240105, 20231231, true, 20240101, 20240105},
    // 2024-01-10 is a Wednesday: its week is complete only with Friday's issue.
    {"weekly, newest on the Wednesday", 1, kTwoWeeks, 20240110, 20240105, false, 0, 0},
    {"weekly, newest on the Friday", 1, kTwoWeeks, 20240112, 20240105, true, 20240108, 20240112},
    {"weekly, two weeks across the year end", 1, kTwoWeeks, 20240112, 20231229, true, 20240101,
     20240112},
    {"weekly, a Saturday issue belongs to no week",
     1,
     {20231229, 20240108, 20240112, 20240113},
     20240113,
     20240105,
     true,
     20240108,
     20240112},
    {"half-monthly, first half due",
     2,
     {20240105, 20240112, 20240119},
     20240112,
     20231228,
     true,
     20240105,
     20240112},
    {"half-monthly, second half due",
     2,
     {20240105, 20240112, 20240119},
     20240119,
     20240112,
     true,
     20240119,
     20240119},
    {"monthly, two months due",
     3,
     {20231205, 20231215, 20231228, 20240110, 20240120, 20240131, 20240210},
     20240131,
     20231130,
     true,
     20231205,
     20240131},
    {"monthly, month not complete",
     3,
     {20231205, 20231228, 20240110, 20240131},
     20240120,
     20231228,
     false,
     0,
     0},
    {"unknown cycle", 4, kTwoWeeks, 20240112, 20240105, false, 0, 0},
};

class SdiWindowsTest : public qrt_test::AreasTest,
                       public ::testing::WithParamInterface<WindowCase> {};

TEST_P(SdiWindowsTest, DueRange) {
  const WindowCase& c = GetParam();
  zrsdi->upd_cnt = static_cast<std::int32_t>(c.calendar.size());
  for (std::size_t i = 0; i < c.calendar.size(); ++i) zrsdi->upd_pd[i] = c.calendar[i];
  sdi_pdlv_build(c.dlv_type, c.newest);
  std::int32_t f = 0, t = 0;
  EXPECT_EQ(sdi_range_get(c.dlv_type, c.newest, c.last, &f, &t), c.due ? 0 : 1);
  if (c.due) {
    EXPECT_EQ(f, c.pd_f);
    EXPECT_EQ(t, c.pd_t);
  }
}

INSTANTIATE_TEST_SUITE_P(Cycles, SdiWindowsTest, ::testing::ValuesIn(kWindowCases),
                         [](const auto& info) {
                           std::string n;
                           for (const char* p = info.param.name; *p; ++p)
                             n += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           return n;
                         });

class SdiWeeksTest : public qrt_test::AreasTest {};

TEST_F(SdiWeeksTest, WindowsAreMondayToFridayFromFourWeeksBefore) {
  // Newest issue Friday 2024-02-16; the calendar holds January to April.
  const std::int32_t dates[] = {20240115, 20240119, 20240122, 20240126, 20240129, 20240202,
                                20240205, 20240209, 20240212, 20240216, 20240219, 20240223};
  zrsdi->upd_cnt = 12;
  for (int i = 0; i < 12; ++i) zrsdi->upd_pd[i] = dates[i];
  sdi_pdlv_build(1, 20240216);
  const ZR_SDI_PDLV* w = zrsdi->pdlv_week;
  // The first week starts on Sunday 2024-01-14, four weeks before the newest's week.
  EXPECT_EQ(w[0].pd_f, 20240115);
  EXPECT_EQ(w[0].pd_t, 20240119);
  EXPECT_EQ(w[2].pd_f, 20240129);
  EXPECT_EQ(w[2].pd_t, 20240202);  // a week across the month end stays one window
  EXPECT_EQ(w[4].pd_f, 20240212);
  EXPECT_EQ(w[4].pd_t, 20240216);
  EXPECT_EQ(w[5].pd_f, 20240219);
  EXPECT_EQ(w[6].pd_f, 0);  // no issues listed in that week
  EXPECT_EQ(w[7].pd_f, 0);  // the weekly cycle has seven windows
}

TEST_F(SdiWeeksTest, WindowsOutsideTheCalendarStayEmpty) {
  // A calendar of February only: the weeks starting in January stay empty, and
  // building stops at the first week that ends in March.
  const std::int32_t dates[] = {20240202, 20240209, 20240216, 20240223, 20240229};
  zrsdi->upd_cnt = 5;
  for (int i = 0; i < 5; ++i) zrsdi->upd_pd[i] = dates[i];
  sdi_pdlv_build(1, 20240216);
  const ZR_SDI_PDLV* w = zrsdi->pdlv_week;
  EXPECT_EQ(w[0].pd_f, 0);  // Sunday 2024-01-14
  EXPECT_EQ(w[2].pd_f, 0);  // Sunday 2024-01-28: its Friday issue 02-02 is not taken
  EXPECT_EQ(w[3].pd_f, 20240209);
  EXPECT_EQ(w[5].pd_f, 20240223);
  EXPECT_EQ(w[6].pd_f, 0);  // Sunday 2024-02-25 ends in March
}

// ---- whole checks ---------------------------------------------------------------------

std::string calendar_text(const std::vector<std::int32_t>& dates) {
  std::string s;
  for (std::int32_t d : dates) s += std::to_string(d) + "          " + std::to_string(d) + "\r\n";
  return s;
}

const char kResult[] =
    "[LIST]\r\nrslt_cnt=2\r\nsdi_date=2024/01/12\r\nsdi_time=09:30:00\r\n"
    "inq_date_f=2024/01/06\r\ninq_date_t=2024/01/12\r\n"
    "[00001]\r\nrslt_no=101\r\ninq_cnt=3\r\nexp_nm=登録商標の検索\r\n"
    "[00002]\r\nrslt_no=102\r\ninq_cnt=0\r\nexp_nm=区分０９\r\n";

// The newest-date answer: the date, the calendar's length and the calendar.
FakeAnswer newest_answer(std::int32_t newest, const std::string& cal) {
  return answer(le32(newest) + le32(static_cast<std::int32_t>(cal.size())) + cal);
}

// A final polling answer claiming a result longer than any message can hold.
FakeAnswer huge_result() {
  FakeAnswer a = finished("");
  a.sts = 40000;
  a.sts_auto = false;
  return a;
}

class SdiCycleTest : public qrt_test::AreasTest {
 protected:
  void SetUp() override {
    qrt_test::AreasTest::SetUp();
    zrwork->kd_1 = zrwork->kd_2 = 22;
    zrwork->kd_3 = zrwork->kd_4 = 51;
    zrwork->kd_5 = 11;
    zr00->sys_kd = 2;
    zr00->ver_no = 120;
    zr::copy(zr01->user_id, "USER01");
    zr::copy(zr01->user_pass, "pass01");
    zr::copy(zrconn->host_nm[0], "host-a");
    zr::copy(zrconn->obj_nm, "QRTSVR");
    zrconn->host_cnt = 1;
    zrsdi->kind_cd[0] = 51;
    zrsdi->kind_cnt = 1;
    _sdi_dir_make();
    // A tray icon, so that the balloons are traced.
    _tray_add(this, 1, 0x83ED, nullptr, "tip");
    net = std::make_unique<FakeService>();
  }
  void TearDown() override {
    net.reset();
    _tray_del();
    qrt_test::AreasTest::TearDown();
  }

  // A server that accepts the logon and knows the newest issue and calendar.
  void serve_logon(std::int32_t newest, const std::string& cal) {
    std::string short_answer = le16(51) + std::string(30, ' ') + std::string(30, ' ');
    short_answer.replace(2, 9, "127.0.0.1");
    short_answer.replace(32, 6, "QRTSVR");
    short_answer += std::string(1, '\0') + '\0' + '\0' + '\0' + le16(0);  // T1, byte, vup, T2, m
    net->on(107, answer(short_answer));
    net->on(107, answer(le16(7)));
    std::string info(2437, '\0');
    qrt_test::put_i16(info, 1631, 60);
    net->on(112, answer(info));
    net->on(117, newest_answer(newest, cal));
    net->on(108, answer());
  }
  // A server run that polls twice and then delivers the result.
  void serve_run(const std::string& result) {
    net->on(1200, answer());
    net->on(204, running("検索中"));
    net->on(204, running("検索中"));
    net->on(204, finished(result));
  }
  // The three steps as the scheduler runs them.
  int check() {
    int ret = sdi_logon_newest();
    if (ret == 0) {
      sdi_main_proc();
      sdi_logoff();
    }
    return ret;
  }
  std::string file(const char* rel) { return qrt_test::read_file(dir.join(rel)); }
  bool exists(const char* rel) { return std::filesystem::exists(dir.join(rel)); }
  bool traced(const std::string& text) {
    for (const std::string& line : trace()) {
      if (line.find(text) != std::string::npos) return true;
    }
    return false;
  }

  std::unique_ptr<FakeService> net;
  const std::string cal = calendar_text({20231222, 20240105, 20240112, 20240119});
};

TEST_F(SdiCycleTest, FirstCheckStoresTheResultAndTheLastCoveredDate) {
  zrsdi->dlv_type = 0;
  serve_logon(20240112, cal);
  serve_run(kResult);

  ASSERT_EQ(check(), 0);

  EXPECT_THAT(net->mids(), ElementsAre(107, 107, 112, 117, 1200, 204, 204, 204, 108));
  EXPECT_EQ(net->sent[2].kd00, 22);
  EXPECT_EQ(net->sent[2].text, "");
  EXPECT_EQ(net->sent[3].kd00, 22);
  EXPECT_EQ(net->sent[3].text, "1100");
  // No LAST_PD.FIL yet: the week before the newest issue is searched.
  EXPECT_EQ(net->sent[4].kd00, 22);
  EXPECT_EQ(net->sent[4].text, "2024010620240112");
  EXPECT_EQ(net->sent[8].kd00, 22);
  EXPECT_THAT(net->sleeps, testing::Contains(500u));

  EXPECT_EQ(zrsdi->qrt100_svr_last_pd, 20240112);
  EXPECT_EQ(zr01->disp_max, 10000);
  EXPECT_EQ(zr00->recv_timeout, 60);
  EXPECT_EQ(zr01->pd_f, 20240106);
  EXPECT_EQ(zr01->pd_t, 20240112);
  EXPECT_EQ(file("DLV\\UPDATE_TM"), cal);
  EXPECT_EQ(file("DLV\\RESULT\\00001.FIL"), kResult);
  EXPECT_EQ(file("DLV\\LAST_PD.FIL"), "20240112");
  EXPECT_EQ(
      _config_read_int(dir.join("DLV\\RESULT\\LIST_NO.FIL").c_str(), "COMMON", "list_no_t", 0), 1);
  EXPECT_EQ(
      _config_read_int(dir.join("DLV\\RESULT\\LIST_NO.FIL").c_str(), "COMMON", "list_no_cnt", 0),
      1);
  EXPECT_EQ(zrsdi->new_state, 1);
  ASSERT_EQ(zrsdi->rslt_cnt, 2);
  EXPECT_EQ(zrsdi->rslt[0].rslt_no, 101);
  EXPECT_EQ(zrsdi->rslt[0].inq_cnt, 3);
  EXPECT_STREQ(zrsdi->rslt[0].exp_nm, "登録商標の検索");

  EXPECT_TRUE(traced("qrt100_svr_last_pd : 20240112, sdi_last_pdt : 20240105"));
  if (plat::tray_traced()) {  // the native build's tray exists as trace lines only
    EXPECT_TRUE(
        traced("title:【 Orvanta SDIチェッカー 】 text:*** "
               "最新公報発行日取得中(商標(公開・登録)公報) ***"));
    EXPECT_TRUE(traced("text:*** ただ今ＳＤＩ処理中 ***"));
  }
}

TEST_F(SdiCycleTest, LaterCheckContinuesAfterTheLastCoveredDateWithTheNextNumber) {
  zrsdi->dlv_type = 0;
  qrt_test::write_file(dir.join("DLV\\LAST_PD.FIL"), "20240105");
  zrsdi->list_no_f = zrsdi->list_no_t = zrsdi->list_no_cnt = 1;
  _sdi_list_no_write();
  _sdi_list_no_read();
  serve_logon(20240119, cal);
  serve_run(kResult);

  ASSERT_EQ(check(), 0);

  ASSERT_NE(net->find(1200), nullptr);
  EXPECT_EQ(net->find(1200)->text, "2024010620240119");
  EXPECT_EQ(file("DLV\\RESULT\\00002.FIL"), kResult);
  EXPECT_EQ(file("DLV\\LAST_PD.FIL"), "20240119");
  EXPECT_EQ(zrsdi->list_no_t, 2);
  EXPECT_EQ(zrsdi->list_no_cnt, 2);
}

TEST_F(SdiCycleTest, NothingNewLogsOnRefreshesTheCalendarAndLogsOff) {
  zrsdi->dlv_type = 0;
  qrt_test::write_file(dir.join("DLV\\LAST_PD.FIL"), "20240112");
  qrt_test::write_file(dir.join("DLV\\UPDATE_TM"), "old");
  serve_logon(20240112, cal);

  ASSERT_EQ(check(), 0);

  EXPECT_THAT(net->mids(), ElementsAre(107, 107, 112, 117, 108));
  EXPECT_EQ(file("DLV\\UPDATE_TM"), cal);
  EXPECT_FALSE(exists("DLV\\RESULT\\00001.FIL"));
  EXPECT_EQ(zrsdi->new_state, 0);
}

TEST_F(SdiCycleTest, WeekNotCompleteSendsNothing) {
  zrsdi->dlv_type = 1;
  qrt_test::write_file(dir.join("DLV\\LAST_PD.FIL"), "20240105");
  serve_logon(20240110, calendar_text(kTwoWeeks));

  ASSERT_EQ(check(), 0);

  EXPECT_EQ(net->find(1200), nullptr);
  EXPECT_EQ(file("DLV\\LAST_PD.FIL"), "20240105");
}

TEST_F(SdiCycleTest, FailedRunStoresNothing) {
  struct Case {
    const char* name;
    FakeAnswer run;
    FakeAnswer poll;
    size_t boxes;
  };
  const std::string kRefusal = "サーバで障害が発生しました。";
  const Case cases[] = {
      {"run refused", refusal(kRefusal), answer(), 0},
      {"run failed on the server", answer(), refusal(kRefusal), 1},
      // A result length beyond what the message can hold is not a result.
      {"result length beyond the answer", answer(), huge_result(), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeService fake;
    boxes.boxes.clear();
    zrsdi->dlv_type = 0;
    qrt_test::write_file(dir.join("DLV\\LAST_PD.FIL"), "20240105");
    std::string short_answer = le16(51) + std::string(60, ' ') + std::string(4, '\0') + le16(0);
    fake.on(107, answer(short_answer));
    fake.on(107, answer(le16(7)));
    fake.on(112, answer(std::string(1935, '\0')));
    fake.on(117, newest_answer(20240112, cal));
    fake.on(1200, c.run);
    fake.on(204, c.poll);
    fake.on(108, answer());

    ASSERT_EQ(check(), 0);

    EXPECT_EQ(fake.mids().back(), 108);
    EXPECT_EQ(file("DLV\\LAST_PD.FIL"), "20240105");
    EXPECT_FALSE(exists("DLV\\RESULT\\00001.FIL"));
    EXPECT_FALSE(exists("DLV\\RESULT\\LIST_NO.FIL"));
    EXPECT_EQ(zrsdi->new_state, 0);
    ASSERT_EQ(boxes.boxes.size(), c.boxes);
    if (c.boxes) {
      EXPECT_THAT(boxes.boxes[0].text, HasSubstr("サーバで障害が発生しました。"));
    }
  }
}

TEST_F(SdiCycleTest, UserWithoutTheTrademarkKindIsNotLoggedOn) {
  zrsdi->kind_cd[0] = 52;
  EXPECT_EQ(check(), 1);
  EXPECT_TRUE(net->sent.empty());
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(SdiCycleTest, UnusableNewestDateAnswerFailsTheCheckAndLogsOff) {
  struct Case {
    const char* name;
    FakeAnswer newest;
  };
  const Case cases[] = {
      {"refused", refusal("エラー")},
      {"calendar longer than the answer", answer(le32(20240112) + le32(500) + "2024")},
      {"too short", answer("1234")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeService fake;
    std::string short_answer = le16(51) + std::string(60, ' ') + std::string(4, '\0') + le16(0);
    fake.on(107, answer(short_answer));
    fake.on(107, answer(le16(7)));
    fake.on(112, answer(std::string(1935, '\0')));
    fake.on(117, c.newest);
    fake.on(108, answer());

    EXPECT_EQ(sdi_logon_newest(), 1);

    EXPECT_THAT(fake.mids(), ElementsAre(107, 107, 112, 117, 108));
    EXPECT_FALSE(exists("DLV\\UPDATE_TM"));
    EXPECT_EQ(zrsdi->qrt100_svr_last_pd, 0);
  }
}

}  // namespace
