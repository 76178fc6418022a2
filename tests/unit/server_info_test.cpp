// Server information (message 112), update information (113) and the server's
// message (55) read from scripted answers.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "fake_service.h"
#include "session/server_info.h"
#include "test_support.h"

namespace {

using qrt_test::answer;
using qrt_test::failure;
using qrt_test::FakeAnswer;
using qrt_test::FakeService;
using qrt_test::finished;
using qrt_test::put_i16;
using qrt_test::put_i32;
using qrt_test::refusal;
using qrt_test::running;
using ::testing::HasSubstr;

constexpr int kMidServerInfo = 112;

// A record of the given size whose bytes are all distinct from the area's zeros.
std::string record(std::size_t size) {
  std::string r(size, '\0');
  for (std::size_t i = 0; i < size; ++i) r[i] = static_cast<char>('A' + i % 26);
  return r;
}

class ServerInfoTest : public qrt_test::AreasTest {
 protected:
  void SetUp() override {
    qrt_test::AreasTest::SetUp();
    zr00->sys_kd = 2;  // every exchange goes through msg_fn
  }
  void TearDown() override {
    if (zr01 && zr01->svr_inf.thr_blk) _free(zr01->svr_inf.thr_blk);
    qrt_test::AreasTest::TearDown();
  }
};

TEST_F(ServerInfoTest, TrademarkRecordGoesIntoTheAreasFieldByField) {
  FakeService fake;
  std::string r = record(2437);  // the server sends the longer record; its prefix is read
  r.replace(0, 800, std::string(800, 'k'));
  r.replace(800, 800, std::string(800, 'f'));
  put_i32(r, 1600, 20240105);
  put_i32(r, 1604, 20240112);
  r[1608] = 7;
  put_i16(r, 1609, -2);
  put_i32(r, 1611, 500);
  put_i32(r, 1623, 1623);
  r[1630] = 9;
  put_i16(r, 1631, 60);
  put_i32(r, 1664, 1664);
  put_i32(r, 1670, 1670);
  r[1674] = 4;
  for (int i = 0; i < 5; ++i) put_i32(r, 1915 + 4 * i, 100 + i);
  fake.on(kMidServerInfo, answer(r));

  EXPECT_EQ(tm0930_svr_inf_net(), 0);

  ASSERT_EQ(fake.sent.size(), 1u);
  EXPECT_EQ(fake.sent[0].kd00, 22);
  EXPECT_EQ(fake.sent[0].text, "");
  const auto& inf = zr01->svr_inf;
  EXPECT_EQ(std::string(inf.db_more[7], 800), std::string(800, 'k'));  // block 9
  EXPECT_EQ(std::string(inf.db_more[3], 800), std::string(800, 'f'));  // block 5
  EXPECT_EQ(inf.db_first[0], '\0');
  EXPECT_EQ(zr01->pd_f, 20240105);
  EXPECT_EQ(zr01->pd_t, 20240112);
  EXPECT_EQ(inf.v1608, 7);
  EXPECT_EQ(inf.v1609, -2);
  EXPECT_EQ(zr01->disp_max, 500);
  EXPECT_EQ(inf.v1623, 1623);
  EXPECT_EQ(inf.v1627[3], 9);
  EXPECT_EQ(zr00->recv_timeout, 60);
  EXPECT_EQ(inf.v1664, 1664);
  EXPECT_EQ(inf.v1670, 1670);
  EXPECT_EQ(inf.v1674, 4);
  EXPECT_EQ(inf.v1915[0], 100);
  EXPECT_EQ(inf.v1915[4], 104);
  // Texts without a terminator fill their field and stop at its end.
  EXPECT_EQ(std::string(inf.t1633), r.substr(1633, 31));
  EXPECT_EQ(std::string(inf.t1675), r.substr(1675, 40));
  EXPECT_EQ(std::string(inf.t1715), r.substr(1715, 200));
}

TEST_F(ServerInfoTest, GeneralRecordSendsKindZeroAndTakesItsOwnTimeoutOffset) {
  FakeService fake;
  std::string r = record(2466);
  r.replace(0, 800, std::string(800, 'a'));
  put_i16(r, 1641, 45);
  fake.on(kMidServerInfo, answer(r));

  EXPECT_EQ(zr0930_svr_inf_net(), 0);

  EXPECT_EQ(fake.sent.at(0).kd00, 0);
  EXPECT_EQ(zr00->recv_timeout, 45);
  EXPECT_EQ(std::string(zr01->svr_inf.db_first, 800), std::string(800, 'a'));
  EXPECT_EQ(zr01->svr_inf.db_more[7][0], '\0');
}

// An answer that is not the record (a refusal, a short frame, a failed
// exchange) must not put stale bytes of the message buffer into the areas.
TEST_F(ServerInfoTest, IncompleteAnswerLeavesTheKeptValues) {
  struct Case {
    const char* name;
    FakeAnswer answer;
  };
  const std::string kRefusal = "停止中です。";
  const Case cases[] = {
      {"short", answer(record(1700))},
      {"refused", refusal(kRefusal)},
      {"failed", failure()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeService fake;
    zr00->recv_timeout = 25;
    zr01->disp_max = 0;
    fake.on(kMidServerInfo, c.answer);
    EXPECT_EQ(tm0930_svr_inf_net(), 0);
    EXPECT_EQ(zr00->recv_timeout, 25);
    EXPECT_EQ(zr01->disp_max, 0);
  }
}

TEST_F(ServerInfoTest, ThrVariantsKeepTheBlockAndCheckTheEndValue) {
  FakeService fake;
  std::string r = record(2466);
  r.replace(1604, 506, std::string(506, 'b'));
  put_i32(r, 2462, 12345);
  std::string t = record(2437);
  t.replace(1604, 506, std::string(506, 'c'));
  put_i32(t, 2433, 12345);
  fake.on(kMidServerInfo, answer(r));
  fake.on(kMidServerInfo, answer(t));

  EXPECT_EQ(zr0930_svr_inf_thr(), 0);
  EXPECT_EQ(fake.sent.at(0).kd00, 0);
  EXPECT_STREQ(zrwork->rtn_nm, "server_inf_get");
  ASSERT_NE(zr01->svr_inf.thr_blk, nullptr);
  EXPECT_EQ(std::string(static_cast<char*>(zr01->svr_inf.thr_blk), 506), std::string(506, 'b'));

  EXPECT_EQ(tm0930_svr_inf_thr(), 0);
  EXPECT_EQ(fake.sent.at(1).kd00, 22);
  EXPECT_EQ(std::string(static_cast<char*>(zr01->svr_inf.thr_blk), 506), std::string(506, 'c'));
  EXPECT_EQ(std::string(zr01->svr_inf.db_more[7], 4), t.substr(0, 4));  // block 9
}

TEST_F(ServerInfoTest, ThrRefusalReturnsMinusOne) {
  FakeService fake;
  fake.on(kMidServerInfo, refusal("拒否"));
  EXPECT_EQ(zr0930_svr_inf_thr(), -1);
}

int print_box(const char* text, const char*, unsigned) {
  std::fprintf(stderr, "%s\n", text);
  return 1;
}

TEST_F(ServerInfoTest, ThrRecordWithoutItsEndValueEndsTheProgram) {
  struct Case {
    int (*fetch)();
    std::size_t size;
    const char* name;
  };
  const Case cases[] = {{zr0930_svr_inf_thr, 2466, "zr0930_svr_inf_thr"},
                        {tm0930_svr_inf_thr, 2437, "tm0930_svr_inf_thr"},
                        {tm0930_svr_inf_thr, 1000, "tm0930_svr_inf_thr"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    EXPECT_EXIT(
        {
          zr_message_box_handler(print_box);
          FakeService fake;
          fake.on(kMidServerInfo, answer(record(c.size)));
          c.fetch();
        },
        ::testing::ExitedWithCode(0), HasSubstr(c.name));
  }
}

TEST_F(ServerInfoTest, UpdateInformationIsCopiedAsOneBlock) {
  zrwork->kd_1 = 22;
  FakeService fake;
  fake.on(113, answer(record(9658)));
  fake.on(113, refusal("なし"));
  EXPECT_EQ(zr0930_update_info(), 0);
  EXPECT_EQ(fake.sent.at(0).kd00, 22);
  EXPECT_EQ(std::string(zr01->svr_inf.upd_inf, 9658), record(9658));

  EXPECT_EQ(zr0930_update_info(), -1);
}

TEST_F(ServerInfoTest, ServerMessageIsCutTo1999Bytes) {
  struct Case {
    std::int32_t length;
    std::size_t sent;
    int expected;
  };
  const Case cases[] = {{5, 5, 5},
                        {5000, 5000, 1999},
                        {1999, 1999, 1999},
                        {-3, 10, 0},
                        {100, 10, 10}};  // a length beyond the bytes that arrived
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    zrwork->kd_1 = 22;
    FakeService fake;
    std::string text = std::string(c.sent, 'm');
    fake.on(55, answer(qrt_test::le32(c.length) + text));
    char out[2000];
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(zr0930_emc_info(out), c.expected);
    EXPECT_EQ(std::string(out), text.substr(0, static_cast<std::size_t>(c.expected)));
    EXPECT_EQ(fake.sent.at(0).kd00, 22);
  }
}

}  // namespace
