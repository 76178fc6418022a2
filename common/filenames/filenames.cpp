// The data-file names: each operation composes its path in a local buffer and
// then moves it into fnm_work, so an argument that points into fnm_work itself
// (the previous name) is read before it is overwritten.
#include "filenames/filenames.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "naming/code_tables.h"
#include "platform/platform.h"
#include "runtime/zrcommon.h"

namespace {

constexpr std::size_t kNameCap = sizeof(ZR01::fnm_work);

// A path being composed: texts are appended one after another; one that does
// not fit marks the whole path as too long.
class Path {
 public:
  __attribute__((format(printf, 2, 3))) Path& add(const char* fmt, ...) {
    if (over_) return *this;
    std::va_list ap;
    va_start(ap, fmt);
    const int n = std::vsnprintf(buf_ + len_, kNameCap - len_, fmt, ap);
    va_end(ap);
    if (n < 0 || static_cast<std::size_t>(n) >= kNameCap - len_) {
      over_ = true;
    } else {
      len_ += static_cast<std::size_t>(n);
    }
    return *this;
  }
  // Moves the path into fnm_work and returns it.
  char* done() {
    char* out = zr01->fnm_work;
    if (over_) {
      buf_[kNameCap - 1] = '\0';
      _dbg_print("*** file name over %d bytes, not set: %.200s ***", int(kNameCap - 1), buf_);
      out[0] = '\0';
    } else {
      std::memcpy(out, buf_, len_ + 1);
    }
    return out;
  }

 private:
  char buf_[kNameCap] = {};
  std::size_t len_ = 0;
  bool over_ = false;
};

// The bases.
const char* I() { return zrenv->inst_dir; }
const char* I2() { return zrenv->inst_dir2; }
const char* E() { return zrenv->exp_dir; }
const char* W() { return zrwork->wrk_dir; }
const char* D() { return zrwork->doc_dir; }
const char* D2() { return zrwork->doc_dir2; }
const char* S() { return zr00->svr_work; }

// fnm_work as it is: the operation has no name for the code it was given.
char* unchanged() { return zr01->fnm_work; }

struct Pick {
  int code;
  const char* text;
};
const char* pick(int code, std::initializer_list<Pick> rows, const char* other) {
  for (const Pick& r : rows)
    if (r.code == code) return r.text;
  return other;
}

// The kind folder name of a kind code.
const char* kind_dir(int code) {
  return pick(code,
              {{8, "ZRK"},
               {11, "KP11"},
               {21, "KP21"},
               {22, "KP22"},
               {31, "KP31"},
               {51, "TM"},
               {71, "MP"},
               {91, "WP"}},
              "ZR");
}

// The data folder of a data-kind row (empty outside the table).
const char* kd2dir(int i) {
  const char* dir = _kd2inf_dir(static_cast<std::int16_t>(i));
  return dir ? dir : "";
}
// Row 20 shares the folder of row 16 in the keyword and memo names.
const char* kd2dir_20as16(int i) { return kd2dir(i == 20 ? 16 : i); }

// Document numbers are taken modulo 100,000,000.
std::int32_t doc_number(std::int32_t n) {
  constexpr std::int32_t kMod = 100000000;
  return ((n % kMod) + kMod) % kMod;
}
// The first number of the block of size s that holds n, blocks counted from 1.
std::int32_t block(std::int32_t n, std::int32_t s) {
  n = doc_number(n);
  return n % s == 0 ? n - s + 1 : (n / s) * s + 1;
}
// The document-number folders: "\%08d" four times, or once for 99,999,999.
Path& doc_folders(Path& p, std::int32_t n) {
  n = doc_number(n);
  if (n == 99999999) return p.add("\\%08d", n);
  return p.add("\\%08d\\%08d\\%08d\\%08d", block(n, 1000), block(n, 100), block(n, 10), n);
}

const char* rest_from_seventh(const char* prg) { return std::strlen(prg) > 6 ? prg + 6 : ""; }
bool one_of(const char* prg, std::initializer_list<const char*> names) {
  for (const char* n : names)
    if (std::strcmp(prg, n) == 0) return true;
  return false;
}

// A log file in the program's folder below I: the folder is the program name
// itself for the names of `own`, else its first four characters and `rest`
// characters from its seventh on (-1: all of them).
char* program_file(const char* prg, std::initializer_list<const char*> own, int rest,
                   const char* file) {
  Path p;
  p.add("%s\\", I());
  if (one_of(prg, own)) {
    p.add("%s", prg);
  } else {
    p.add("%.4s%.*s", prg, rest, rest_from_seventh(prg));
  }
  return p.add("\\%s", file).done();
}

// The folders of a kind's document data below D or D2.
char* document_file(const char* base, int i, const char* tail) {
  return Path().add("%s\\DOCUMENT\\%s%s", base, kd2dir(i), tail).done();
}

// The gazette-history variant's mark before ".FIL"; null for an unknown variant.
const char* history_variant() {
  return pick(zrwork->hist_kd, {{0, ""}, {1, "_WP"}, {2, "_WPA"}}, nullptr);
}

const char* hlt_suffix(int kind) {
  return pick(
      kind,
      {{11, "KP11"}, {20, "XP"}, {21, "KP21"}, {22, "KP22"}, {31, "KP31"}, {51, "TM"}, {91, "WP"}},
      "ZR");
}

const char* guid_type(std::uint8_t type) { return type == 1 ? "_Z" : type == 2 ? ".lzh" : ""; }

// E for value 1, else the USER folder of the install folder.
Path sdi_base(std::int16_t value) {
  Path p;
  if (value == 1) {
    p.add("%s", E());
  } else {
    p.add("%s\\USER", I());
  }
  return p;
}

}  // namespace

