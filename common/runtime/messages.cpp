// The numbered message table, the fatal-error stop, message boxes and the three
// progress windows.
#include <cstring>

#include "platform/platform.h"
#include "runtime/zrcommon.h"
#include "platform/sjis_byte.h"

namespace {

#pragma pack(push, 1)
struct MessageRow {
  std::int32_t seq;
  std::int32_t number;
  char text[256];
};
#pragma pack(pop)

// In table order; lookup takes the first row with the number. Numbers 900 and
// above are failures, 500 to 899 notices, the rest the console prompts and
// errors of the product family.
const MessageRow kMessages[] = {
    {0, 10, "ＣＤ－ＲＯＭ誤り、正しくセットして(Y) (f10:終了)==>"},
    {1, 11, "ＣＤ－ＲＯＭが読めません、確認して(Y) (f10:終了)==>"},
    {2, 12, "ＣＤ－ＲＯＭの種類が違います、入れ替えて(Y) (f10:終了)==>"},
    {3, 13, "ディスクが書込み禁止です、確認して(Y) (f10:終了)==>"},
    {4, 14, "ディスクの空き容量が不足しています、確認して(Y) (f10:終了)==>"},
    {5, 15, "プリンターの準備ができていません、確認して(Y) (f10:終了)==>"},
    {6, 17, "用紙がありません、補給して(Y) (f10:終了)==>"},
    {7, 900, "システムエラー"},
    {8, 20, "入力が誤りです。"},
    {9, 26, "日付の指定が誤りです。"},
    {10, 31, "数字以外の文字が入力されています。"},
    {11, 40, "該当するデータがありません。"},
    {12, 41, "該当するファイルがありません。"},
    {13, 45, "件数が上限を超えました。"},
    {14, 102, "指定が誤りです。"},
    {15, 103, "範囲の指定が誤りです。"},
    {16, 104, "桁数が誤りです。"},
    {17, 108, "検索キーが指定されていません。"},
    {18, 109, "検索キーの指定が誤りです。"},
    {19, 110, "論理演算子の指定が誤りです。"},
    {20, 112, "括弧の対応が誤りです。"},
    {21, 113, "ファイル名称として不適当な文字が指定されています。"},
    {22, 127, "ファイル名称が指定されていません。"},
    {23, 114, "ドライブ又はフォルダーがありません。"},
    {24, 120, "ファイルが既に存在します。"},
    {25, 125, "ファイルの書込みができません。"},
    {26, 132, "検索式が長すぎます。"},
    {27, 134, "検索条件が多すぎます。"},
    {28, 135, "区分の指定が誤りです。"},
    {29, 136, "類似群コードの指定が誤りです。"},
    {30, 522, "検索を中止しました。"},
    {31, 204, "プロセスの実行状況を確認できません。"},
    {32, 137, "出願番号の指定が誤りです。"},
    {33, 138, "登録番号の指定が誤りです。"},
    {34, 139, "公報番号の指定が誤りです。"},
    {35, 140, "発行日の指定が誤りです。"},
    {36, 141, "称呼の指定が誤りです。"},
    {37, 142, "商品・役務名の指定が誤りです。"},
    {38, 143, "権利者名の指定が誤りです。"},
    {39, 144, "代理人名の指定が誤りです。"},
    {40, 147, "図形分類の指定が誤りです。"},
    {41, 150, "検索結果が上限を超えました。"},
    {42, 151, "検索結果の件数が多すぎます。"},
    {43, 153, "検索結果がありません。"},
    {44, 155, "前回の検索結果がありません。"},
    {45, 161, "印刷する内容がありません。"},
    {46, 202, "サーバーに接続できません。"},
    {47, 210, "通信が切断されました。"},
    {48, 213, "サーバーからの応答がありません。"},
    {49, 218, "ユーザＩＤ又はパスワードが誤りです。"},
    {50, 224, "ご利用期間が終了しています。"},
    {51, 265, "ダウンロードに失敗しました。"},
    {52, 274, "プログラムの更新に失敗しました。"},
    {53, 302, "出力ファイルが作成できません。"},
    {54, 303, "出力先のフォルダーがありません。"},
    {55, 311, "ＣＳＶファイルの形式が誤りです。"},
    {56, 312, "ＣＳＶファイルの項目数が誤りです。"},
    {57, 313, "ＣＳＶファイルの項目が長すぎます。"},
    {58, 314, "取込むデータがありません。"},
    {59, 315, "取込み件数が上限を超えました。"},
    {60, 316, "出願番号が重複しています。"},
    {61, 317, "登録番号が重複しています。"},
    {62, 318, "ウォッチ対象が登録されていません。"},
    {63, 319, "ウォッチ対象の登録数が上限を超えました。"},
    {64, 320, "ウォッチ条件の指定が誤りです。"},
    {65, 321, "配信条件の指定が誤りです。"},
    {66, 322, "配信周期の指定が誤りです。"},
    {67, 323, "チェック時刻の指定が誤りです。"},
    {68, 324, "表示間隔の指定が誤りです。"},
    {69, 325, "保存期間の指定が誤りです。"},
    {70, 333, "表示形式の指定が誤りです。"},
    {71, 335, "印刷形式の指定が誤りです。"},
    {72, 336, "印刷範囲の指定が誤りです。"},
    {73, 341, "外字ファイルがありません。"},
    {74, 342, "外字ファイルの形式が誤りです。"},
    {75, 343, "外字の登録数が上限を超えました。"},
    {76, 345, "イメージファイルがありません。"},
    {77, 346, "イメージファイルの形式が誤りです。"},
    {78, 351, "環境設定ファイルがありません。"},
    {79, 352, "環境設定ファイルの形式が誤りです。"},
    {80, 403, "他の処理が実行中です。"},
    {81, 337, "出力件数の指定が誤りです。"},
    {82, 500, "お疲れさまでした。終了しますか？"},
    {83, 530, "検索を中止しますか？"},
    {84, 600, "処理は正常に終了しました。"},
    {85, 632, "＊＊＊ 処理が中断されました。＊＊＊"},
    {86, 806, "＊ ただ今検索中、しばらくお待ち下さい ＊"},
    {87, 807, "＊ ただ今印刷中、しばらくお待ち下さい ＊"},
    {88, 809, "＊ ただ今データ転送中、しばらくお待ち下さい ＊"},
    {89, 821, "＊ ただ今ファイルコピー中、しばらくお待ち下さい ＊"},
    {90, 907, "キーインデックス・ファァイルの障害"},
    {91, 908, "データファイルの障害"},
    {92, 909, "索引ファイルの障害"},
    {93, 920, "検索条件式ファイルの障害"},
    {94, 921, "検索結果ファイルの障害"},
    {95, 922, "作業ファイルの障害"},
    {96, 924, "設定ファイルの障害"},
    {97, 923, "外字ファイルの障害"},
    {98, 950, "メモリーエラー"},
    {99, 930, "メモリー不足（Ｍａｌｌｏｃ）です。"},
    {100, 932, "メモリー不足（Ｓｙｓｔｅｍ）です。"},
    {101, 951, "グローバルメモリーエラー"},
    {102, 941, "テーブルがオーバーフローしました。"},
    {103, 990, "プログラムのロジカルエラー"},
    {104, 940, "設定数をオーバーしました。"},
    {105, 131, "ファイル名称が長すぎます。"},
    {-1, 0, ""},
};

ZR_MESSAGE_BOX_FN g_box_handler = plat::message_box;
char g_app_title[64] = "";

// Slots of the three progress windows; they belong to the thread that made them.
plat::Progress* g_progress[3] = {};

// First position of a two-byte character in a Shift-JIS text, or null.
char* find_sjis_char(char* text, const char* ch) {
  for (char* p = text; *p; ++p) {
    if (zr::sjis_lead(static_cast<unsigned char>(*p)) && p[1]) {
      if (p[0] == ch[0] && p[1] == ch[1]) return p;
      ++p;
    }
  }
  return nullptr;
}

}  // namespace

