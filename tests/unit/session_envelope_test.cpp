// The message record: appending request data and its growth, message names,
// password masking, the exchange through msg_fn and over a direct connection,
// the cached variant and the polling of a server process.
#include <gmock/gmock.h>

#include <cstring>
#include <string>
#include <vector>

#include "session/envelope.h"
#include "fake_service.h"
#include "test_support.h"

namespace {

using qrt_test::FakeService;

class SessionEnvelopeTest : public qrt_test::AreasTest {};

TEST_F(SessionEnvelopeTest, AppendingKeepsTheBuiltInRecordUpToItsCapacity) {
  std::string a(15348, 'a');
  EXPECT_EQ(zr0930_msg_set(a.data(), static_cast<int>(a.size())), 15348);
  EXPECT_EQ(zrwork->p_msg, &zrwork->msg_area);
  EXPECT_EQ(zrwork->p_msg_cap, kMsgDataCap);
  EXPECT_EQ(zrwork->p_msg->data[15348], '\0');
}

TEST_F(SessionEnvelopeTest, AppendingBeyondTheCapacityMovesTheRecordToAHeapBlock) {
  zrwork->p_msg->hdr.mid = 1031;
  zr0930_msg_set("head", 4);
  std::string b(15349, 'b');
  EXPECT_EQ(zwsock_phmsg_set(b.data(), static_cast<int>(b.size())), 15353);
  ASSERT_NE(zrwork->p_msg, &zrwork->msg_area);
  // A block of mlng + len + 1024 + 1,000,000 bytes; the field holds its data bytes.
  EXPECT_EQ(zrwork->p_msg_cap, 4 + 15349 + 1024 + 1000000 - kMsgHeaderSize);
  EXPECT_EQ(zrwork->p_msg->hdr.mid, 1031);
  EXPECT_EQ(std::string(zrwork->p_msg->data, 4), "head");
  EXPECT_EQ(zrwork->p_msg->data[15353], '\0');

  // An enlarged record stays: a new request reuses it.
  PHMSG* block = zrwork->p_msg;
  zrwork->mlng = 0;
  EXPECT_EQ(zr0930_msg_set("x", 1), 1);
  EXPECT_EQ(zrwork->p_msg, block);
  EXPECT_STREQ(zrwork->p_msg->data, "x");
}

TEST_F(SessionEnvelopeTest, GrowingRefusesSizesBeyondWhatTheProcessHolds) {
  EXPECT_FALSE(zr_msg_grow(kMsgBlockMax + 1, 0));
  EXPECT_FALSE(zr_msg_grow(100, 0));  // not larger than the record
  EXPECT_EQ(zrwork->p_msg, &zrwork->msg_area);
  EXPECT_EQ(zrwork->p_msg_cap, kMsgDataCap);
}

TEST_F(SessionEnvelopeTest, MessageNames) {
  EXPECT_STREQ(_midinf_nm(107), "ＬＯＧＯＮ");
  EXPECT_STREQ(_midinf_nm(204), "プロセス実行状況確認");
  EXPECT_STREQ(_midinf_nm(9999), "*** Unknown MID ***");
  EXPECT_EQ(_midinf_chk(107), 1);
  EXPECT_EQ(_midinf_chk(9999), 0);
}

TEST_F(SessionEnvelopeTest, PasswordsAreMaskedWithAsterisksOfTheSameLength) {
  zr::copy(zr01->user_pass, "pw12");
  const struct {
    int mid;
    const char* text;
    const char* masked;
  } cases[] = {
      {118, "pw12    0120", "****    0120"},
      {107, "01pw12    0120", "01****    0120"},
      {107, "00pw12    0120123HOST100000", "00****    0120123HOST100000"},
      {85, "00pw12    0120", "00****    0120"},
      {86, "pw12    0120host", "****    0120host"},
      {118, "secret7 0120", "******* 0120"},  // the field is masked as far as it is filled
      {112, "pw12    0120", "pw12    0120"},  // no password in other requests
      {118, "pw", "**"},                      // a short text is masked as far as it goes
  };
  for (const auto& c : cases) {
    std::string buf = c.text;
    zr_msg_mask_secret(c.mid, buf.data(), buf.size(), 0);
    EXPECT_EQ(buf, c.masked) << c.mid << " " << c.text;
  }
  // Behind the tunnel's 32-character text header.
  std::string body = std::string(32, 'H') + "00pw12    0120";
  zr_msg_mask_secret(107, body.data(), body.size(), 32);
  EXPECT_EQ(body, std::string(32, 'H') + "00****    0120");
}

TEST_F(SessionEnvelopeTest, RequestHeaderIsFilledFromTheArgumentsAndTheLength) {
  FakeService svc;
  svc.unscripted = qrt_test::FakeAnswer{};  // sts 0 without data
  zrwork->p_msg->data[0] = 'z';
  zrwork->mlng = 0;
  EXPECT_EQ(zr0930_msg_request(22, 108), 0);
  ASSERT_EQ(svc.sent.size(), 1u);
  EXPECT_EQ(svc.sent[0].mid, 108);
  EXPECT_EQ(svc.sent[0].kd00, 22);
  EXPECT_EQ(svc.sent[0].lng, 12);
  EXPECT_EQ(svc.sent[0].text, "");

  zrwork->mlng = 0;
  zr0930_msg_set("0102", 4);
  svc.answer_text(-1, "サーバエラー");
  EXPECT_EQ(zr0930_msg_request(22, 117), 0);  // a refusal is an answer
  EXPECT_EQ(svc.sent[1].lng, 16);
  EXPECT_EQ(svc.sent[1].text, "0102");
  EXPECT_EQ(zrwork->p_msg->hdr.sts, -1);

  svc.fail(-3);
  EXPECT_EQ(zr0930_msg_request(22, 117), -1);
}

TEST_F(SessionEnvelopeTest, NoMessageFunctionIsAFailedExchange) {
  zr00->sys_kd = 2;
  zr00->msg_fn = nullptr;
  EXPECT_EQ(zr0930_msg_request(0, 118), -1);
}

// ---- direct framed connection ------------------------------------------------------

struct FrameLog {
  std::vector<std::string> written;  // whole frames
  std::vector<std::string> to_read;  // frames to hand out
  std::size_t next = 0;
};
FrameLog* g_frames = nullptr;

int fake_write(int, const char* buf, int len) {
  g_frames->written.emplace_back(buf, static_cast<std::size_t>(len));
  return 1;
}
int fake_read(int, char* buf, int) {
  if (g_frames->next >= g_frames->to_read.size()) return 0;
  const std::string& f = g_frames->to_read[g_frames->next++];
  std::memcpy(buf, f.data(), f.size());
  return static_cast<int>(f.size());
}

std::string frame(int mid, int kd00, std::int32_t sts, const std::string& data) {
  PHMSG_HDR h{static_cast<std::int16_t>(mid), static_cast<std::int16_t>(kd00),
              static_cast<std::int32_t>(data.size() + 12), sts};
  return std::string(reinterpret_cast<const char*>(&h), sizeof h) + data;
}

PHMSG_HDR header_of(const std::string& f) {
  PHMSG_HDR h;
  std::memcpy(&h, f.data(), sizeof h);
  return h;
}

class SessionDirectTest : public qrt_test::AreasTest {
 protected:
  void SetUp() override {
    AreasTest::SetUp();
    g_frames = &log;
    zr00->sys_kd = 0;
    zr00->read_fn = fake_read;
    zr00->write_fn = fake_write;
    zrwork->drc_sock = 7;
  }
  void TearDown() override {
    g_frames = nullptr;
    AreasTest::TearDown();
  }
  void request_of(std::size_t bytes) {
    zrwork->mlng = 0;
    std::string data(bytes, 'r');
    for (std::size_t i = 0; i < bytes; ++i) data[i] = static_cast<char>('a' + i % 26);
    zr0930_msg_set(data.data(), static_cast<int>(bytes));
  }
  FrameLog log;
};

TEST_F(SessionDirectTest, LongRequestsAreSplitIntoFullFramesAndARemainder) {
  const struct {
    std::size_t bytes;
    std::vector<std::int32_t> lngs;
  } cases[] = {
      {100, {112}},
      {16372, {16384}},
      {32744, {16384, 16384}},
      {32745, {16384, 16384, 13}},
  };
  for (const auto& c : cases) {
    log = FrameLog{};
    log.to_read = {frame(1031, 0, 0, "ok")};
    request_of(c.bytes);
    std::string sent_data(zrwork->p_msg->data, c.bytes);
    ASSERT_EQ(zr0930_msg_request(0, 1031), 0) << c.bytes;
    ASSERT_EQ(log.written.size(), c.lngs.size()) << c.bytes;
    std::string joined;
    for (std::size_t i = 0; i < c.lngs.size(); ++i) {
      PHMSG_HDR h = header_of(log.written[i]);
      EXPECT_EQ(h.lng, c.lngs[i]) << c.bytes << " frame " << i;
      EXPECT_EQ(static_cast<std::int32_t>(log.written[i].size()), c.lngs[i]);
      EXPECT_EQ(h.mid, 1031);
      EXPECT_EQ(h.sts, c.lngs.size() > 1 ? static_cast<std::int32_t>(c.bytes) : 0);
      joined += log.written[i].substr(12);
    }
    EXPECT_EQ(joined, sent_data) << c.bytes;
  }
}

TEST_F(SessionDirectTest, LongAnswersAreJoinedFromTheirFrames) {
  std::string answer(40000, '\0');
  for (std::size_t i = 0; i < answer.size(); ++i) answer[i] = static_cast<char>('A' + i % 23);
  const auto total = static_cast<std::int32_t>(answer.size());
  log.to_read = {frame(1032, 0, total, answer.substr(0, 16372)),
                 frame(1032, 0, total, answer.substr(16372, 16372)),
                 frame(1032, 0, total, answer.substr(32744))};
  request_of(10);
  ASSERT_EQ(zr0930_msg_request(0, 1032), 0);
  EXPECT_EQ(zrwork->mlng, total);
  EXPECT_EQ(std::string(zrwork->p_msg->data, answer.size()), answer);
  EXPECT_EQ(zrwork->p_msg->data[answer.size()], '\0');
  EXPECT_GE(zrwork->p_msg_cap, total + 1024);
}

TEST_F(SessionDirectTest, FramesThatDoNotAddUpAreAReceiveError) {
  const std::int32_t total = 20000;
  const struct {
    const char* what;
    std::vector<std::string> frames;
  } cases[] = {
      {"missing frame", {frame(1032, 0, total, std::string(16372, 'x'))}},
      {"frame beyond the total",
       {frame(1032, 0, total, std::string(16372, 'x')),
        frame(1032, 0, total, std::string(5000, 'y'))}},
      {"empty frame", {frame(1032, 0, total, std::string(16372, 'x')), frame(1032, 0, total, "")}},
      {"total beyond what is held", {frame(1032, 0, 0x7FFFFFF0, std::string(100, 'x'))}},
  };
  for (const auto& c : cases) {
    log = FrameLog{};
    log.to_read = c.frames;
    request_of(10);
    EXPECT_EQ(zr0930_msg_request(0, 1032), -1) << c.what;
  }
}

TEST_F(SessionDirectTest, ShortAnswerSetsTheDataLength) {
  log.to_read = {frame(112, 0, 0, "abc")};
  request_of(5);
  ASSERT_EQ(zr0930_msg_request(0, 112), 0);
  EXPECT_EQ(zrwork->mlng, 3);
  EXPECT_EQ(std::string(zrwork->p_msg->data, 3), "abc");
}

// ---- cached variant ----------------------------------------------------------------

TEST_F(SessionEnvelopeTest, CachedRequestRefusesLongRequestsAndRunningProcesses) {
  {
    FakeService svc;
    zrwork->mlng = 0;
    zr0930_msg_set("0102", 4);
    svc.answer_ok("data");
    EXPECT_EQ(zr0930_msg_request2(22, 117), 0);
    ASSERT_EQ(svc.sent.size(), 1u);
    EXPECT_EQ(svc.sent[0].text, "0102");
  }
  EXPECT_EXIT(
      {
        FakeService svc;
        std::string long_text(501, 'x');
        zrwork->mlng = 0;
        zr0930_msg_set(long_text.data(), 501);
        zr0930_msg_request2(22, 117);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(
      {
        FakeService svc;
        svc.answer(qrt_test::running(""));
        zrwork->mlng = 0;
        zr0930_msg_request2(22, 117);
        std::fprintf(stderr, "returned");
      },
      ::testing::ExitedWithCode(0), ::testing::Not(::testing::HasSubstr("returned")));
}

// ---- polling -----------------------------------------------------------------------

class SessionPollTest : public qrt_test::AreasTest {
 protected:
  void SetUp() override {
    AreasTest::SetUp();
    zrwork->kd_1 = 22;
  }
};

TEST_F(SessionPollTest, PollsUntilTheProcessReportsItsEnd) {
  FakeService svc;
  for (int i = 0; i < 4; ++i) svc.answer(qrt_test::running("running"));
  svc.answer(qrt_test::with_kind(203, qrt_test::answer(qrt_test::cstr("done"))));
  EXPECT_EQ(zr0930_krkr_proc(1, 2000), 0);
  EXPECT_EQ(svc.sleeps, (std::vector<std::uint32_t>{500, 500, 500, 2000}));
  ASSERT_EQ(svc.sent.size(), 5u);
  for (const auto& r : svc.sent) {
    EXPECT_EQ(r.mid, 204);
    EXPECT_EQ(r.kd00, 22);
    EXPECT_EQ(r.text, "");
  }
  EXPECT_EQ(zrwork->p_msg->hdr.kd00, 22);
  EXPECT_EQ(zrwork->snd_msg->hdr.kd00, 22);
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(SessionPollTest, AServerFailureEndsThePollingAndIsShown) {
  FakeService svc;
  svc.answer(qrt_test::running("running"));
  svc.answer_text(-1, "検索処理でエラーが発生しました。");
  EXPECT_EQ(zr0930_krkr_proc(1, 2000), -1);
  EXPECT_EQ(svc.sent.size(), 2u);
  EXPECT_EQ(svc.sleeps, (std::vector<std::uint32_t>{500}));
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "検索処理でエラーが発生しました。");
}

TEST_F(SessionPollTest, AFailedExchangeEndsThePolling) {
  FakeService svc;
  svc.answer(qrt_test::running("running"));
  svc.fail(-1);
  EXPECT_EQ(zr0930_krkr_proc(0, 100), -1);
  EXPECT_EQ(svc.sent.size(), 2u);
}

}  // namespace