ZR_API char* _fnmset_abs() { return Path().add("%s\\ABSTRACT", D()).done(); }

ZR_API char* _fnmset_qrt_hist_ctl() {
  const char* variant = history_variant();
  if (!variant) return unchanged();
  return Path().add("%s\\HISTORY\\TM\\QRT_HIST_CTL_BAS%s.FIL", W(), variant).done();
}
ZR_API char* _fnmset_qrt_hist_dat(std::int32_t n) {
  const char* variant = history_variant();
  if (!variant) return unchanged();
  return Path().add("%s\\HISTORY\\TM\\QRT_HIST_B%03d%s.FIL", W(), n, variant).done();
}
ZR_API char* _fnmset_qrt_hist_dno(std::int32_t n) {
  return Path().add("%s\\QRT_DNO_B%03d.FIL", W(), n).done();
}
ZR_API char* _fnmset_cit_map() { return Path().add("%s\\DATA\\ZR0470.FIL", W()).done(); }
ZR_API char* _fnmset_client_ini() { return Path().add("%s\\CLIENT.INI", I()).done(); }
ZR_API char* _fnmset_cmd_list() { return Path().add("%s\\DATA\\ZR0210.SIL", W()).done(); }
ZR_API char* _fnmset_connect_ini() { return Path().add("%s\\CONNECT.INI", I()).done(); }
ZR_API char* _fnmset_cpy() { return Path().add("%s\\COPYRGHT", D()).done(); }
ZR_API char* _fnmset_ctl(std::int16_t i) { return document_file(D(), i, "\\INDEX\\CONTROL"); }
ZR_API char* _fnmset_ctl_kwd(std::int16_t i) { return document_file(D(), i, "\\INDEX\\CTL_KWD"); }
ZR_API char* _fnmset_ctl_ulog(std::int16_t i) { return document_file(D(), i, "\\INDEX\\CTL_ULOG"); }
ZR_API char* _fnmset_ctt(std::int16_t i) { return document_file(D(), i, "\\CONTENTS"); }
ZR_API char* _fnmset_ctt_ci(std::int32_t n) {
  return Path().add("%s\\CTTCI%04d.WK", W(), n).done();
}
ZR_API char* _fnmset_ctti(std::int16_t i) { return document_file(D2(), i, "\\CTTIDX"); }

ZR_API char* _fnmset_dbgdata(const char* prg) {
  return program_file(prg, {"NQD000", "NQD100", "NQD100CLI"}, -1, "DBGDATA");
}

