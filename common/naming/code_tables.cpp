// Building the constants record and the lookups over the code tables.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "naming/table_data.h"
#include "platform/platform.h"

namespace {

// Row access that stays inside the table: an index outside 0..rows-1 reads the
// end row, whose code is -1 and whose texts are empty.
template <typename Row>
const Row& row_at(const Row* table, int rows, std::int16_t idx) {
  return table[(idx >= 0 && idx < rows) ? idx : rows];
}

// The gazette table has no end row of its own; this one stands in for it.
const ZR_KD7INF kKd7None = {-1, "", "", 0, 0};

const ZR_KD7INF& kd7_at(std::int16_t idx) {
  return (idx >= 0 && idx < kKd7InfRows) ? zr_kd7inf_tbl[idx] : kKd7None;
}

const ZR_INQKEY* inqkey_find(std::int16_t code) {
  if (code == -1) return nullptr;  // the end row is no key
  for (const ZR_INQKEY* row = zr_inqkey_tbl; row->code != -1; ++row)
    if (row->code == code) return row;
  return nullptr;
}

std::int16_t watch_find(const ZR_WATCH* table, const char* para_nm) {
  if (!para_nm) return -1;
  for (int i = 0; i < kWatchRows; ++i)
    if (std::strcmp(table[i].para_nm, para_nm) == 0) return static_cast<std::int16_t>(i);
  return -1;
}

// A two-byte Shift-JIS character in its JIS X 0208 code with the high bit of both
// bytes set, as the JIS conversion of the text functions writes it. The bracket
// strings are converted with it while the record is built.
void sjis_to_euc(char* text) {
  auto* p = reinterpret_cast<unsigned char*>(text);
  while (p[0] && p[1]) {
    unsigned lead = p[0];
    unsigned trail = p[1];
    // Only the JIS rows have an EUC form: the user-defined rows from 0xF0 up
    // stay as they are.
    bool two_byte = (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xEF);
    if (!two_byte || trail < 0x40 || trail == 0x7F || trail > 0xFC) {
      ++p;
      continue;
    }
    unsigned row = (lead - (lead < 0xA0 ? 0x71 : 0xB1)) * 2 + 1;
    if (trail > 0x7F) --trail;
    unsigned cell;
    if (trail >= 0x9E) {
      cell = trail - 0x7D;
      ++row;
    } else {
      cell = trail - 0x1F;
    }
    p[0] = static_cast<unsigned char>(row | 0x80);
    p[1] = static_cast<unsigned char>(cell | 0x80);
    p += 2;
  }
}

}  // namespace

// ---- the record --------------------------------------------------------------------------

ZRCNST* zrcnst = nullptr;

ZRCNST* _zrcnst_make() {
  auto* c = static_cast<ZRCNST*>(std::calloc(1, sizeof(ZRCNST)));
  if (!c) plat::exit_process(0);  // an area that cannot be built ends the program
  zrcnst = c;

  // The switch is decided before the bracket strings are converted, so they stay
  // in Shift-JIS when it is set. Nothing is read from the file.
  c->sjis_sw = 0;
  if (std::FILE* f = std::fopen("SHIFTJIS.ZR", "rb")) {
    c->sjis_sw = 1;
    std::fclose(f);
  }

  c->inqkey = zr_inqkey_tbl;
  c->midinf = zr_midinf_tbl;
  c->ctcd = zr_ctcd_tbl;
  c->kd2inf = zr_kd2inf_tbl;
  c->kd7inf = zr_kd7inf_tbl;
  c->kd00inf = zr_kd00inf_tbl;
  c->pubcls = zr_pubcls_tbl;
  c->kd1inf = zr_kd1inf_tbl;
  c->aulbl = zr_aulbl_tbl;
  c->kd3inf = zr_kd3inf_tbl;
  c->rgtkd = zr_rgtkd_tbl;
  c->prninf = zr_prninf_tbl;
  c->dlkd = zr_dlkd_tbl;
  c->enokey = zr_enokey_tbl;
  c->prj_wat = zr_prj_wat_tbl;
  c->srm_wat = zr_srm_wat_tbl;

  c->low_upr = zr_case_low_upr;
  c->upr_low = zr_case_upr_low;

  for (int v = 0; v < 256; ++v) {
    int bits = 0;
    for (int b = 0; b < 8; ++b) {
      c->bit_tbl[v][b] = static_cast<std::uint8_t>((v >> b) & 1);
      bits += (v >> b) & 1;
    }
    c->bit_cnt[v] = bits;
  }
  for (int b = 0; b < 8; ++b) {
    c->bit_mask[b] = static_cast<std::uint8_t>(1u << b);
    c->bit_mask[8 + b] = static_cast<std::uint8_t>(~(1u << b));
  }

  c->legal1_cnt = kLegalForms1;
  std::memcpy(c->legal1, zr_legal_forms1, sizeof c->legal1);
  c->legal2_cnt = kLegalForms2;
  std::memcpy(c->legal2, zr_legal_forms2, sizeof c->legal2);

  static const char kBrackets[4][3] = {"　", "【", "［", "。"};
  std::memcpy(c->bracket, kBrackets, sizeof c->bracket);
  if (!c->sjis_sw)
    for (auto& b : c->bracket) sjis_to_euc(b);

  return c;
}