ZR_MESSAGE_BOX_FN zr_message_box_handler(ZR_MESSAGE_BOX_FN fn) {
  ZR_MESSAGE_BOX_FN previous = g_box_handler;
  g_box_handler = fn ? fn : plat::message_box;
  return previous;
}

void zr_app_title_set(const char* title) { zr::copy(g_app_title, title); }

void zr_exit() { plat::exit_process(0); }

int zwcode_msg_get(int number, char* out) {
  if (number == 499 || number == 599) return -1;
  for (const MessageRow& row : kMessages) {
    if (row.seq == -1) break;
    if (row.number == number) {
      zr::copy(out, 256, row.text);
      return 0;
    }
  }
  return -1;
}

int _mes_box(const char* text, int style) {
  return g_box_handler(text, g_app_title, static_cast<unsigned>(style) | plat::kMbSystemModal);
}

void _err_mes(int number, const char* comment) {
  if (number == -1) return;
  if (number == 599) {
    _mes_prog(1, zrwork->mes_buf, 0);
    return;
  }
  if (number >= 500 && number <= 899) {
    _dbg_print("*** Error of _err_mes no:%d ***", number);
    return;
  }
  char text[256] = "";
  zwcode_msg_get(number, text);
  if (number < 500) {
    _mes_prog(1, text, 0);
    return;
  }
  char report[2048];
  ZR_FMT(report,
         "　＊＊＊  システムが異常終了しました  ＊＊＊\n\n"
         "エラー内容　： %03d %s\n"
         "コメント　　： %s\n"
         "バージョン　： %s\n"
         "プログラム名： %s\n"
         "ルーチン名　： %s\n"
         "\n現処理を打ち切ります",
         number, text, comment ? comment : "", zrenv->ver_txt, zrwork->prg_nm, zrwork->rtn_nm);
  _dbg_print("%s", report);
  _mes_box(report, 0);
  zr_exit();
}