ZR_API char* _fnmset_dialog_config() {
  return Path().add("%s\\DATA\\DIALOG_CONFIG.FIL", I()).done();
}
ZR_API char* _fnmset_disp() { return Path().add("%s\\DATA\\JT0500.FIL", I()).done(); }
ZR_API char* _fnmset_dno_inq(std::int16_t n) {
  return Path().add("%s\\DNO_INQ_%04d.DNO", W(), n).done();
}
ZR_API char* _fnmset_dnoidx(std::int16_t i) { return document_file(D(), i, "\\DNOINDEX"); }

ZR_API char* _fnmset_doc(std::int16_t i, std::int32_t doc_no, const char* ext) {
  Path p;
  p.add("%s\\DOCUMENT\\%s", D(), kd2dir(i));
  return doc_folders(p, doc_no).add(".%s", ext).done();
}

ZR_API char* _fnmset_doc2(std::int16_t i, std::int32_t n, std::int32_t m) {
  if (i == 16) return Path().add("%s\\DOCUMENT\\%s\\%08d.DOC2", D(), kd2dir(16), m).done();
  return Path().add("%s\\DOCUMENT\\%s\\%08d\\%08d.DOC2", D(), kd2dir(i), m, block(n, 100)).done();
}

ZR_API char* _fnmset_dwncsv2_log() { return Path().add("%s\\USER\\DWNCSV2.FIL", I()).done(); }
ZR_API char* _fnmset_dwncsv_log() { return Path().add("%s\\USER\\DWNCSV.FIL", I()).done(); }
ZR_API char* _fnmset_dwndno_log() { return Path().add("%s\\USER\\DWNDNO.FIL", I()).done(); }
ZR_API char* _fnmset_dwnl() { return Path().add("%s\\USER\\DWNL2%d", W(), zrenv->env_no).done(); }
ZR_API char* _fnmset_dwnl_csv2_old() {
  return Path().add("%s\\USER\\DWNLCSV2_%d", W(), zrenv->env_no).done();
}
ZR_API char* _fnmset_dwnl_csv2_prm() { return Path().add("%s\\USER\\DWNLCSV2_ZR.PRM", W()).done(); }
ZR_API char* _fnmset_dwnl_link() {
  return Path().add("%s\\USER\\DWNL_LINK%02d", W(), zrwork->kd_1).done();
}
ZR_API char* _fnmset_dwnl_old() {
  return Path().add("%s\\USER\\DWNL%d", W(), zrenv->env_no).done();
}
ZR_API char* _fnmset_dwnl_sdi(const char* text) {
  return Path().add("%s\\CSV2SDI\\DWNCSV2%.4s.SDI", E(), text).done();
}
ZR_API char* _fnmset_dwnl_tmp_svr() { return Path().add("%s\\DOWNLOAD.TMP", "").done(); }
ZR_API char* _fnmset_dwnl_txt() {
  return Path().add("%s\\USER\\DWNLTXT_%d", W(), zrenv->env_no).done();
}
ZR_API char* _fnmset_dwnl_ul() {
  return Path().add("%s\\USER\\DWNL_UL%02d", W(), zrwork->kd_1).done();
}
ZR_API char* _fnmset_dwnl_xls() {
  return Path().add("%s\\USER\\DWNLXLS_%d", W(), zrenv->env_no).done();
}
ZR_API char* _fnmset_dwnlnk_log() {
  return Path().add("%s\\USER\\DWNLNK%d.FIL", I(), zrwork->kd_3).done();
}
ZR_API char* _fnmset_dwnref_log() { return Path().add("%s\\USER\\DWNREF.FIL", I()).done(); }
ZR_API char* _fnmset_dwnsdi_log() { return Path().add("%s\\USER\\DWNSDI.FIL", I()).done(); }
ZR_API char* _fnmset_dwntxt_log() { return Path().add("%s\\USER\\DWNTXT.FIL", I()).done(); }
ZR_API char* _fnmset_dwnxls_log() { return Path().add("%s\\USER\\DWNXLS.FIL", I()).done(); }
ZR_API char* _fnmset_dwnxlsx_log() {
  return Path().add("%s\\USER\\DWNXLSX_%s.FIL", I(), kind_dir(zrwork->kd_3)).done();
}
ZR_API char* _fnmset_exp_log() { return Path().add("%s\\USER\\ZW0104.FIL", I()).done(); }

