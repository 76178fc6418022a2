// The inquiry-key table: every search key of the service with its abbreviation,
// the kind of value it takes, and the data kinds it applies to.
#include <array>
#include <cstdint>
#include <initializer_list>

#include "naming/code_tables.h"
#include "naming/table_data.h"

namespace {

// The data kinds a key applies to, one bit per kind number. Kinds 0-50 are the
// kd2 numbers of the data-kind table; the three kinds after them belong to no row
// of that table and stand for data held outside the gazettes:
//   51 the examination-progress data (the keys with the mp flag),
//   52 the opposition decisions, 53 the trial decisions.
// The service fixes the kinds of the application number (AN), the opposition
// number (ON), the trial number (TN) and the ID1 command; every other key takes
// the set below that fits the data it searches.
using KindSet = std::uint64_t;

constexpr KindSet kinds(std::initializer_list<int> list) {
  KindSet set = 0;
  for (int k : list) set |= KindSet{1} << k;
  return set;
}

constexpr KindSet kAllKinds = (KindSet{1} << kInqKeyKinds) - 1;

// Application number and the application's own bibliographic data: every gazette
// and correction that carries the application, and the three outside data kinds.
constexpr KindSet kAvAn =
    kinds({0, 4, 8, 12, 16, 17, 18, 20, 21, 22, 24, 27, 32, 37, 40, 51, 52, 53});
// Opposition number and the opposition data.
constexpr KindSet kAvOn = kinds({43, 44, 46, 47, 52, 53});
// Trial number and the trial data.
constexpr KindSet kAvTn = kinds({27, 30, 31, 32, 35, 36, 37, 40, 53});
// Commands (ID1 among them), user logs and page keys: every kind but the errata
// lists of most kinds and the examination-progress data.
constexpr KindSet kAvCmd = kAllKinds & ~kinds({3, 7, 11, 15, 19, 23, 26, 39, 42, 45, 48, 51});
// International applications: the published translations, the republications and
// their corrections.
constexpr KindSet kAvPct = kinds({8, 9, 10, 12, 13, 14, 16, 17, 18, 20, 21, 22});
// Publication number and date: the unexamined publications and their corrections.
constexpr KindSet kAvPub = kinds({0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 16, 17, 18, 20, 21, 22});
// Examined-publication number and date: the examined gazettes and trial notices.
constexpr KindSet kAvExam = kinds({27, 28, 29, 31, 32, 33, 34, 36});
// Grant data: registered utility models, granted patents and utility models, the
// opposition decisions, the corrected specifications and the decision data.
constexpr KindSet kAvGrant = kinds({24, 25, 37, 38, 40, 41, 43, 44, 46, 47, 49, 50, 52, 53});
// Data printed in every gazette itself (document part 0 or the trial notices).
constexpr KindSet kAvGaz = kinds({0, 4, 8, 12, 16, 20, 24, 27, 31, 32, 36, 37, 40, 43, 46});
// Full-text keys: the gazettes that carry the full text.
constexpr KindSet kAvText = kinds({0, 4, 8, 12, 16, 20, 24, 27, 32, 37, 40});
// Examination-progress keys.
constexpr KindSet kAvMp = kinds({51});

struct InqKeySource {
  std::int16_t code;
  char name[21];
  char abb[14];
  char kanji;
  std::uint8_t mp;
  KindSet kinds;
};

// Columns: code, name, abbreviation, kanji flag, mp flag, data kinds.
constexpr InqKeySource kSource[kInqKeyRows] = {
    {1, "出願番号", "AN", '0', 0, kAvAn},
    {2, "国際出願番号", "ANI", '0', 0, kAvPct},
    {3, "審判番号", "TN", '0', 0, kAvTn},
    {4, "異議番号", "ON", '0', 0, kAvOn},
    {5, "公開番号", "PN", '0', 0, kAvPub},
    {8, "国際公開番号", "PNI", '0', 0, kAvPct},
    {9, "公告番号", "PNE", '0', 0, kAvExam},
    {10, "請求公告番号", "EDN", '0', 0, kAvExam},
    {11, "特許番号", "RN", '0', 0, kAvGrant},
    {510, "審査情報発行日", "ISD", '0', 1, kAvMp},
    {13, "出願日", "AD", '0', 0, kAvAn},
    {14, "原出願日", "AD2", '0', 0, kAvAn},
    {15, "公開日", "PD", '0', 0, kAvPub},
    {18, "特許公報発行日", "PDP", '0', 0, kAvGrant},
    {19, "登録公報発行日", "PDU", '0', 0, kAvGrant},
    {20, "国際出願日", "PAD", '0', 0, kAvPct},
    {21, "国際公開日", "PDI", '0', 0, kAvPct},
    {22, "公告日", "PDE", '0', 0, kAvExam},
    {23, "請求公告日", "EDD", '0', 0, kAvExam},
    {24, "登録日", "RD", '0', 0, kAvGrant},
    {25, "異議決定日", "DD", '0', 0, kAvOn},
    {27, "優先権主張国・番号", "PR", '0', 0, kAvAn},
    {28, "優先権主張日", "PRD", '0', 0, kAvAn},
    {29, "指定国", "DS", '0', 0, kAvPct},
    {30, "ＩＰＣ・展開記号", "IC", '0', 0, kAvAn},
    {31, "ＩＰＣ第８版", "IP", '0', 0, kAvAn},
    {32, "ＦＩ", "FI", '0', 0, kAvAn},
    {33, "ファセット", "ICF", '0', 0, kAvAn},
    {34, "異議決定分類", "OC", '0', 0, kAvOn},
    {35, "発明者又は考案者", "IN", '1', 0, kAvAn},
    {36, "出願人", "PA", '1', 0, kAvAn},
    {37, "出願人の識別番号", "PAC", '0', 0, kAvAn},
    {38, "特許権者", "AS", '1', 0, kAvGrant},
    {39, "特許権者識別番号", "ASC", '0', 0, kAvGrant},
    {40, "請求人", "TA", '1', 0, kAvTn},
    {41, "代理人", "AT", '1', 0, kAvAn},
    {42, "代理人の識別番号", "ATC", '0', 0, kAvAn},
    {43, "異議申立人", "OP", '1', 0, kAvOn},
    {44, "訂正請求人", "CTA", '1', 0, kAvOn},
    {45, "発明・考案の名称語句", "TI", '1', 0, kAvAn},
    {46, "要約の語句", "AB", '1', 0, kAvGaz},
    {47, "管理番号", "MN", '0', 0, kAvAn},
    {48, "異議決定公報発行日", "OPD", '0', 0, kAvOn},
    {51, "Ｆターム", "FTM", '0', 0, kAvAn},
    {53, "調査した分野", "SIC", '0', 0, kAvGaz},
    {54, "参考特許文献", "CNO", '0', 0, kAvGaz},
    {200, "ＩＤ１コマンド", "ID1", '1', 0, kAvCmd},
    {201, "ＩＤ２コマンド", "ID2", '1', 0, kAvCmd},
    {202, "コメント", "CMT", '1', 0, kAvCmd},
    {203, "ＫＷ１コマンド", "KW1", '1', 0, kAvCmd},
    {204, "ＫＷ２コマンド", "KW2", '1', 0, kAvCmd},
    {205, "ＫＷ３コマンド", "KW3", '1', 0, kAvCmd},
    {206, "ＫＷ４コマンド", "KW4", '1', 0, kAvCmd},
    {207, "ＫＷ５コマンド", "KW5", '1', 0, kAvCmd},
    {213, "ＫＷ１～５コマンド", "KW0", '1', 0, kAvCmd},
    {215, "階層化ＫＷコマンド", "HKW", '1', 0, kAvCmd},
    {208, "ＲＭ１コマンド", "RM1", '1', 0, kAvCmd},
    {209, "ＲＭ２コマンド", "RM2", '1', 0, kAvCmd},
    {210, "ＲＭ３コマンド", "RM3", '1', 0, kAvCmd},
    {211, "ＲＭ４コマンド", "RM4", '1', 0, kAvCmd},
    {212, "ＲＭ５コマンド", "RM5", '1', 0, kAvCmd},
    {214, "ＲＭ１～５コマンド", "RM0", '1', 0, kAvCmd},
    {220, "ユーザログ分類１", "UL1", '0', 0, kAvCmd},
    {221, "ユーザログ分類２", "UL2", '0', 0, kAvCmd},
    {222, "ユーザログ分類３", "UL3", '0', 0, kAvCmd},
    {223, "ユーザログ分類４", "UL4", '0', 0, kAvCmd},
    {224, "ユーザログ分類５", "UL5", '0', 0, kAvCmd},
    {225, "ユーザログ分類６", "UL6", '0', 0, kAvCmd},
    {226, "ユーザログキーワード", "ULK", '1', 0, kAvCmd},
    {227, "ユーザログコメント", "ULC", '1', 0, kAvCmd},
    {913, "メモコマンド", "MEMO", '1', 0, kAvCmd},
    {400, "全文の語句", "HTX", '1', 0, kAvText},
    {401, "全文の語句(かな)", "HT2", '1', 0, kAvText},
    {402, "全文の語句(かな２)", "HTX3", '1', 0, kAvText},
    {403, "ﾀｲﾄﾙの語句", "HTI", '1', 0, kAvText},
    {404, "ﾀｲﾄﾙの語句(かな)", "HI2", '1', 0, kAvText},
    {405, "ﾀｲﾄﾙの語句(かな２)", "HTI3", '1', 0, kAvText},
    {406, "要約の語句", "HAB", '1', 0, kAvText},
    {407, "要約の語句(かな)", "HA2", '1', 0, kAvText},
    {408, "要約の語句(かな２)", "HAB3", '1', 0, kAvText},
    {409, "ｸﾚｰﾑの語句", "HCL", '1', 0, kAvText},
    {410, "ｸﾚｰﾑの語句(かな)", "HC2", '1', 0, kAvText},
    {411, "ｸﾚｰﾑの語句(かな２)", "HCL3", '1', 0, kAvText},
    {412, "明細の語句", "HDE", '1', 0, kAvText},
    {413, "技術分野", "HIS", '1', 0, kAvText},
    {414, "技術分野(かな)", "HS2", '1', 0, kAvText},
    {415, "技術分野(かな２)", "HIS3", '1', 0, kAvText},
    {416, "実施例", "HEX", '1', 0, kAvText},
    {417, "実施例(かな)", "HE2", '1', 0, kAvText},
    {418, "実施例(かな２)", "HEX3", '1', 0, kAvText},
    {419, "発明の効果", "HEF", '1', 0, kAvText},
    {420, "発明の効果(かな)", "HF2", '1', 0, kAvText},
    {421, "発明の効果(かな２)", "HEF3", '1', 0, kAvText},
    {422, "参考非特許文献", "HCN", '1', 0, kAvText},
    {423, "参考非特許文献(かな)", "HN2", '1', 0, kAvText},
    {424, "参考非特許文献(かな)", "HCN3", '1', 0, kAvText},
    {430, "ﾀｲﾄﾙ～ｸﾚｰﾑの語句", "HTC", '1', 0, kAvText},
    {500, "出訴事件番号", "APN", '0', 1, kAvMp},
    {501, "出願種別", "C20", '0', 1, kAvMp},
    {543, "出願種別(差分)", "C20D", '0', 1, kAvMp},
    {502, "査定種別コード", "C35", '0', 1, kAvMp},
    {503, "審査最終処分コード", "C36", '0', 1, kAvMp},
    {504, "審査種別コード", "C37", '0', 1, kAvMp},
    {505, "審判種別", "C46", '0', 1, kAvMp},
    {506, "最終処分コード", "C47", '0', 1, kAvMp},
    {520, "条文コード(出願)", "C71", '0', 1, kAvMp},
    {521, "条文コード(審判)", "C71A", '0', 1, kAvMp},
    {522, "弁理士", "AT2", '1', 1, kAvMp},
    {555, "審査官", "EXM", '1', 0, kAvGrant},
    {559, "審査官識別番号", "EXC", '0', 1, kAvMp},
    {507, "本権利抹消識別", "C78", '0', 1, kAvMp},
    {508, "中間コード ", "IM", '0', 1, kAvMp},
    {509, "原簿情報", "REG", '0', 1, kAvMp},
    {513, "査定発送日", "DTC35", '0', 1, kAvMp},
    {514, "審査最終処分日", "DTC36", '0', 1, kAvMp},
    {515, "審判最終処分日", "DTC47", '0', 1, kAvMp},
    {516, "中間記録日付", "DTIM", '0', 1, kAvMp},
    {517, "引用種別", "C1010", '0', 1, kAvMp},
    {518, "存続期間満了日", "FD", '0', 1, kAvMp},
    {519, "ステータス情報", "STS", '0', 1, kAvMp},
    {523, "審査官フリーワード", "EXFW", '1', 1, kAvMp},
    {535, "出願人(差分)", "PADD", '1', 1, kAvMp},
    {536, "出願人識別番号(差分)", "PACD", '0', 1, kAvMp},
    {537, "特許権者(差分)", "ASD", '1', 1, kAvMp},
    {538, "特許権者番号(差分)", "ASCD", '0', 1, kAvMp},
    {539, "審査最終処分(差分)", "C36D", '0', 1, kAvMp},
    {540, "審判最終処分(差分)", "C47D", '0', 1, kAvMp},
    {541, "中間コード(差分)", "IMD", '0', 1, kAvMp},
    {542, "更新情報", "UPD", '0', 1, kAvMp},
    {600, "審判番号(審)", "TNS", '0', 1, kAvMp},
    {601, "出願人(審)", "PAS", '1', 1, kAvMp},
    {602, "出願人識別番号(審)", "PACS", '0', 1, kAvMp},
    {603, "特許権者(審)", "ASS", '1', 1, kAvMp},
    {604, "特許権者識別番号(審)", "ASCS", '0', 1, kAvMp},
    {605, "ＦＩ（審）", "FIS", '0', 1, kAvMp},
    {606, "Ｆターム（審）", "FTS", '0', 1, kAvMp},
    {610, "関連出願(親)", "AN1", '0', 1, kAvMp},
    {611, "参考文献", "REF1", '0', 1, kAvMp},
    {612, "引用文献", "CIT1", '0', 1, kAvMp},
    {613, "関連出願(子)", "AN2", '0', 1, kAvMp},
    {614, "参考文献(被)", "REF2", '0', 1, kAvMp},
    {615, "引用文献(被)", "CIT2", '0', 1, kAvMp},
    {616, "優先権３", "PR3", '0', 1, kAvMp},
    {617, "参考文献３", "REF3", '0', 1, kAvMp},
    {618, "引用文献３", "CIT3", '0', 1, kAvMp},
    {619, "優先権４", "PR4", '0', 1, kAvMp},
    {620, "参考文献４", "REF4", '0', 1, kAvMp},
    {621, "引用文献４", "CIT4", '0', 1, kAvMp},
    {625, "関連出願", "AN0", '0', 1, kAvMp},
    {626, "参考文献", "REF0", '0', 1, kAvMp},
    {627, "引用文献", "CIT0", '0', 1, kAvMp},
    {79, "ファミリー", "PTF", '0', 1, kAvMp},
    {630, "優先権１(US→JP)", "PRU1", '0', 1, kAvMp},
    {631, "参考文献１(US→JP)", "REFU1", '0', 1, kAvMp},
    {632, "優先権２(US→JP)", "PRU2", '0', 1, kAvMp},
    {633, "参考文献２(US→JP)", "REFU2", '0', 1, kAvMp},
    {635, "審判番号(KP→JP)", "TNK1", '0', 1, kAvMp},
    {636, "審判番号(KP→JP)", "TNK2", '0', 1, kAvMp},
    {915, "優先権１", "PRF1", '0', 1, kAvMp},
    {916, "引用文献１", "CDF1", '0', 1, kAvMp},
    {700, "出願人１", "PA1", '1', 0, kAvGaz},
    {701, "出願人２", "PA2", '1', 0, kAvGaz},
    {702, "出願人３", "PA3", '1', 0, kAvGaz},
    {703, "出願人住所", "PAA", '1', 0, kAvGaz},
    {705, "発明者１", "IN1", '1', 0, kAvGaz},
    {706, "発明者２", "IN2", '1', 0, kAvGaz},
    {707, "発明者３", "IN3", '1', 0, kAvGaz},
    {708, "発明者住所", "INA", '1', 0, kAvGaz},
    {710, "IPC全発明", "IC0", '0', 0, kAvGaz},
    {711, "IPC第1発明情報", "IC1", '0', 0, kAvGaz},
    {712, "IPC第1以外の発明情報", "IC2", '0', 0, kAvGaz},
    {713, "IPC付加情報", "IC3", '0', 0, kAvGaz},
    {714, "IPCｲﾝﾃﾞｷｼﾝｸﾞ", "IC4", '0', 0, kAvGaz},
    {715, "IPC8全発明", "IP0", '0', 0, kAvGaz},
    {716, "IPC8第1発明情報", "IP1", '0', 0, kAvGaz},
    {717, "IPC8第1以外発明情報", "IP2", '0', 0, kAvGaz},
    {718, "IPC8付加情報", "IP3", '0', 0, kAvGaz},
    {720, "IPC8全発明", "ICS", '0', 0, kAvGaz},
    {721, "IPC全発明", "ICQ", '0', 0, kAvGaz},
    {722, "IPC全発明", "ICQ0", '0', 0, kAvGaz},
    {723, "IPC第1発明情報", "ICQ1", '0', 0, kAvGaz},
    {724, "IPC第1以外発明情報", "ICQ2", '0', 0, kAvGaz},
    {725, "IPC付加情報", "ICQ3", '0', 0, kAvGaz},
    {726, "IPCｲﾝﾃﾞｷｼﾝｸﾞ", "ICQ4", '0', 0, kAvGaz},
    {727, "ＦＩ", "FIQ", '0', 0, kAvGaz},
    {728, "Ｆターム", "FTQ", '0', 0, kAvGaz},
    {730, "テキスト検索", "TXT", '1', 0, kAvText},
    {731, "発明の名称テキスト", "TTI", '1', 0, kAvText},
    {732, "要約テキスト", "TAB", '1', 0, kAvText},
    {733, "請求の範囲", "TCL", '1', 0, kAvText},
    {734, "技術分野", "TIS", '1', 0, kAvText},
    {735, "実施例", "TEX", '1', 0, kAvText},
    {736, "発明の効果", "TEF", '1', 0, kAvText},
    {740, "近傍検索(全文)", "VTX", '1', 0, kAvText},
    {741, "近傍検索(発明の名称)", "VTI", '1', 0, kAvText},
    {742, "近傍検索(要約)", "VAB", '1', 0, kAvText},
    {743, "近傍検索(請求の範囲)", "VCL", '1', 0, kAvText},
    {744, "近傍検索(詳細な説明)", "VDE", '1', 0, kAvText},
    {745, "近傍検索(技術分野)", "VIS", '1', 0, kAvText},
    {746, "近傍検索(実施例)", "VEX", '1', 0, kAvText},
    {747, "近傍検索(発明の効果)", "VEF", '1', 0, kAvText},
    {748, "近傍検索(ﾀｲﾄﾙ～ｸﾚｰﾑ)", "VTC", '1', 0, kAvText},
    {749, "近傍検索(全文)", "VTX2", '1', 0, kAvText},
    {750, "近傍検索(発明の名称)", "VTI2", '1', 0, kAvText},
    {751, "近傍検索(要約)", "VAB2", '1', 0, kAvText},
    {752, "近傍検索(請求の範囲)", "VCL2", '1', 0, kAvText},
    {753, "近傍検索(詳細な説明)", "VDE2", '1', 0, kAvText},
    {754, "近傍検索(技術分野)", "VIS2", '1', 0, kAvText},
    {755, "近傍検索(実施例)", "VEX2", '1', 0, kAvText},
    {756, "近傍検索(発明の効果)", "VEF2", '1', 0, kAvText},
    {757, "近傍検索(ﾀｲﾄﾙ～ｸﾚｰﾑ)", "VTC2", '1', 0, kAvText},
    {770, "近傍検索(全文)", "UTX", '1', 0, kAvText},
    {771, "近傍検索(発明の名称)", "UTI", '1', 0, kAvText},
    {772, "近傍検索(要約)", "UAB", '1', 0, kAvText},
    {773, "近傍検索(請求の範囲)", "UCL", '1', 0, kAvText},
    {774, "近傍検索(詳細な説明)", "UDE", '1', 0, kAvText},
    {775, "近傍検索(技術分野)", "UIS", '1', 0, kAvText},
    {776, "近傍検索(実施例)", "UEX", '1', 0, kAvText},
    {777, "近傍検索(発明の効果)", "UEF", '1', 0, kAvText},
    {778, "近傍検索(ﾀｲﾄﾙ～ｸﾚｰﾑ)", "UTC", '1', 0, kAvText},
    {800, "Ｔ  コマンド", "T", '0', 0, kAvCmd},
    {810, "パトリス入力", "PNF", '0', 0, kAvCmd},
    {811, "公報番号入力", "DNO", '0', 0, kAvCmd},
    {812, "公報番号テーブル入力", "DNT", '0', 0, kAvCmd},
    {820, "検索履歴", "S", '0', 0, kAvCmd},
    {830, "編集コマンド", "EDT", '0', 0, kAvCmd},
    {851, "ﾀﾞﾐｰｺﾏﾝﾄﾞ", "//", '0', 0, kAvCmd},
    {852, "全公報", "ALL", '0', 0, kAvCmd},
    {853, "ＢＭＡＰ読込", "LOAD", '0', 0, kAvCmd},
    {900, "ページ", "PG", '0', 0, kAvCmd},
    {901, "ＶＯＬ", "VOL", '0', 0, kAvCmd},
    {903, "請求数", "SEI", '0', 0, kAvCmd},
};

template <std::size_t N>
constexpr void copy_text(char (&to)[N], const char (&from)[N]) {
  for (std::size_t i = 0; i < N; ++i) to[i] = from[i];
}

constexpr std::array<ZR_INQKEY, kInqKeyRows + 1> build() {
  std::array<ZR_INQKEY, kInqKeyRows + 1> rows{};
  for (int r = 0; r < kInqKeyRows; ++r) {
    const InqKeySource& s = kSource[r];
    ZR_INQKEY& row = rows[r];
    row.code = s.code;
    copy_text(row.name, s.name);
    copy_text(row.abb, s.abb);
    row.kanji = s.kanji;
    row.mp = s.mp;
    for (int k = 0; k < kInqKeyKinds; ++k) row.kd2[k] = (s.kinds >> k) & 1;
  }
  rows[kInqKeyRows].code = -1;
  return rows;
}

constexpr std::array<ZR_INQKEY, kInqKeyRows + 1> kRows = build();

}  // namespace

const ZR_INQKEY* const zr_inqkey_tbl = kRows.data();
