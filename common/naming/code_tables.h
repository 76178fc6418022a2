// The constants record and the code tables of the service: search keys, message
// names, countries, data kinds, gazettes, number prefixes, print formats and watch
// statuses, with the kana case pairs and the code-conversion switch read by the
// Shift-JIS conversions. _zrcnst_make builds the record once per process; the
// lookups below read one field of a row by its index, or find a row by its key.
//
// Every text is Shift-JIS, NUL-terminated inside a fixed-width field (the width
// includes the NUL). Every row starts with a 16-bit code; every table but the
// gazette table ends with a row whose code is -1.
#pragma once

#include <cstdint>

#ifndef ZR_API
#define ZR_API extern "C"
#endif

// ---- table rows ---------------------------------------------------------------------
// The tables never reach a file or the wire, so their rows keep the natural
// alignment of their fields (a 16-bit code may be followed by a padding byte).

constexpr int kInqKeyRows = 232;
constexpr int kInqKeyKinds = 54;  // availability bytes per inquiry key

// Inquiry (search) key.
struct ZR_INQKEY {
  std::int16_t code;
  char name[21];
  char abb[14];
  char kanji;                      // '1' free-text key, '0' numbers, dates, codes
  std::uint8_t mp;                 // 1 on the keys of the examination-progress data
  std::uint8_t kd2[kInqKeyKinds];  // byte k: 1 where the key applies to data kind k
};

constexpr int kMidInfRows = 248;

// Message name of a message ID.
struct ZR_MIDINF {
  std::int16_t mid;
  std::uint8_t pad[3];  // always zero
  char name[31];
};
static_assert(sizeof(ZR_MIDINF) == 36);

constexpr int kCtcdRows = 111;

// Country (code equals the row index).
struct ZR_CTCD {
  std::int16_t code;
  char ctcd[14];  // two letters of WIPO ST.3, NUL-filled
  char name[45];
};

constexpr int kKd2InfRows = 61;

// Data kind.
struct ZR_KD2INF {
  std::int16_t code;
  char dir[3];  // data folder of the kind; two kinds may share one
  char name[41];
  char abb[14];
  std::uint8_t kd0;  // 0 unexamined and published kinds, 1 examined and granted
  std::uint8_t kd1;  // kind group (row of the kind-group table)
  std::uint8_t kd2;  // kind number
  std::uint8_t kd3;  // document part (row of the document-part table)
  std::uint8_t au;   // 0 patent, 1 utility model
  std::uint8_t ext[6];
};

constexpr int kKd7InfRows = 12;  // no end row

// Gazette (code equals the row index).
struct ZR_KD7INF {
  std::int16_t code;
  char dir[5];
  char name[21];
  std::uint8_t kd00;  // data-group number
  std::uint8_t kd0;   // gazette code
};

// Data group (rows numbered like the kd00 values of the gazette table).
struct ZR_KD00INF {
  std::int16_t code;
  char name[20];
  char dir[4];
};

// Publication class.
struct ZR_PUBCLS {
  std::int16_t code;
  char name[9];
  char letter[2];
};

// Kind group (rows numbered like kd1 of the data-kind table).
struct ZR_KD1INF {
  std::int16_t code;
  char name[13];
  char srt_nm[7];
};

// Right-kind label.
struct ZR_AULBL {
  std::int16_t code;
  char name[11];
  char label[11];
};

// Document part (rows numbered like kd3 of the data-kind table).
struct ZR_KD3INF {
  std::int16_t code;
  char name[9];
};

// Right kind.
struct ZR_RGTKD {
  std::int16_t code;
  char letter[2];
  char name[13];
  char name_en[10];
};

constexpr int kPrnInfRows = 22;

// Print format (code equals the row index).
struct ZR_PRNINF {
  std::int16_t code;
  char nm[21];
  char pdf_nm[23];
  char srt_nm[17];
};

// Download kind.
struct ZR_DLKD {
  std::int16_t code;
  char name[37];
};

constexpr int kEnoKeyRows = 22;

// Document-number prefix (code equals the row index). Within a number kind a
// longer prefix stands before a shorter one that begins it.
struct ZR_ENOKEY {
  std::int16_t code;
  std::int16_t cmd;  // number kind: inquiry code 1, 5, 9 or 11
  char nm[21];
  std::int16_t klng;  // prefix length in bytes
  std::uint8_t au;
};

constexpr int kWatchRows = 38;

// Watch status (code equals the row index); the project-watch and the SRM-watch
// tables have the same rows.
struct ZR_WATCH {
  std::int16_t code;
  char para_nm[16];
  char sts_nm[48];
  char abb_nm[18];
};

// ---- the constants record -------------------------------------------------------------

constexpr int kCasePairs = 24;

// Kana case pairs: a character found among the from-slots becomes the to-slot of
// the same index. Each slot is a two-byte Shift-JIS character and a NUL.
struct ZR_CASE_TBL {
  std::int16_t cnt;
  char from[kCasePairs][3];
  char to[kCasePairs][3];
};

constexpr int kLegalForms1 = 50;
constexpr int kLegalForms2 = 71;

struct ZRCNST {
  // The static tables, in this order.
  const ZR_INQKEY* inqkey;
  const ZR_MIDINF* midinf;
  const ZR_CTCD* ctcd;
  const ZR_KD2INF* kd2inf;
  const ZR_KD7INF* kd7inf;
  const ZR_KD00INF* kd00inf;
  const ZR_PUBCLS* pubcls;
  const ZR_KD1INF* kd1inf;
  const ZR_AULBL* aulbl;
  const ZR_KD3INF* kd3inf;
  const ZR_RGTKD* rgtkd;
  const ZR_PRNINF* prninf;
  const ZR_DLKD* dlkd;
  const ZR_ENOKEY* enokey;