ZR_API char* _fnmset_expc() {
  const char* tail = pick(zrwork->kd_3,
                          {{8, "\\EXP_CTL.ZRK"},
                           {11, "\\EXP_CL11.KP"},
                           {21, "\\EXP_CL21.KP"},
                           {22, "\\EXP_CL22.KP"},
                           {31, "\\EXP_CL31.KP"},
                           {51, "\\EXP_CTL.TM"},
                           {71, "\\EXP_CTL.MP"},
                           {81, "\\EXP_CTL.UP"},
                           {91, "\\EXP_CTL_W.WP"}},
                          "\\EXP_CTL.ZR");
  return Path().add("%s%s", E(), tail).done();
}
ZR_API char* _fnmset_expd() {
  const char* tail = pick(zrwork->kd_3,
                          {{8, "\\EXP_DAT.ZRK"},
                           {11, "\\EXP_DT11.KP"},
                           {21, "\\EXP_DT21.KP"},
                           {22, "\\EXP_DT22.KP"},
                           {31, "\\EXP_DT31.KP"},
                           {51, "\\EXP_DAT.TM"},
                           {71, "\\EXP_DAT.MP"},
                           {81, "\\EXP_DAT.UP"},
                           {91, "\\EXP_DAT_W.WP"}},
                          "\\EXP_DAT.ZR");
  return Path().add("%s%s", E(), tail).done();
}
ZR_API char* _fnmset_expsave() {
  return Path().add("%s\\DATA\\EXPSAVE.%d%d", I(), zrenv->env_no, zrwork->kd_3).done();
}
ZR_API char* _fnmset_flt(std::int32_t n) { return Path().add("%s\\FILTER%04d.WK", W(), n).done(); }
ZR_API char* _fnmset_font(const char* ext) {
  return Path().add("%s\\GAIJI\\FONT.%s", D(), ext).done();
}
ZR_API char* _fnmset_form_config() {
  return Path().add("%s\\DATA\\FORM_CONFIG_%s.FIL", I(), kind_dir(zrwork->kd_3)).done();
}
ZR_API char* _fnmset_formset() {
  Path p;
  p.add("%s\\DATA\\G0400", W());
  if (zr00->sys_kd == 2) p.add("W");
  p.add("%s", pick(zrwork->kd_3, {{0, "O"}, {2, "O"}, {1, "B"}, {5, "W"}}, ""));
  return p.add(".FRM").done();
}
ZR_API char* _fnmset_freetype_bmp(std::int16_t flag, const char* text) {
  return Path().add("%s\\DATA\\%s0570_FREE_%s.BMP", I(), flag == 0 ? "JT" : "WT", text).done();
}
ZR_API char* _fnmset_gai() { return Path().add("%s\\GAIJI\\GAIINDEX", D()).done(); }
ZR_API char* _fnmset_guid(const char* name) {
  return Path().add("%s\\GUIDANCE\\%s", I(), name).done();
}
ZR_API char* _fnmset_guid_ctl(const char* name, std::uint8_t type) {
  return Path().add("%s\\GUIDANCE\\%s_CTL%s", I(), name, guid_type(type)).done();
}
ZR_API char* _fnmset_guid_dat(const char* name, std::uint8_t type) {
  return Path().add("%s\\GUIDANCE\\%s_DAT%s", I(), name, guid_type(type)).done();
}
ZR_API char* _fnmset_gxti_expc() { return Path().add("%s\\EXP\\GXTI_EXP.CTL", I2()).done(); }
ZR_API char* _fnmset_gxti_expd() { return Path().add("%s\\EXP\\GXTI_EXP.DAT", I2()).done(); }
ZR_API char* _fnmset_hkw(const char* name) {
  return Path().add("%s\\USER\\%s.HKW", I(), name).done();
}
ZR_API char* _fnmset_hkw_log() { return Path().add("%s\\USER\\HKWLOG.FIL", I()).done(); }
ZR_API char* _fnmset_hlt(std::int32_t n) { return Path().add("%s\\HLT%05d.WK", W(), n).done(); }
ZR_API char* _fnmset_hlt_ini(std::int16_t kind) {
  return Path().add("%s\\USER\\HLT_%s.INI", I(), hlt_suffix(kind)).done();
}
ZR_API char* _fnmset_hlt_ini_o(std::int16_t kind) {
  const char* ext = pick(kind,
                         {{11, "KP11"},
                          {20, "XP"},
                          {21, "KP21"},
                          {22, "KP22"},
                          {31, "KP31"},
                          {51, "TM"},
                          {81, "UP"},
                          {91, "WP"}},
                         "ZR");
  return Path().add("%s\\DATA\\ZR0827.%s", I(), ext).done();
}
ZR_API char* _fnmset_hlt_rslt() {
  return Path().add("%s\\DATA\\RSLTHLT.%02d%d0000", I(), zrwork->kd_4, zr00->sys_kd).done();
}
ZR_API char* _fnmset_hlt_thm(std::int16_t kind) {
  return Path().add("%s\\USER\\HLT_%s.THM", I(), hlt_suffix(kind)).done();
}
ZR_API char* _fnmset_hst_ctl(std::uint8_t cmd) {
  return Path()
      .add("%s\\HISTORY\\%s\\%s", W(), kind_dir(zrwork->kd_4), cmd ? "HST_CMD_CTL" : "HST_CTL")
      .done();
}
ZR_API char* _fnmset_hst_dno(std::int32_t n) {
  return Path().add("%s\\HISTORY\\%s\\HST%04d.DNO", W(), kind_dir(zrwork->kd_4), n).done();
}
ZR_API char* _fnmset_hst_para(std::uint8_t cmd, std::int32_t n) {
  return Path()
      .add("%s\\HISTORY\\%s\\HST%s%04d.PARA", W(), kind_dir(zrwork->kd_4), cmd ? "_CMD_" : "", n)
      .done();
}
ZR_API char* _fnmset_imgtmpt(const char* text) {
  return Path().add("%s\\IMG_%sT.WK", W(), text).done();
}
ZR_API char* _fnmset_inq(std::int32_t n, std::int16_t m) {
  return Path().add("%s\\MAP%04d%02d.WK", I(), n, m).done();
}
ZR_API char* _fnmset_inqed(std::int32_t n) { return Path().add("%s\\INQED%04d.WK", W(), n).done(); }
ZR_API char* _fnmset_inqed_bmap(std::int32_t n) { return Path().add("%s\\BMP%04d", I(), n).done(); }
ZR_API char* _fnmset_inqed_rslt(std::int32_t n) {
  return Path().add("%s\\DATA\\RSLTI%04d.%02d%d0000", I(), n, zrwork->kd_4, zr00->sys_kd).done();
}
ZR_API char* _fnmset_ipar() {
  char cwd[261];
  if (!plat::current_dir(cwd, sizeof cwd)) cwd[0] = '\0';
  return Path().add("%s\\PARA.ZR", cwd).done();
}
ZR_API char* _fnmset_ix(std::int16_t i) { return document_file(D(), i, "\\INDEX\\KEYINDEX"); }
ZR_API char* _fnmset_ix_kwd(std::int16_t i) { return document_file(D(), i, "\\INDEX\\KEY_KWD"); }
ZR_API char* _fnmset_ix_ulog(std::int16_t i) { return document_file(D(), i, "\\INDEX\\KEY_ULOG"); }
ZR_API char* _fnmset_zr0100() { return Path().add("%s\\DATA\\ZR0100.FIL", I()).done(); }
ZR_API char* _fnmset_zw0200() { return Path().add("%s\\DATA\\ZW0200.FIL", I()).done(); }
ZR_API char* _fnmset_kd2tbl() {
  return Path()
      .add("%s\\DATA\\KD2_%d%d%d.FIL", I(), zrwork->kd_3, zrwork->kd_sub, zrenv->env_no)
      .done();
}
ZR_API char* _fnmset_key_config() { return Path().add("%s\\DATA\\KEY_CONFIG.FIL", I()).done(); }
ZR_API char* _fnmset_kwd(std::int16_t i) { return document_file(D(), i, "\\KEYWORD"); }
ZR_API char* _fnmset_kwd_dic() { return Path().add("%s\\USER\\KWDDIC01.FIL", I()).done(); }
ZR_API char* _fnmset_kwd_dic2(std::int16_t kind, const char* ext) {
  const char* name = pick(kind,
                          {{11, "11"},
                           {21, "21"},
                           {22, "22"},
                           {31, "31"},
                           {51, "TM"},
                           {71, "MP"},
                           {81, "UP"},
                           {91, "WP"}},
                          "ZR");
  return Path().add("%s\\DATA\\KWDDIC\\KWDDIC_%s.%s", W(), name, ext).done();
}
ZR_API char* _fnmset_kwd_inprec(std::int16_t value) {
  return Path().add("%s\\USER\\KWDINPREC%s.FIL", I(), value == 1 ? "_SMR" : "").done();
}
ZR_API char* _fnmset_kwd_ref() { return Path().add("%s\\USER\\KWDREF.FIL", I()).done(); }