void _zrcnst_kill() {
  std::free(zrcnst);
  // Cleared so that a use after the areas are gone fails at once instead of
  // reading freed memory.
  zrcnst = nullptr;
}

// ---- inquiry keys ------------------------------------------------------------------------

std::int16_t _inqkey_no(std::int16_t idx) { return row_at(zr_inqkey_tbl, kInqKeyRows, idx).code; }

const char* _inqkey_nm(std::int16_t code) {
  const ZR_INQKEY* row = inqkey_find(code);
  return row ? row->name : nullptr;
}

const char* _inqkey_abb(std::int16_t code) {
  const ZR_INQKEY* row = inqkey_find(code);
  return row ? row->abb : nullptr;
}

char _inqkey_kanji(std::int16_t code) {
  const ZR_INQKEY* row = inqkey_find(code);
  return row ? row->kanji : 0;
}

std::uint8_t _inqkey_mp(std::int16_t code) {
  const ZR_INQKEY* row = inqkey_find(code);
  return row ? row->mp : 0;
}

std::uint8_t _inqkey_kd2(std::int16_t code, std::int16_t kind) {
  const ZR_INQKEY* row = inqkey_find(code);
  // A kind outside the row's availability bytes applies to no key.
  if (!row || kind < 0 || kind >= kInqKeyKinds) return 0;
  return row->kd2[kind];
}

// ---- countries ---------------------------------------------------------------------------

std::int16_t _ctcd_inf_c2n(const char* ctcd) {
  // Only the first two bytes count; a text shorter than two letters matches no row.
  if (!ctcd || !ctcd[0] || !ctcd[1]) return -1;
  for (int i = 0; i < kCtcdRows; ++i) {
    const char* code = zr_ctcd_tbl[i].ctcd;
    if (code[0] == ctcd[0] && code[1] == ctcd[1]) return static_cast<std::int16_t>(i);
  }
  return -1;
}

const char* _ctcd_inf_n2c(std::int16_t idx) { return row_at(zr_ctcd_tbl, kCtcdRows, idx).ctcd; }

// ---- data kinds --------------------------------------------------------------------------

std::int16_t _kd2inf_no(std::int16_t idx) { return row_at(zr_kd2inf_tbl, kKd2InfRows, idx).code; }
const char* _kd2inf_dir(std::int16_t idx) { return row_at(zr_kd2inf_tbl, kKd2InfRows, idx).dir; }
const char* _kd2inf_nm(std::int16_t idx) { return row_at(zr_kd2inf_tbl, kKd2InfRows, idx).name; }
const char* _kd2inf_abb(std::int16_t idx) { return row_at(zr_kd2inf_tbl, kKd2InfRows, idx).abb; }
std::uint8_t _kd2inf_kd0(std::int16_t idx) { return row_at(zr_kd2inf_tbl, kKd2InfRows, idx).kd0; }
std::uint8_t _kd2inf_kd1(std::int16_t idx) { return row_at(zr_kd2inf_tbl, kKd2InfRows, idx).kd1; }
std::uint8_t _kd2inf_kd3(std::int16_t idx) { return row_at(zr_kd2inf_tbl, kKd2InfRows, idx).kd3; }
std::uint8_t _kd2inf_au(std::int16_t idx) { return row_at(zr_kd2inf_tbl, kKd2InfRows, idx).au; }