int _mes_num(int number, int style) {
  char* text = zrwork->fail_fnm;
  text[0] = '\0';
  if (number == 599) {
    zr::copy(zrwork->fail_fnm, zrwork->mes_buf);
  } else {
    zwcode_msg_get(number, text);
  }
  if (char* y = std::strstr(text, "(Y")) {
    *y = '\0';
    zr::append(zrwork->fail_fnm, "下さい。");
    if (char* f = std::strstr(text, "(f")) *f = '\0';
  }
  if (std::strlen(text) > 64) {
    if (char* stop = find_sjis_char(text, "。")) {
      char rest[256];
      zr::copy(rest, stop + 2);
      stop[2] = '\0';
      zr::append(zrwork->fail_fnm, "\n");
      zr::append(zrwork->fail_fnm, rest);
    }
  }
  return g_box_handler(text, g_app_title, static_cast<unsigned>(style) | plat::kMbSystemModal);
}

int _mes_prog(int slot, const char* text, int cancel) {
  if (slot < 0 || slot > 2) _err_mes(990, "nPos パラメータエラーです。");
  if (!text || !text[0]) {
    plat::progress_destroy(g_progress[slot]);
    g_progress[slot] = nullptr;
    return 0;
  }
  // Every line fits the window's line buffer.
  for (const char* line = text; *line;) {
    const char* end = std::strchr(line, '\n');
    std::size_t len = end ? static_cast<std::size_t>(end - line) : std::strlen(line);
    if (len > 129) _err_mes(990, "１ラインのテキスト数が１３０文字を越えました。");
    if (!end) break;
    line = end + 1;
  }
  if (!g_progress[slot]) g_progress[slot] = plat::progress_create(slot);
  if (!g_progress[slot]) return 0;
  plat::pump_messages();
  plat::progress_show(g_progress[slot], text, cancel != 0);
  return plat::progress_cancelled(g_progress[slot]) ? 1 : 0;
}
