#include <cstring>
#include <filesystem>
#include <set>
#include <string>

#include "test_support.h"

namespace {

using qrt_test::AreasTest;

std::string str_or_null(const char* p) { return p ? std::string(p) : std::string("<null>"); }

// ---- inquiry keys ---------------------------------------------------------------------

TEST(CodeTables, InquiryKeyByCode) {
  struct Case {
    int code;
    const char* abb;
    const char* name;
    char kanji;
    int mp;
  };
  const Case cases[] = {
      {1, "AN", "出願番号", '0', 0},
      {35, "IN", "発明者又は考案者", '1', 0},
      {79, "PTF", "ファミリー", '0', 1},
      {508, "IM", "中間コード ", '0', 1},  // the name keeps its trailing space
      {555, "EXM", "審査官", '1', 0},
      {800, "T", "Ｔ  コマンド", '0', 0},
      {903, "SEI", "請求数", '0', 0},  // the last row
      // Codes no row has: null texts and the value 0, not the character '0'.
      {12, nullptr, nullptr, 0, 0},
      {-1, nullptr, nullptr, 0, 0},  // the end row's code is no key
      {9999, nullptr, nullptr, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(str_or_null(_inqkey_abb(c.code)), str_or_null(c.abb));
    EXPECT_EQ(str_or_null(_inqkey_nm(c.code)), str_or_null(c.name));
    EXPECT_EQ(_inqkey_kanji(c.code), c.kanji);
    EXPECT_EQ(_inqkey_mp(c.code), c.mp);
  }
}

// The sizes of the service's tables; the other tests reach the tables' ends
// through these constants.
TEST(CodeTables, RowCountsAreTheService) {
  EXPECT_EQ(kInqKeyRows, 232);
  EXPECT_EQ(kInqKeyKinds, 54);
  EXPECT_EQ(kMidInfRows, 248);
  EXPECT_EQ(kCtcdRows, 111);
  EXPECT_EQ(kKd2InfRows, 61);
  EXPECT_EQ(kKd7InfRows, 12);
  EXPECT_EQ(kPrnInfRows, 22);
  EXPECT_EQ(kEnoKeyRows, 22);
  EXPECT_EQ(kWatchRows, 38);
  EXPECT_EQ(kCasePairs, 24);
  EXPECT_EQ(kLegalForms1, 50);
  EXPECT_EQ(kLegalForms2, 71);
}

TEST(CodeTables, InquiryKeyByRowIndex) {
  EXPECT_EQ(_inqkey_no(0), 1);
  EXPECT_EQ(_inqkey_no(9), 510);
  EXPECT_EQ(_inqkey_no(kInqKeyRows - 1), 903);
  // Outside the rows: the end row's code.
  EXPECT_EQ(_inqkey_no(kInqKeyRows), -1);
  EXPECT_EQ(_inqkey_no(-3), -1);

  // Every code appears once, so a lookup by code reaches every row.
  std::set<int> codes;
  for (int i = 0; i < kInqKeyRows; ++i) codes.insert(_inqkey_no(static_cast<std::int16_t>(i)));
  EXPECT_EQ(codes.size(), static_cast<std::size_t>(kInqKeyRows));
  EXPECT_EQ(codes.count(-1), 0u);
}

TEST(CodeTables, InquiryKeyFlagsFollowTheirLists) {
  int kanji = 0, mp = 0;
  for (int i = 0; i < kInqKeyRows; ++i) {
    std::int16_t code = _inqkey_no(static_cast<std::int16_t>(i));
    char k = _inqkey_kanji(code);
    ASSERT_TRUE(k == '0' || k == '1') << code;
    kanji += k == '1';
    mp += _inqkey_mp(code);
  }
  EXPECT_EQ(kanji, 103);
  EXPECT_EQ(mp, 63);
  EXPECT_EQ(_inqkey_kanji(215), '1');
  EXPECT_EQ(_inqkey_kanji(220), '0');  // user-log classes are codes, not text
  EXPECT_EQ(_inqkey_mp(636), 1);
  EXPECT_EQ(_inqkey_mp(700), 0);
}

TEST(CodeTables, InquiryKeyAvailability) {
  struct Case {
    int code;
    std::set<int> kinds;  // kinds the key applies to; for `inverted`, those it does not
    bool inverted;
  };
  const Case cases[] = {
      {1, {0, 4, 8, 12, 16, 17, 18, 20, 21, 22, 24, 27, 32, 37, 40, 51, 52, 53}, false},
      {4, {43, 44, 46, 47, 52, 53}, false},
      {3, {27, 30, 31, 32, 35, 36, 37, 40, 53}, false},
      {200, {3, 7, 11, 15, 19, 23, 26, 39, 42, 45, 48, 51}, true},
  };
  for (const Case& c : cases) {
    for (int k = 0; k < kInqKeyKinds; ++k) {
      SCOPED_TRACE(testing::Message() << "code " << c.code << " kind " << k);
      bool listed = c.kinds.count(k) != 0;
      EXPECT_EQ(_inqkey_kd2(c.code, k), (listed != c.inverted) ? 1 : 0);
    }
  }
  // Kinds outside the 54 availability bytes and unknown codes apply to nothing.
  EXPECT_EQ(_inqkey_kd2(200, kInqKeyKinds), 0);
  EXPECT_EQ(_inqkey_kd2(200, -1), 0);
  EXPECT_EQ(_inqkey_kd2(200, 32767), 0);
  EXPECT_EQ(_inqkey_kd2(12, 0), 0);
  // Every availability byte is 0 or 1.
  for (int i = 0; i < kInqKeyRows; ++i)
    for (int k = 0; k < kInqKeyKinds; ++k)
      ASSERT_LE(_inqkey_kd2(_inqkey_no(static_cast<std::int16_t>(i)), k), 1);
}

// ---- countries -------------------------------------------------------------------------

TEST(CodeTables, CountryCodeToRow) {
  struct Case {
    const char* text;
    int row;
  };
  const Case cases[] = {
      {"JP", 0},  {"EO", 110}, {"US", 3},  {"CG", 109},
      {"JPN", 0},  // only the first two bytes count
      {"J", -1},  {"", -1},    {"jp", -1}, {"XX", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(_ctcd_inf_c2n(c.text), c.row);
  }
  EXPECT_EQ(_ctcd_inf_c2n(nullptr), -1);
}

TEST(CodeTables, CountryRowToCode) {
  EXPECT_STREQ(_ctcd_inf_n2c(0), "JP");
  EXPECT_STREQ(_ctcd_inf_n2c(104), "EM");
  EXPECT_STREQ(_ctcd_inf_n2c(110), "EO");
  EXPECT_STREQ(_ctcd_inf_n2c(kCtcdRows), "");
  // Every row's code leads back to its row.
  for (int i = 0; i < kCtcdRows; ++i)
    EXPECT_EQ(_ctcd_inf_c2n(_ctcd_inf_n2c(static_cast<std::int16_t>(i))), i);
}

// ---- data kinds and gazettes -----------------------------------------------------------------

TEST(CodeTables, DataKindRows) {
  struct Case {
    int row;
    int code;
    const char* dir;
    const char* abb;
    int kd0, kd1, kd3, au;
  };
  const Case cases[] = {
      {0, 1, "A", "公開特許", 0, 0, 0, 0},
      {7, 8, "U7", "公開実案(正)", 0, 0, 3, 1},
      {36, 37, "I", "公告実案(審)", 1, 4, 4, 1},
      {49, 50, "U7", "訂正明細", 0, 3, 2, 1},  // shares its folder with row 7
      {51, 54, "B", "公告特許", 1, 4, 0, 0},   // repeats row 27
      {60, 63, "I", "公告実案(審)", 1, 4, 4, 1},
      {61, -1, "", "", 0, 0, 0, 0},  // outside the rows: the end row
      {-1, -1, "", "", 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    std::int16_t r = static_cast<std::int16_t>(c.row);
    EXPECT_EQ(_kd2inf_no(r), c.code);
    EXPECT_STREQ(_kd2inf_dir(r), c.dir);
    EXPECT_STREQ(_kd2inf_abb(r), c.abb);
    EXPECT_EQ(_kd2inf_kd0(r), c.kd0);
    EXPECT_EQ(_kd2inf_kd1(r), c.kd1);
    EXPECT_EQ(_kd2inf_kd3(r), c.kd3);
    EXPECT_EQ(_kd2inf_au(r), c.au);
  }
  EXPECT_STREQ(_kd2inf_nm(0), "公開特許公報(A )");
  EXPECT_STREQ(_kd2inf_nm(51), "特許公報(B )");
  EXPECT_STREQ(_kd2inf_dir(27), "B");
}

TEST(CodeTables, GazetteRows) {
  EXPECT_EQ(_kd7inf_no(11), 11);
  EXPECT_STREQ(_kd7inf_dir(11), "TM");
  EXPECT_STREQ(_kd7inf_nm(11), "商標(公開・登録)公報");
  EXPECT_EQ(_kd7inf_kd00(11), 22);
  EXPECT_EQ(_kd7inf_kd0(11), 51);
  EXPECT_STREQ(_kd7inf_dir(0), "ZR");
  EXPECT_EQ(_kd7inf_kd0(0), 2);
  EXPECT_STREQ(_kd7inf_nm(9), "権利延長情報");
  // The table has no end row; an index past it still reads as one.
  EXPECT_EQ(_kd7inf_no(kKd7InfRows), -1);
  EXPECT_STREQ(_kd7inf_nm(kKd7InfRows), "");
  EXPECT_EQ(_kd7inf_kd0(-1), 0);
}

// ---- document-number prefixes ----------------------------------------------------------------

TEST(CodeTables, NumberPrefixLookup) {
  struct Case {
    int kind;
    const char* text;
    int row;
  };
  const Case cases[] = {
      {11, "特登録1234567", 16},  // the longer prefix stands first
      {11, "特登1234567", 20},
      {11, "登録実用新案第3000001号", 14},
      {11, "実登3000001", 21},
      {9, "特公開2001-1", 12},  // rows 2 and 4 belong to kind 5
      {5, "特公開2001-1", 2},
      {5, "特開2001-123", 6},
      {1, "特願2001-1", 0},
      {1, "特開2001-123", -1},
      {1, "特", -1},  // shorter than every prefix
      {1, "", -1},
      {3, "特願2001-1", -1},  // no row of that kind
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.kind << " " << c.text);
    EXPECT_EQ(_enokey_no(c.kind, c.text), c.row);
  }
  EXPECT_EQ(_enokey_no(1, nullptr), -1);
}

TEST(CodeTables, NumberPrefixRows) {
  EXPECT_EQ(_enokey_cmd(0), 1);
  EXPECT_STREQ(_enokey_nm(0), "特願");
  EXPECT_EQ(_enokey_klng(0), 4);
  EXPECT_EQ(_enokey_au(1), 1);
  EXPECT_EQ(_enokey_cmd(15), 11);
  EXPECT_STREQ(_enokey_nm(15), "実用新案登録");
  EXPECT_EQ(_enokey_klng(15), 12);
  EXPECT_EQ(_enokey_cmd(kEnoKeyRows), 0);  // the end row
  EXPECT_STREQ(_enokey_nm(kEnoKeyRows), "");
  // Every prefix length is the byte length of its prefix.
  for (int i = 0; i < kEnoKeyRows; ++i)
    EXPECT_EQ(_enokey_klng(static_cast<std::int16_t>(i)),
              static_cast<int>(std::strlen(_enokey_nm(static_cast<std::int16_t>(i)))))
        << i;
}

// ---- print formats
// -------------------------------------------------------------------------------

TEST(CodeTables, PrintFormats) {
  EXPECT_STREQ(_prninf_nm(0), "全ページ印刷");
  EXPECT_STREQ(_prninf_pdf_nm(1), "ファーストページ形式");
  EXPECT_STREQ(_prninf_srt_nm(17), "3件クレーム抄録");
  EXPECT_STREQ(_prninf_nm(19), "ｽﾘﾑ･ｶﾞｾﾞｯﾄ印刷");
  EXPECT_STREQ(_prninf_srt_nm(19), "スリム・ガゼット");
  EXPECT_STREQ(_prninf_pdf_nm(21), "抄録一覧形式");
  // Row 9 is the house-layout full-page print: all three names given.
  EXPECT_STRNE(_prninf_nm(9), "");
  EXPECT_STRNE(_prninf_pdf_nm(9), "");
  EXPECT_STRNE(_prninf_srt_nm(9), "");
  for (int row : {11, 12, 14, 15, 20, 22}) {
    SCOPED_TRACE(row);
    std::int16_t r = static_cast<std::int16_t>(row);
    EXPECT_STREQ(_prninf_nm(r), "");
    EXPECT_STREQ(_prninf_pdf_nm(r), "");
    EXPECT_STREQ(_prninf_srt_nm(r), "");
  }
}

// ---- watch statuses
// --------------------------------------------------------------------------------

TEST(CodeTables, WatchTablesFindTheWholeParameterName) {
  struct Case {
    const char* text;
    int row;
  };
  const Case cases[] = {
      {"A621", 0},   {"WT01", 8}, {"WC07", 37}, {"a621", -1},  // case-sensitive
      {"A62", -1},  // the whole text counts, not a prefix
      {"A6211", -1}, {"", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(_prj_wat_no(c.text), c.row);
    EXPECT_EQ(_srm_wat_no(c.text), c.row);
  }
  EXPECT_EQ(_prj_wat_no(nullptr), -1);
  EXPECT_EQ(_srm_wat_no(nullptr), -1);
}

TEST(CodeTables, WatchTableRows) {
  using Fn = const char* (*)(std::int16_t);
  struct Table {
    Fn para, sts, abb;
  };
  const Table tables[] = {{_prj_wat_para_nm, _prj_wat_sts_nm, _prj_wat_abb_nm},
                          {_srm_wat_para_nm, _srm_wat_sts_nm, _srm_wat_abb_nm}};
  for (const Table& t : tables) {
    EXPECT_STREQ(t.para(19), "WA03");
    EXPECT_STREQ(t.sts(19), "拒絶査定不服審判 拒絶・取消理由通知");
    EXPECT_STREQ(t.abb(19), "拒査審(拒絶理由)");
    EXPECT_STREQ(t.para(37), "WC07");
    EXPECT_STREQ(t.abb(6), "取下放棄");
    EXPECT_STREQ(t.para(kWatchRows), "");
  }
}

// ---- message names -----------------------------------------------------------------------------

TEST(CodeTables, MessageNames) {
  struct Case {
    int mid;
    const char* name;
    bool known;
  };
  const Case cases[] = {
      {107, "ＬＯＧＯＮ", true},
      {10, "自動インストール", true},  // the first entry
      {86, "強制ログオフ処理(GRV⇒DNS)", true},
      {471, "ＣＳＶダウンロード(ファミリー)", true},  // fills its field
      {1200, "qrt_SDI実行", true},
      {9701, "リモート管理機能使用権限", true},  // the last entry
      {17, "", true},                            // an entry without a name
      {9999, "*** Unknown MID ***", false},
      {-1, "*** Unknown MID ***", false},
      {0, "*** Unknown MID ***", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mid);
    EXPECT_STREQ(zr_message_name(c.mid), c.name);
    EXPECT_EQ(zr_message_known(c.mid), c.known);
  }
}

// ---- the constants record
// -------------------------------------------------------------------------

using CodeTablesRecord = AreasTest;

TEST_F(CodeTablesRecord, ReferencesTheTables) {
  ASSERT_NE(zrcnst, nullptr);
  EXPECT_EQ(zrcnst->inqkey[0].code, 1);
  EXPECT_EQ(zrcnst->inqkey[kInqKeyRows].code, -1);
  EXPECT_EQ(zrcnst->midinf[kMidInfRows].mid, -1);
  EXPECT_STREQ(zrcnst->midinf[kMidInfRows].name, "*** Unknown MID ***");
  EXPECT_EQ(zrcnst->midinf[0].pad[0] | zrcnst->midinf[0].pad[1] | zrcnst->midinf[0].pad[2], 0);
  EXPECT_EQ(zrcnst->ctcd[kCtcdRows].code, -1);
  EXPECT_EQ(zrcnst->kd2inf[kKd2InfRows].code, -1);
  EXPECT_EQ(zrcnst->kd7inf[11].kd0, 51);
  EXPECT_STREQ(zrcnst->kd00inf[22].dir, "TM");
  EXPECT_STREQ(zrcnst->kd00inf[4].name, "ＷＰ&ＥＰ特許データ");
  EXPECT_EQ(zrcnst->pubcls[3].code, 9);
  EXPECT_STREQ(zrcnst->pubcls[5].letter, "W");
  EXPECT_STREQ(zrcnst->kd1inf[6].srt_nm, "異議");
  EXPECT_STREQ(zrcnst->aulbl[0].name, "特  許");
  EXPECT_STREQ(zrcnst->kd3inf[4].name, "審判請求");
  EXPECT_STREQ(zrcnst->rgtkd[3].name_en, "trademark");
  EXPECT_EQ(zrcnst->dlkd[8].code, 999);
  EXPECT_EQ(zrcnst->dlkd[9].code, -1);
  EXPECT_EQ(zrcnst->prninf[kPrnInfRows].code, -1);
  EXPECT_EQ(zrcnst->enokey[kEnoKeyRows].code, -1);
  // Two tables with the same rows.
  EXPECT_NE(zrcnst->prj_wat, zrcnst->srm_wat);
  EXPECT_EQ(std::memcmp(zrcnst->prj_wat, zrcnst->srm_wat, 39 * sizeof(ZR_WATCH)), 0);
}

TEST_F(CodeTablesRecord, CasePairs) {
  // from, small-to-capital result, capital-to-small result (empty: not a from-form)
  struct Case {
    const char* ch;
    const char* to_upper;
    const char* to_lower;
  };
  const Case cases[] = {
      {"ァ", "ア", ""},
      {"ア", "", "ァ"},
      {"っ", "つ", ""},
      {"、", "，", ""},
      {"，", "", "、"},
      {"\x81\x5B", "\x84\x9F", ""},          // ー → ─
      {"\x81\x5C", "\x84\x9F", "\x81\x5B"},  // ― → ─ / ー
      {"\x81\x5D", "\x84\x9F", "\x81\x5B"},  // ‐
      {"\x81\x7C", "\x84\x9F", "\x81\x5B"},  // －
      {"\x84\x9F", "", "\x81\x5B"},          // ─ → ー
  };
  auto convert = [](const ZR_CASE_TBL& t, const char* ch) -> std::string {
    for (int i = 0; i < t.cnt; ++i)
      if (std::strcmp(t.from[i], ch) == 0) return t.to[i];
    return "";
  };
  EXPECT_EQ(zrcnst->low_upr.cnt, kCasePairs);
  EXPECT_EQ(zrcnst->upr_low.cnt, kCasePairs);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ch);
    EXPECT_EQ(convert(zrcnst->low_upr, c.ch), c.to_upper);
    EXPECT_EQ(convert(zrcnst->upr_low, c.ch), c.to_lower);
  }
  for (int i = 0; i < kCasePairs; ++i) {
    EXPECT_EQ(std::strlen(zrcnst->low_upr.from[i]), 2u) << i;
    EXPECT_EQ(std::strlen(zrcnst->upr_low.to[i]), 2u) << i;
  }
}

TEST_F(CodeTablesRecord, BitTablesAndMasks) {
  const std::uint8_t expand_a5[8] = {1, 0, 1, 0, 0, 1, 0, 1};
  EXPECT_EQ(std::memcmp(zrcnst->bit_tbl[0xA5], expand_a5, 8), 0);
  const std::uint8_t zero[8] = {};
  EXPECT_EQ(std::memcmp(zrcnst->bit_tbl[0], zero, 8), 0);
  EXPECT_EQ(zrcnst->bit_cnt[0], 0);
  EXPECT_EQ(zrcnst->bit_cnt[0xA5], 4);
  EXPECT_EQ(zrcnst->bit_cnt[0xFF], 8);
  const std::uint8_t masks[16] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80,
                                  0xFE, 0xFD, 0xFB, 0xF7, 0xEF, 0xDF, 0xBF, 0x7F};
  EXPECT_EQ(std::memcmp(zrcnst->bit_mask, masks, 16), 0);
}

TEST_F(CodeTablesRecord, LegalForms) {
  EXPECT_EQ(zrcnst->legal1_cnt, kLegalForms1);
  EXPECT_STREQ(zrcnst->legal1[0], "株式会社");
  EXPECT_STREQ(zrcnst->legal1[37], "大学共同利用機関法人");  // fills its 21 bytes
  EXPECT_STREQ(zrcnst->legal1[49], "有限公司");
  EXPECT_EQ(zrcnst->legal2_cnt, kLegalForms2);
  EXPECT_STREQ(zrcnst->legal2[0], "更生会社");
  EXPECT_STREQ(zrcnst->legal2[45], "特定非営利活動（ＮＰＯ）法人");
  EXPECT_STREQ(zrcnst->legal2[70], "有限公司");
}

// The code-conversion switch follows "SHIFTJIS.ZR" in the current folder at the
// moment the record is built; the bracket strings are converted only without it.
TEST_F(CodeTablesRecord, ShiftJisFileSwitchesTheJisConversionsOff) {
  struct Case {
    bool file;
    int sw;
    const char* brackets[4];
  };
  const Case cases[] = {
      {false, 0, {"\xA1\xA1", "\xA1\xDA", "\xA1\xCE", "\xA1\xA3"}},
      {true, 1, {"　", "【", "［", "。"}},
  };
  const std::filesystem::path saved = std::filesystem::current_path();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    qrt_test::TempDir cwd;
    if (c.file) qrt_test::write_file(cwd.join("SHIFTJIS.ZR"), "");
    std::filesystem::current_path(cwd.path());
    _zrcnst_kill();
    EXPECT_EQ(zrcnst, nullptr);
    ZRCNST* made = _zrcnst_make();
    std::filesystem::current_path(saved);
    ASSERT_EQ(made, zrcnst);
    EXPECT_EQ(zrcnst->sjis_sw, c.sw);
    for (int i = 0; i < 4; ++i) EXPECT_STREQ(zrcnst->bracket[i], c.brackets[i]) << i;
  }
}

}  // namespace