ZR_API char* _fnmset_kwd_wk(std::int16_t m, const char* key) {
  const long long number = std::strtoll(key, nullptr, 10);
  Path p;
  switch (zrwork->kd_1) {
    case 0:
      return p.add("%s\\%08lld.KWD%02d", I(), number % 100000000, m).done();
    case 3:
      return p.add("%s\\%08lld.KWD%02d", I(), number, m).done();
    case 1:
      return p.add("%s\\%s.KWD%02d", I(), key, m).done();
    case 2:
    case 4:
    case 5:
      return p.add("%s\\%010lld.KWD%02d", I(), number, m).done();
    case 22:
      return p.add("%s\\%s.KWDTM%02d", I(), key, m).done();
    default:
      // No name for this kind: an empty name, so that nothing stale is opened.
      zr01->fnm_work[0] = '\0';
      return zr01->fnm_work;
  }
}

ZR_API char* _fnmset_kwdcsv_evt() { return Path().add("%s\\KWDCSV\\EVENT.TXT", I()).done(); }
ZR_API char* _fnmset_kwdcsv_log(std::int16_t value) {
  const char* name = pick(value, {{0, "KWDCSV.LOG"}, {4, "KWDCSV_WP.LOG"}}, nullptr);
  if (!name) return unchanged();
  return Path().add("%s\\KWDCSV\\%s", I(), name).done();
}
ZR_API char* _fnmset_kwdcsv_rslt() {
  return Path().add("%s\\KWDCSV\\RIREKI\\UPDATE.TXT", I()).done();
}
ZR_API char* _fnmset_kwdcsv_upd() { return Path().add("%s\\KWDCSV\\KWDDATA.UPD", I()).done(); }
ZR_API char* _fnmset_kwdcsv_wk() { return Path().add("%s\\KWDCSV\\CSVDATA.WK", I()).done(); }
ZR_API char* _fnmset_kwdlock_cli() { return Path().add("%s\\DATA\\KWDLOCK.FIL", I()).done(); }
ZR_API char* _fnmset_kwdlock_svr() { return Path().add("%s\\USER\\KWDLOCK.FIL", S()).done(); }
ZR_API char* _fnmset_kwdttl() { return Path().add("%s\\KWDTITLE", D()).done(); }
ZR_API char* _fnmset_kwdttl_wk_svr(const char* prg) {
  return Path().add("%s\\%.4s%s\\KEYWORD\\KWDTITLE", S(), prg, rest_from_seventh(prg)).done();
}
ZR_API char* _fnmset_kwdwk_svr(std::int16_t i, std::int32_t n, const char* prg) {
  return Path()
      .add("%s\\%.4s%s\\KEYWORD\\%010d.%s", S(), prg, rest_from_seventh(prg), n, kd2dir_20as16(i))
      .done();
}
ZR_API char* _fnmset_kwdwkidx_svr(const char* prg) {
  const bool two = zrwork->kd_1 == 4 || zrwork->kd_1 == 22;
  return Path()
      .add("%s\\%.4s%s\\KEYWORD\\KWDWKIDX.FIL%s", S(), prg, rest_from_seventh(prg), two ? "2" : "")
      .done();
}
ZR_API char* _fnmset_layout_free(std::int16_t flag) {
  return Path().add("%s\\DATA\\%s0570_FREE.FIL", I(), flag == 0 ? "JT" : "WT").done();
}

