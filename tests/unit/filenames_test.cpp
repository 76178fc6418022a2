// The data-file names: every operation with its pattern, over short base
// folders that show which base each one uses.
#include <cstring>
#include <functional>
#include <string>

#include "platform/platform.h"
#include "test_support.h"

namespace {

class FileNames : public qrt_test::AreasTest {
 protected:
  void SetUp() override {
    AreasTest::SetUp();
    zr::copy(zrenv->inst_dir, "I");
    zr::copy(zrenv->inst_dir2, "I2");
    zr::copy(zrenv->exp_dir, "E");
    zr::copy(zrwork->wrk_dir, "W");
    zr::copy(zrwork->doc_dir, "D");
    zr::copy(zrwork->doc_dir2, "D2");
    zr::copy(zr00->svr_work, "S");
    zr_kind_codes_set();  // 22, 22, 51, 51, 11
    zr00->sys_kd = 2;
  }
};

struct Case {
  const char* expected;
  std::function<char*()> make;
};

void expect_names(const Case* cases, std::size_t count) {
  for (std::size_t k = 0; k < count; ++k) {
    std::memset(zr01->fnm_work, 0, sizeof zr01->fnm_work);
    char* got = cases[k].make();
    EXPECT_EQ(got, zr01->fnm_work) << cases[k].expected;
    EXPECT_STREQ(zr01->fnm_work, cases[k].expected);
  }
}

TEST_F(FileNames, EveryNameWithItsPattern) {
  // Data-kind rows: 0 "A", 3 "A7", 16 "S", 20 "SP"; inquiry code 1 is "AN".
  const Case cases[] = {
      {"D\\ABSTRACT", [] { return _fnmset_abs(); }},
      {"W\\HISTORY\\TM\\QRT_HIST_CTL_BAS.FIL", [] { return _fnmset_qrt_hist_ctl(); }},
      {"W\\HISTORY\\TM\\QRT_HIST_B007.FIL", [] { return _fnmset_qrt_hist_dat(7); }},
      {"W\\QRT_DNO_B012.FIL", [] { return _fnmset_qrt_hist_dno(12); }},
      {"W\\DATA\\ZR0470.FIL", [] { return _fnmset_cit_map(); }},
      {"I\\CLIENT.INI", [] { return _fnmset_client_ini(); }},
      {"W\\DATA\\ZR0210.SIL", [] { return _fnmset_cmd_list(); }},
      {"I\\CONNECT.INI", [] { return _fnmset_connect_ini(); }},
      {"D\\COPYRGHT", [] { return _fnmset_cpy(); }},
      {"D\\DOCUMENT\\A7\\INDEX\\CONTROL", [] { return _fnmset_ctl(3); }},
      {"D\\DOCUMENT\\A7\\INDEX\\CTL_KWD", [] { return _fnmset_ctl_kwd(3); }},
      {"D\\DOCUMENT\\A7\\INDEX\\CTL_ULOG", [] { return _fnmset_ctl_ulog(3); }},
      {"D\\DOCUMENT\\A\\CONTENTS", [] { return _fnmset_ctt(0); }},
      {"W\\CTTCI0042.WK", [] { return _fnmset_ctt_ci(42); }},
      {"D2\\DOCUMENT\\A\\CTTIDX", [] { return _fnmset_ctti(0); }},
      {"I\\TM09CLI\\DBGDATA", [] { return _fnmset_dbgdata("TM0930CLI"); }},
      {"I\\NQD100CLI\\DBGDATA", [] { return _fnmset_dbgdata("NQD100CLI"); }},
      {"I\\QRT1\\DBGDATA", [] { return _fnmset_dbgdata("QRT100"); }},
      {"I\\DATA\\DIALOG_CONFIG.FIL", [] { return _fnmset_dialog_config(); }},
      {"I\\DATA\\JT0500.FIL", [] { return _fnmset_disp(); }},
      {"W\\DNO_INQ_0003.DNO", [] { return _fnmset_dno_inq(3); }},
      {"D\\DOCUMENT\\A\\DNOINDEX", [] { return _fnmset_dnoidx(0); }},
      {"D\\DOCUMENT\\A\\00012001\\00012301\\00012341\\00012345.TXT",
       [] { return _fnmset_doc(0, 12345, "TXT"); }},
      {"D\\DOCUMENT\\A\\00000001\\00000901\\00000991\\00001000.TXT",
       [] { return _fnmset_doc(0, 1000, "TXT"); }},
      {"D\\DOCUMENT\\A\\99999999.TXT", [] { return _fnmset_doc(0, 99999999, "TXT"); }},
      {"D\\DOCUMENT\\A\\00012001\\00012301\\00012341\\00012345.TXT",
       [] { return _fnmset_doc(0, 300012345, "TXT"); }},  // modulo 100,000,000
      {"D\\DOCUMENT\\A7\\00000007\\00000201.DOC2", [] { return _fnmset_doc2(3, 250, 7); }},
      {"D\\DOCUMENT\\S\\00000007.DOC2", [] { return _fnmset_doc2(16, 250, 7); }},
      {"I\\USER\\DWNCSV2.FIL", [] { return _fnmset_dwncsv2_log(); }},
      {"I\\USER\\DWNCSV.FIL", [] { return _fnmset_dwncsv_log(); }},
      {"I\\USER\\DWNDNO.FIL", [] { return _fnmset_dwndno_log(); }},
      {"W\\USER\\DWNL20", [] { return _fnmset_dwnl(); }},
      {"W\\USER\\DWNLCSV2_0", [] { return _fnmset_dwnl_csv2_old(); }},
      {"W\\USER\\DWNLCSV2_ZR.PRM", [] { return _fnmset_dwnl_csv2_prm(); }},
      {"W\\USER\\DWNL_LINK22", [] { return _fnmset_dwnl_link(); }},
      {"W\\USER\\DWNL0", [] { return _fnmset_dwnl_old(); }},
      {"E\\CSV2SDI\\DWNCSV2ABCD.SDI", [] { return _fnmset_dwnl_sdi("ABCDEFG"); }},
      {"\\DOWNLOAD.TMP", [] { return _fnmset_dwnl_tmp_svr(); }},
      {"W\\USER\\DWNLTXT_0", [] { return _fnmset_dwnl_txt(); }},
      {"W\\USER\\DWNL_UL22", [] { return _fnmset_dwnl_ul(); }},
      {"W\\USER\\DWNLXLS_0", [] { return _fnmset_dwnl_xls(); }},
      {"I\\USER\\DWNLNK51.FIL", [] { return _fnmset_dwnlnk_log(); }},
      {"I\\USER\\DWNREF.FIL", [] { return _fnmset_dwnref_log(); }},
      {"I\\USER\\DWNSDI.FIL", [] { return _fnmset_dwnsdi_log(); }},
      {"I\\USER\\DWNTXT.FIL", [] { return _fnmset_dwntxt_log(); }},
      {"I\\USER\\DWNXLS.FIL", [] { return _fnmset_dwnxls_log(); }},
      {"I\\USER\\DWNXLSX_TM.FIL", [] { return _fnmset_dwnxlsx_log(); }},
      {"I\\USER\\ZW0104.FIL", [] { return _fnmset_exp_log(); }},
      {"E\\EXP_CTL.TM", [] { return _fnmset_expc(); }},
      {"E\\EXP_DAT.TM", [] { return _fnmset_expd(); }},
      {"I\\DATA\\EXPSAVE.051", [] { return _fnmset_expsave(); }},
      {"W\\FILTER0005.WK", [] { return _fnmset_flt(5); }},
      {"D\\GAIJI\\FONT.F24", [] { return _fnmset_font("F24"); }},
      {"I\\DATA\\FORM_CONFIG_TM.FIL", [] { return _fnmset_form_config(); }},
      {"W\\DATA\\G0400W.FRM", [] { return _fnmset_formset(); }},
      {"I\\DATA\\JT0570_FREE_X.BMP", [] { return _fnmset_freetype_bmp(0, "X"); }},
      {"I\\DATA\\WT0570_FREE_X.BMP", [] { return _fnmset_freetype_bmp(1, "X"); }},
      {"D\\GAIJI\\GAIINDEX", [] { return _fnmset_gai(); }},
      {"I\\GUIDANCE\\HELP", [] { return _fnmset_guid("HELP"); }},
      {"I\\GUIDANCE\\HELP_CTL", [] { return _fnmset_guid_ctl("HELP", 0); }},
      {"I\\GUIDANCE\\HELP_CTL_Z", [] { return _fnmset_guid_ctl("HELP", 1); }},
      {"I\\GUIDANCE\\HELP_DAT.lzh", [] { return _fnmset_guid_dat("HELP", 2); }},
      {"I2\\EXP\\GXTI_EXP.CTL", [] { return _fnmset_gxti_expc(); }},
      {"I2\\EXP\\GXTI_EXP.DAT", [] { return _fnmset_gxti_expd(); }},
      {"I\\USER\\K1.HKW", [] { return _fnmset_hkw("K1"); }},
      {"I\\USER\\HKWLOG.FIL", [] { return _fnmset_hkw_log(); }},
      {"W\\HLT00009.WK", [] { return _fnmset_hlt(9); }},
      {"I\\USER\\HLT_KP11.INI", [] { return _fnmset_hlt_ini(11); }},
      {"I\\USER\\HLT_XP.INI", [] { return _fnmset_hlt_ini(20); }},
      {"I\\USER\\HLT_ZR.INI", [] { return _fnmset_hlt_ini(71); }},
      {"I\\DATA\\ZR0827.UP", [] { return _fnmset_hlt_ini_o(81); }},
      {"I\\DATA\\ZR0827.ZR", [] { return _fnmset_hlt_ini_o(8); }},
      {"I\\DATA\\RSLTHLT.5120000", [] { return _fnmset_hlt_rslt(); }},
      {"I\\USER\\HLT_TM.THM", [] { return _fnmset_hlt_thm(51); }},
      {"W\\HISTORY\\TM\\HST_CTL", [] { return _fnmset_hst_ctl(0); }},
      {"W\\HISTORY\\TM\\HST_CMD_CTL", [] { return _fnmset_hst_ctl(1); }},
      {"W\\HISTORY\\TM\\HST0004.DNO", [] { return _fnmset_hst_dno(4); }},
      {"W\\HISTORY\\TM\\HST0004.PARA", [] { return _fnmset_hst_para(0, 4); }},
      {"W\\HISTORY\\TM\\HST_CMD_0004.PARA", [] { return _fnmset_hst_para(1, 4); }},
      {"W\\IMG_01T.WK", [] { return _fnmset_imgtmpt("01"); }},
      {"I\\MAP001203.WK", [] { return _fnmset_inq(12, 3); }},
      {"W\\INQED0012.WK", [] { return _fnmset_inqed(12); }},
      {"I\\BMP0012", [] { return _fnmset_inqed_bmap(12); }},
      {"I\\DATA\\RSLTI0012.5120000", [] { return _fnmset_inqed_rslt(12); }},
      {"D\\DOCUMENT\\A\\INDEX\\KEYINDEX", [] { return _fnmset_ix(0); }},
      {"D\\DOCUMENT\\A\\INDEX\\KEY_KWD", [] { return _fnmset_ix_kwd(0); }},
      {"D\\DOCUMENT\\A\\INDEX\\KEY_ULOG", [] { return _fnmset_ix_ulog(0); }},
      {"I\\DATA\\ZR0100.FIL", [] { return _fnmset_zr0100(); }},
      {"I\\DATA\\ZW0200.FIL", [] { return _fnmset_zw0200(); }},
      {"I\\DATA\\KD2_5100.FIL", [] { return _fnmset_kd2tbl(); }},
      {"I\\DATA\\KEY_CONFIG.FIL", [] { return _fnmset_key_config(); }},
      {"D\\DOCUMENT\\A\\KEYWORD", [] { return _fnmset_kwd(0); }},
      {"I\\USER\\KWDDIC01.FIL", [] { return _fnmset_kwd_dic(); }},
      {"W\\DATA\\KWDDIC\\KWDDIC_TM.IDX", [] { return _fnmset_kwd_dic2(51, "IDX"); }},
      {"W\\DATA\\KWDDIC\\KWDDIC_11.IDX", [] { return _fnmset_kwd_dic2(11, "IDX"); }},
      {"W\\DATA\\KWDDIC\\KWDDIC_ZR.IDX", [] { return _fnmset_kwd_dic2(8, "IDX"); }},
      {"I\\USER\\KWDINPREC_SMR.FIL", [] { return _fnmset_kwd_inprec(1); }},
      {"I\\USER\\KWDINPREC.FIL", [] { return _fnmset_kwd_inprec(0); }},
      {"I\\USER\\KWDREF.FIL", [] { return _fnmset_kwd_ref(); }},
      {"I\\2015-01.KWDTM03", [] { return _fnmset_kwd_wk(3, "2015-01"); }},  // kd_1 22
      {"I\\KWDCSV\\EVENT.TXT", [] { return _fnmset_kwdcsv_evt(); }},
      {"I\\KWDCSV\\KWDCSV.LOG", [] { return _fnmset_kwdcsv_log(0); }},
      {"I\\KWDCSV\\KWDCSV_WP.LOG", [] { return _fnmset_kwdcsv_log(4); }},
      {"I\\KWDCSV\\RIREKI\\UPDATE.TXT", [] { return _fnmset_kwdcsv_rslt(); }},
      {"I\\KWDCSV\\KWDDATA.UPD", [] { return _fnmset_kwdcsv_upd(); }},
      {"I\\KWDCSV\\CSVDATA.WK", [] { return _fnmset_kwdcsv_wk(); }},
      {"I\\DATA\\KWDLOCK.FIL", [] { return _fnmset_kwdlock_cli(); }},
      {"S\\USER\\KWDLOCK.FIL", [] { return _fnmset_kwdlock_svr(); }},
      {"D\\KWDTITLE", [] { return _fnmset_kwdttl(); }},
      {"S\\TM09CLI\\KEYWORD\\KWDTITLE", [] { return _fnmset_kwdttl_wk_svr("TM0930CLI"); }},
      {"S\\TM09CLI\\KEYWORD\\0000000042.S", [] { return _fnmset_kwdwk_svr(20, 42, "TM0930CLI"); }},
      {"S\\TM09CLI\\KEYWORD\\0000000042.A7", [] { return _fnmset_kwdwk_svr(3, 42, "TM0930CLI"); }},
      {"S\\TM09CLI\\KEYWORD\\KWDWKIDX.FIL2", [] { return _fnmset_kwdwkidx_svr("TM0930CLI"); }},
      {"I\\DATA\\JT0570_FREE.FIL", [] { return _fnmset_layout_free(0); }},
      {"I\\DATA\\WT0570_FREE.FIL", [] { return _fnmset_layout_free(2); }},
      {"I\\TM09CLI1\\LOGDATA", [] { return _fnmset_logdata("TM0930CLI1234"); }},
      {"I\\NQD010\\LOGDATA", [] { return _fnmset_logdata("NQD010"); }},
      {"W\\MEMO\\ZR\\S\\2015\\7.FIL", [] { return _fnmset_memo(20, 7, 20150101); }},
      {"W\\MEMO\\ZR\\MEMO.CTL", [] { return _fnmset_memo_ctl(); }},
      {"I\\DATA\\RSLTPARA.5120000", [] { return _fnmset_para_rslt(); }},
      {"I\\DATA\\RSLT_CTRL.TM", [] { return _fnmset_pre_rslt(); }},
      {"E\\SDIKWD.TM", [] { return _fnmset_sdi_kwd(); }},
      {"E\\SDIGRP.DAT", [] { return _fnmset_sdigrp(1); }},
      {"I\\USER\\SDIGRP.DAT", [] { return _fnmset_sdigrp(0); }},
      {"I\\SDILST.WK", [] { return _fnmset_sdilst(); }},
      {"I\\USER.DAT", [] { return _fnmset_sdittl(0); }},  // kd_3 51 names no file
      {"I\\SERVER.INI", [] { return _fnmset_server_ini(); }},
      {"W\\DATA\\TM0850.FIL", [] { return _fnmset_src_base(); }},
      {"D\\A\\AN\\CTL", [] { return _fnmset_utx(0, 1, 0, 0); }},
      {"D\\A\\AN\\IX1", [] { return _fnmset_utx(0, 1, 1, 0); }},
      {"D\\A\\AN\\IX2_00ff", [] { return _fnmset_utx(0, 1, 2, 255); }},
      {"D\\A\\AN\\IXA_001a", [] { return _fnmset_utx(0, 1, 3, 26); }},
      {"D\\A\\AN\\IXB_0001", [] { return _fnmset_utx(0, 1, 4, 1); }},
      {"D\\A\\AN\\", [] { return _fnmset_utx(0, 1, 9, 1); }},
      {"I\\USER\\VTX2_EXP.FIL", [] { return _fnmset_vtx2(); }},
      {"W\\DATA\\XP0400N.FRM", [] { return _fnmsetx_formset(); }},
  };
  expect_names(cases, std::size(cases));
}

TEST_F(FileNames, NamesThatFollowTheKindCodes) {
  struct KindCase {
    std::int16_t* code;
    std::int16_t value;
    const char* expected;
    std::function<char*()> make;
  };
  const KindCase cases[] = {
      {&zrwork->kd_3, 8, "E\\EXP_CTL.ZRK", [] { return _fnmset_expc(); }},
      {&zrwork->kd_3, 91, "E\\EXP_CTL_W.WP", [] { return _fnmset_expc(); }},
      {&zrwork->kd_3, 11, "E\\EXP_DT11.KP", [] { return _fnmset_expd(); }},
      {&zrwork->kd_3, 7, "E\\EXP_DAT.ZR", [] { return _fnmset_expd(); }},
      {&zrwork->kd_3, 8, "E\\SDIKWD.ZR", [] { return _fnmset_sdi_kwd(); }},
      {&zrwork->kd_3, 71, "E\\SDIKWD.MP", [] { return _fnmset_sdi_kwd(); }},
      {&zrwork->kd_3, 8, "I\\USER\\DWNXLSX_ZRK.FIL", [] { return _fnmset_dwnxlsx_log(); }},
      {&zrwork->kd_3, 0, "W\\DATA\\G0400WO.FRM", [] { return _fnmset_formset(); }},
      {&zrwork->kd_3, 1, "W\\DATA\\G0400WB.FRM", [] { return _fnmset_formset(); }},
      {&zrwork->kd_3, 5, "W\\DATA\\G0400WW.FRM", [] { return _fnmset_formset(); }},
      {&zrwork->kd_3, 7, "E\\SDITTL.DAT", [] { return _fnmset_sdittl(1); }},
      {&zrwork->kd_3, 1, "I\\USER\\BSDITTL.DAT", [] { return _fnmset_sdittl(0); }},
      {&zrwork->kd_3, 2, "I\\USER\\TSDITTL.DAT", [] { return _fnmset_sdittl(0); }},
      {&zrwork->kd_3, 5, "I\\USER\\WSDITTL.DAT", [] { return _fnmset_sdittl(0); }},
      {&zrwork->kd_4, 91, "W\\HISTORY\\WP\\HST0001.DNO", [] { return _fnmset_hst_dno(1); }},
      {&zrwork->kd_4, 3, "I\\DATA\\RSLT_CTRL.ZR", [] { return _fnmset_pre_rslt(); }},
      {&zrwork->kd_4, 8, "I\\DATA\\RSLTPARA.0820000", [] { return _fnmset_para_rslt(); }},
      {&zrwork->kd_2, 0, "W\\DATA\\ZW0850.FIL", [] { return _fnmset_src_base(); }},
      {&zrwork->kd_2, 4, "W\\DATA\\WP0850.FIL", [] { return _fnmset_src_base(); }},
      {&zrwork->kd_1, 0, "I\\00012345.KWD01", [] { return _fnmset_kwd_wk(1, "300012345"); }},
      {&zrwork->kd_1, 1, "I\\K-9.KWD01", [] { return _fnmset_kwd_wk(1, "K-9"); }},
      {&zrwork->kd_1, 2, "I\\0000012345.KWD01", [] { return _fnmset_kwd_wk(1, "12345"); }},
      {&zrwork->kd_1, 3, "I\\00012345.KWD01", [] { return _fnmset_kwd_wk(1, "12345"); }},
      {&zrwork->kd_1, 4, "S\\TM09CLI\\KEYWORD\\KWDWKIDX.FIL2",
       [] { return _fnmset_kwdwkidx_svr("TM0930CLI"); }},
      {&zrwork->kd_1, 0, "S\\TM09CLI\\KEYWORD\\KWDWKIDX.FIL",
       [] { return _fnmset_kwdwkidx_svr("TM0930CLI"); }},
      {&zrwork->hist_kd, 1, "W\\HISTORY\\TM\\QRT_HIST_CTL_BAS_WP.FIL",
       [] { return _fnmset_qrt_hist_ctl(); }},
      {&zrwork->hist_kd, 2, "W\\HISTORY\\TM\\QRT_HIST_B001_WPA.FIL",
       [] { return _fnmset_qrt_hist_dat(1); }},
  };
  for (const KindCase& c : cases) {
    const std::int16_t saved = *c.code;
    *c.code = c.value;
    char* got = c.make();
    EXPECT_EQ(got, zr01->fnm_work);
    EXPECT_STREQ(got, c.expected);
    *c.code = saved;
  }
}

TEST_F(FileNames, CodesWithoutANameLeaveTheBufferAsItWas) {
  const std::function<char*()> calls[] = {
      [] { return _fnmset_qrt_hist_ctl(); },
      [] { return _fnmset_qrt_hist_dat(1); },
      [] { return _fnmset_kwdcsv_log(3); },
      [] { return _fnmset_src_base(); },
  };
  zrwork->hist_kd = 3;
  zrwork->kd_2 = 51;
  for (const auto& call : calls) {
    zr::copy(zr01->fnm_work, "previous");
    EXPECT_STREQ(call(), "previous");
  }
}

TEST_F(FileNames, AKeywordFileOfAnUnknownKindHasNoName) {
  zrwork->kd_1 = 7;
  zr::copy(zr01->fnm_work, "previous");
  EXPECT_STREQ(_fnmset_kwd_wk(1, "12"), "");
}

TEST_F(FileNames, APathLongerThanTheBufferIsNotSetAndIsTraced) {
  zr::copy(zrenv->inst_dir, std::string(255, 'F').c_str());
  zr::copy(zr01->fnm_work, "previous");
  const std::string name(300, 'N');
  EXPECT_STREQ(_fnmset_guid(name.c_str()), "");
  bool traced = false;
  for (const auto& line : trace())
    traced |= line.find("file name over 511 bytes") != std::string::npos;
  EXPECT_TRUE(traced);
  // A path of exactly 511 bytes still fits.
  zr::copy(zrenv->inst_dir, "I");
  EXPECT_EQ(std::strlen(_fnmset_guid(std::string(511 - 11, 'N').c_str())), 511u);
}

TEST_F(FileNames, AnArgumentInTheBufferItselfIsReadBeforeItIsReplaced) {
  zr::copy(zr01->fnm_work, "HELP");
  EXPECT_STREQ(_fnmset_guid(zr01->fnm_work), "I\\GUIDANCE\\HELP");
}

TEST_F(FileNames, TheParameterFileLivesInTheCurrentFolder) {
  char cwd[300];
  ASSERT_TRUE(plat::current_dir(cwd, sizeof cwd));
  EXPECT_EQ(std::string(_fnmset_ipar()), std::string(cwd) + "\\PARA.ZR");
}

}  // namespace