  ZR_CASE_TBL low_upr;  // small to capital (_conv_low_upr_sjis)
  ZR_CASE_TBL upr_low;  // capital to small (_conv_upr_low_sjis)

  std::uint8_t bit_tbl[256][8];  // entry v: the bits of v, least significant first, as 0/1
  std::int32_t bit_cnt[256];     // entry v: number of 1 bits in v
  std::uint8_t bit_mask[16];     // 0x01 ... 0x80, then their complements 0xFE ... 0x7F

  std::int16_t legal1_cnt;
  char legal1[kLegalForms1][21];
  std::int16_t legal2_cnt;
  char legal2[kLegalForms2][30];

  // "　", "【", "［" and "。" in their JIS (EUC) form, or in Shift-JIS while the
  // code-conversion switch is set.
  char bracket[4][3];

  // 1 when "SHIFTJIS.ZR" could be opened in the current folder when the record was
  // built; the JIS conversions then leave their text unchanged.
  std::uint8_t sjis_sw;

  const ZR_WATCH* prj_wat;
  const ZR_WATCH* srm_wat;
};

// ---- building ---------------------------------------------------------------------------

// The constants record of this process, valid from _zrcnst_make to _zrcnst_kill.
extern ZRCNST* zrcnst;

// Builds the record, stores it in zrcnst and returns it.
ZR_API ZRCNST* _zrcnst_make();
// Frees the record and clears zrcnst.
ZR_API void _zrcnst_kill();

// ---- lookups ------------------------------------------------------------------------------
// Texts are pointers into the tables; the caller must not change or free them. An
// index outside a table's rows reads as its end row: code -1, empty texts, zero
// bytes.

// Inquiry keys: by row index, or by inquiry code (null / 0 when no row has it).
ZR_API std::int16_t _inqkey_no(std::int16_t idx);
ZR_API const char* _inqkey_nm(std::int16_t code);
ZR_API const char* _inqkey_abb(std::int16_t code);
ZR_API char _inqkey_kanji(std::int16_t code);  // '0', '1', or the value 0
ZR_API std::uint8_t _inqkey_mp(std::int16_t code);
ZR_API std::uint8_t _inqkey_kd2(std::int16_t code, std::int16_t kind);

// Countries.
ZR_API std::int16_t _ctcd_inf_c2n(const char* ctcd);  // row index, or -1
ZR_API const char* _ctcd_inf_n2c(std::int16_t idx);

// Data kinds, by row index.
ZR_API std::int16_t _kd2inf_no(std::int16_t idx);
ZR_API const char* _kd2inf_dir(std::int16_t idx);
ZR_API const char* _kd2inf_nm(std::int16_t idx);
ZR_API const char* _kd2inf_abb(std::int16_t idx);
ZR_API std::uint8_t _kd2inf_kd0(std::int16_t idx);
ZR_API std::uint8_t _kd2inf_kd1(std::int16_t idx);
ZR_API std::uint8_t _kd2inf_kd3(std::int16_t idx);
ZR_API std::uint8_t _kd2inf_au(std::int16_t idx);

// Gazettes, by row index.
ZR_API std::int16_t _kd7inf_no(std::int16_t idx);
ZR_API const char* _kd7inf_dir(std::int16_t idx);
ZR_API const char* _kd7inf_nm(std::int16_t idx);
ZR_API std::uint8_t _kd7inf_kd00(std::int16_t idx);
ZR_API std::uint8_t _kd7inf_kd0(std::int16_t idx);

// Document-number prefixes.
ZR_API std::int16_t _enokey_no(std::int16_t cmd, const char* text);  // row index, or -1
ZR_API std::int16_t _enokey_cmd(std::int16_t idx);
ZR_API const char* _enokey_nm(std::int16_t idx);
ZR_API std::int16_t _enokey_klng(std::int16_t idx);
ZR_API std::uint8_t _enokey_au(std::int16_t idx);

// Print formats, by row index.
ZR_API const char* _prninf_nm(std::int16_t idx);
ZR_API const char* _prninf_pdf_nm(std::int16_t idx);
ZR_API const char* _prninf_srt_nm(std::int16_t idx);

// Watch statuses: the row whose parameter name equals the whole text, or -1.
ZR_API std::int16_t _prj_wat_no(const char* para_nm);
ZR_API const char* _prj_wat_para_nm(std::int16_t idx);
ZR_API const char* _prj_wat_sts_nm(std::int16_t idx);
ZR_API const char* _prj_wat_abb_nm(std::int16_t idx);
ZR_API std::int16_t _srm_wat_no(const char* para_nm);
ZR_API const char* _srm_wat_para_nm(std::int16_t idx);
ZR_API const char* _srm_wat_sts_nm(std::int16_t idx);
ZR_API const char* _srm_wat_abb_nm(std::int16_t idx);

// Message names, for the exported _midinf_nm and _midinf_chk and the transport's
// trace lines. They read the static table, so they work before the record exists.
// The name of the first entry with that ID, or "*** Unknown MID ***".
const char* zr_message_name(int mid);
// True when the ID is in the table.
bool zr_message_known(int mid);

// ---- message names ------------------------------------------------------------------

// The name of a message ID ("*** Unknown MID ***" for an ID not in the table).
ZR_API const char* _midinf_nm(int mid);
// 1 when the ID is in the message-name table, 0 when not.
ZR_API int _midinf_chk(int mid);