// ---- gazettes ----------------------------------------------------------------------------

std::int16_t _kd7inf_no(std::int16_t idx) { return kd7_at(idx).code; }
const char* _kd7inf_dir(std::int16_t idx) { return kd7_at(idx).dir; }
const char* _kd7inf_nm(std::int16_t idx) { return kd7_at(idx).name; }
std::uint8_t _kd7inf_kd00(std::int16_t idx) { return kd7_at(idx).kd00; }
std::uint8_t _kd7inf_kd0(std::int16_t idx) { return kd7_at(idx).kd0; }

// ---- document-number prefixes ------------------------------------------------------------

std::int16_t _enokey_no(std::int16_t cmd, const char* text) {
  if (!text) return -1;
  for (int i = 0; i < kEnoKeyRows; ++i) {
    const ZR_ENOKEY& row = zr_enokey_tbl[i];
    // strncmp stops at the end of a shorter text; the prefixes hold no NUL.
    if (row.cmd == cmd && std::strncmp(text, row.nm, row.klng) == 0)
      return static_cast<std::int16_t>(i);
  }
  return -1;
}

std::int16_t _enokey_cmd(std::int16_t idx) { return row_at(zr_enokey_tbl, kEnoKeyRows, idx).cmd; }
const char* _enokey_nm(std::int16_t idx) { return row_at(zr_enokey_tbl, kEnoKeyRows, idx).nm; }
std::int16_t _enokey_klng(std::int16_t idx) { return row_at(zr_enokey_tbl, kEnoKeyRows, idx).klng; }
std::uint8_t _enokey_au(std::int16_t idx) { return row_at(zr_enokey_tbl, kEnoKeyRows, idx).au; }

// ---- print formats -----------------------------------------------------------------------

const char* _prninf_nm(std::int16_t idx) { return row_at(zr_prninf_tbl, kPrnInfRows, idx).nm; }
const char* _prninf_pdf_nm(std::int16_t idx) {
  return row_at(zr_prninf_tbl, kPrnInfRows, idx).pdf_nm;
}
const char* _prninf_srt_nm(std::int16_t idx) {
  return row_at(zr_prninf_tbl, kPrnInfRows, idx).srt_nm;
}

// ---- watch statuses ----------------------------------------------------------------------

std::int16_t _prj_wat_no(const char* para_nm) { return watch_find(zr_prj_wat_tbl, para_nm); }
const char* _prj_wat_para_nm(std::int16_t idx) {
  return row_at(zr_prj_wat_tbl, kWatchRows, idx).para_nm;
}
const char* _prj_wat_sts_nm(std::int16_t idx) {
  return row_at(zr_prj_wat_tbl, kWatchRows, idx).sts_nm;
}
const char* _prj_wat_abb_nm(std::int16_t idx) {
  return row_at(zr_prj_wat_tbl, kWatchRows, idx).abb_nm;
}

std::int16_t _srm_wat_no(const char* para_nm) { return watch_find(zr_srm_wat_tbl, para_nm); }
const char* _srm_wat_para_nm(std::int16_t idx) {
  return row_at(zr_srm_wat_tbl, kWatchRows, idx).para_nm;
}
const char* _srm_wat_sts_nm(std::int16_t idx) {
  return row_at(zr_srm_wat_tbl, kWatchRows, idx).sts_nm;
}
const char* _srm_wat_abb_nm(std::int16_t idx) {
  return row_at(zr_srm_wat_tbl, kWatchRows, idx).abb_nm;
}

// ---- message names -----------------------------------------------------------------------

const char* zr_message_name(int mid) {
  for (int i = 0; i < kMidInfRows; ++i)
    if (zr_midinf_tbl[i].mid == mid) return zr_midinf_tbl[i].name;
  return zr_midinf_tbl[kMidInfRows].name;  // "*** Unknown MID ***"
}

bool zr_message_known(int mid) {
  for (int i = 0; i < kMidInfRows; ++i)
    if (zr_midinf_tbl[i].mid == mid) return true;
  return false;
}