ZR_API char* _fnmset_logdata(const char* prg) {
  return program_file(prg, {"NQD000", "NQD010", "NQD100"}, 4, "LOGDATA");
}

ZR_API char* _fnmset_memo(std::int16_t i, std::int32_t n, std::int32_t m) {
  char m_text[16];
  std::snprintf(m_text, sizeof m_text, "%d", m);
  return Path().add("%s\\MEMO\\ZR\\%s\\%.4s\\%d.FIL", W(), kd2dir_20as16(i), m_text, n).done();
}
ZR_API char* _fnmset_memo_ctl() { return Path().add("%s\\MEMO\\ZR\\MEMO.CTL", W()).done(); }
ZR_API char* _fnmset_para_rslt() {
  return Path().add("%s\\DATA\\RSLTPARA.%02d%d0000", I(), zrwork->kd_4, zr00->sys_kd).done();
}
ZR_API char* _fnmset_pre_rslt() {
  return Path().add("%s\\DATA\\RSLT_CTRL.%s", I(), kind_dir(zrwork->kd_4)).done();
}
ZR_API char* _fnmset_sdi_kwd() {
  // The kind folder names, except that kind 8 has none of its own here.
  const int kind = zrwork->kd_3;
  return Path().add("%s\\SDIKWD.%s", E(), kind == 8 ? "ZR" : kind_dir(kind)).done();
}
ZR_API char* _fnmset_sdigrp(std::int16_t value) {
  return sdi_base(value).add("\\SDIGRP.DAT").done();
}
ZR_API char* _fnmset_sdilst() { return Path().add("%s\\SDILST.WK", I()).done(); }
ZR_API char* _fnmset_sdittl(std::int16_t value) {
  const char* name = pick(
      zrwork->kd_3,
      {{0, "\\SDITTL"}, {7, "\\SDITTL"}, {1, "\\BSDITTL"}, {2, "\\TSDITTL"}, {5, "\\WSDITTL"}}, "");
  return sdi_base(value).add("%s.DAT", name).done();
}
ZR_API char* _fnmset_server_ini() { return Path().add("%s\\SERVER.INI", I()).done(); }
ZR_API char* _fnmset_src_base() {
  const char* name =
      pick(zrwork->kd_2, {{0, "ZW0850.FIL"}, {4, "WP0850.FIL"}, {22, "TM0850.FIL"}}, nullptr);
  if (!name) return unchanged();
  return Path().add("%s\\DATA\\%s", W(), name).done();
}

ZR_API char* _fnmset_utx(std::int16_t i, std::int16_t inq_code, std::int16_t type, std::int32_t n) {
  const char* abb = _inqkey_abb(inq_code);
  Path p;
  p.add("%s\\%s\\%s\\", D(), kd2dir(i), abb ? abb : "");
  switch (type) {
    case 0:
      p.add("CTL");
      break;
    case 1:
      p.add("IX1");
      break;
    case 2:
    case 3:
    case 4:
      p.add("IX%s_%04x", type == 2 ? "2" : type == 3 ? "A" : "B", unsigned(n));
      break;
    default:
      break;
  }
  return p.done();
}
ZR_API char* _fnmset_vtx2() { return Path().add("%s\\USER\\VTX2_EXP.FIL", I()).done(); }
ZR_API char* _fnmsetx_formset() { return Path().add("%s\\DATA\\XP0400N.FRM", W()).done(); }
