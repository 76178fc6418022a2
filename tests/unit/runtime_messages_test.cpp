#include <string>
#include <thread>

#include <gmock/gmock.h>

#include "test_support.h"

namespace {

using qrt_test::AreasTest;

TEST(MessageTable, LooksNumbersUpAndRefusesTheReservedOnes) {
  char text[256];
  const struct {
    int number;
    const char* text;
  } rows[] = {
      {102, "指定が誤りです。"},
      {113, "ファイル名称として不適当な文字が指定されています。"},
      {114, "ドライブ又はフォルダーがありません。"},
      {930, "メモリー不足（Ｍａｌｌｏｃ）です。"},
      {932, "メモリー不足（Ｓｙｓｔｅｍ）です。"},
      {940, "設定数をオーバーしました。"},
      {950, "メモリーエラー"},
      {990, "プログラムのロジカルエラー"},
      {153, "検索結果がありません。"},
      {821, "＊ ただ今ファイルコピー中、しばらくお待ち下さい ＊"},
  };
  for (const auto& row : rows) {
    ASSERT_EQ(zwcode_msg_get(row.number, text), 0) << row.number;
    EXPECT_STREQ(text, row.text) << row.number;
  }
  EXPECT_EQ(zwcode_msg_get(599, text), -1);
  EXPECT_EQ(zwcode_msg_get(499, text), -1);
  EXPECT_EQ(zwcode_msg_get(1, text), -1);
  EXPECT_EQ(zwcode_msg_get(-1, text), -1);
}

class Messages : public AreasTest {};

TEST_F(Messages, MessageBoxesAreSystemModalWithTheProgramTitle) {
  zr_app_title_set("QRT000");
  boxes.answer = 6;
  EXPECT_EQ(_mes_box("続けますか？", 4), 6);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].title, "QRT000");
  EXPECT_EQ(boxes.boxes[0].style, 4u | 0x1000u);
}

TEST_F(Messages, TableMessagesBecomeSentences) {
  _mes_num(10, 0);  // a console prompt
  _mes_num(500, 4);
  zr::copy(zrwork->mes_buf, "サーバーからの通知です。");
  _mes_num(599, 0);
  ASSERT_EQ(boxes.boxes.size(), 3u);
  EXPECT_EQ(boxes.boxes[0].text, "ＣＤ－ＲＯＭ誤り、正しくセットして下さい。");
  EXPECT_EQ(boxes.boxes[1].text, "お疲れさまでした。終了しますか？");
  EXPECT_EQ(boxes.boxes[1].style, 4u | 0x1000u);
  EXPECT_EQ(boxes.boxes[2].text, "サーバーからの通知です。");
}

TEST_F(Messages, LongTableMessageBreaksAfterTheFirstFullStop) {
  zr::copy(zrwork->mes_buf,
           "１２３４５６７８９０１２３４５６７８９０。１２３４５６７８９０１２３４５６");
  _mes_num(599, 0);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text,
            "１２３４５６７８９０１２３４５６７８９０。\n１２３４５６７８９０１２３４５６");
}

TEST_F(Messages, NoticesOnlyTraceAndMinusOneDoesNothing) {
  _err_mes(-1, "x");
  _err_mes(650, "x");
  EXPECT_TRUE(boxes.boxes.empty());
  auto t = trace();
  ASSERT_EQ(t.size(), 1u);
  EXPECT_EQ(t[0], "*** Error of _err_mes no:650 ***");
}

TEST_F(Messages, ProgressWindowsAnswerWhetherCancelWasPressed) {
  EXPECT_EQ(_mes_prog(0, "処理中です", 1), 0);
  EXPECT_EQ(_mes_prog(0, "処理中です", 1), 0);
  std::string line129(129, 'a');
  EXPECT_EQ(_mes_prog(2, ("first\n" + line129).c_str(), 0), 0);
  EXPECT_EQ(_mes_prog(0, "", 0), 0);
  EXPECT_EQ(_mes_prog(2, "", 0), 0);
}

TEST_F(Messages, ProgressCallsFromAThreadWithoutWindowsReturn) {
  // The checker's worker threads own no window and run no message loop; a
  // progress window made there must still come and go without blocking.
  int cancelled = -1;
  std::thread worker([&] {
    cancelled = _mes_prog(1, "通信中です", 1);
    _mes_prog(1, "", 0);
  });
  worker.join();
  EXPECT_EQ(cancelled, 0);
}

using MessagesDeath = AreasTest;

TEST_F(MessagesDeath, FatalMessageShowsTheReportAndEndsTheProcess) {
  zr::copy(zrwork->rtn_nm, "_gaiji_ptr_set");
  EXPECT_EXIT(
      {
        zr_message_box_handler(qrt_test::box_to_stderr);
        _err_mes(990, "x");
      },
      ::testing::ExitedWithCode(0),
      ::testing::HasSubstr("BOX[　＊＊＊  システムが異常終了しました  ＊＊＊\n\n"
                           "エラー内容　： 990 プログラムのロジカルエラー\n"
                           "コメント　　： x\n"
                           "バージョン　： \n"
                           "プログラム名： \n"
                           "ルーチン名　： _gaiji_ptr_set\n"
                           "\n現処理を打ち切ります]"));
  // The report is traced too.
  auto t = trace();
  ASSERT_FALSE(t.empty());
  EXPECT_NE(t[0].find("エラー内容　： 990 プログラムのロジカルエラー"), std::string::npos);
}

TEST_F(MessagesDeath, UnknownFailureNumberShowsAnEmptyText) {
  EXPECT_EXIT(
      {
        zr_message_box_handler(qrt_test::box_to_stderr);
        _err_mes(999, "c");
      },
      ::testing::ExitedWithCode(0), ::testing::HasSubstr("エラー内容　： 999 \n"));
}

TEST_F(MessagesDeath, ProgressSlotAboveTwoIsALogicError) {
  EXPECT_EXIT(
      {
        zr_message_box_handler(qrt_test::box_to_stderr);
        _mes_prog(3, "x", 0);
      },
      ::testing::ExitedWithCode(0),
      ::testing::HasSubstr("コメント　　： nPos パラメータエラーです。"));
}

TEST_F(MessagesDeath, ProgressLineOf130BytesIsALogicError) {
  std::string line130(130, 'a');
  EXPECT_EXIT(
      {
        zr_message_box_handler(qrt_test::box_to_stderr);
        _mes_prog(1, line130.c_str(), 0);
      },
      ::testing::ExitedWithCode(0),
      ::testing::HasSubstr("１ラインのテキスト数が１３０文字を越えました。"));
}

}  // namespace
