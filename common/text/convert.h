// Width, case and code conversions of Shift-JIS texts: half width to full width
// (with the look-alike folding of trademark texts), full width to half width,
// case and small-kana folding, hiragana and katakana, kanji numerals, markup
// entities, and the JIS (EUC) code conversions. Texts are NUL-terminated; a
// target must be large enough (a half-width to full-width conversion can double
// the length). Each returns the resulting length in bytes unless said otherwise.
#pragma once

#include <cstdint>

#include "runtime/areas.h"

// ---- half width to full width ------------------------------------------------------

// Full width, then look-alikes folded (へべぺ → ヘベペ, り → リ, 工力夕卜二口 →
// エカタトニロ, ゐゑ → いえ, ヰヱ → イエ) and sound marks that directly follow
// their character combined with it.
ZR_API int _conv_h2z_htx(const char* source, char* target);
// As _conv_h2z_htx, with full-width small letters made capitals first.
ZR_API int _conv_h2z_vtx(const char* source, char* target);
// Full width, only ゐゑヰヱ folded, every ▲ and ▼ dropped, sound marks combined.
ZR_API int _conv_h2z_vtx2(const char* source, char* target);
// Full width: the five XML entities as ＞＜＆’”, CR LF kept, other control
// bytes dropped (with a trace line), one-byte characters in their full-width
// form, two-byte characters copied.
ZR_API int _conv_mb_h2z(const char* source, char* target);
// In place: one-byte characters but the space in their full-width form; a
// length above 1999 gives -1 and changes nothing. The text needs room for
// twice its length.
ZR_API int _conv_h2z(char* text, int length);
// Exactly length bytes of one-byte text; a byte without a full-width form is
// left out.
ZR_API int _conv_han2zen(const char* source, char* target, int length);
// Only ASCII digits and letters in full width; everything else copied.
ZR_API int _conv_han2zen_pa(const char* source, char* target);
// In place on UTF-16 characters: ASCII signs, digits and letters in full
// width. Returns the length in bytes.
ZR_API int _conv_wc_h2z(std::uint16_t* text);
// In place, only the look-alike folding (without ゐゑヰヱ): 1 when something
// changed, else 0.
ZR_API int _conv_hepebe(char* text);

// ---- full width to half width -----------------------------------------------------------

// length bytes of the source: "；" to ",", the dashes and 一 to "-", other
// characters with a one-byte form to it, everything else copied.
ZR_API int _conv_zen2han(const char* source, char* target, int length);
// UTF-8: full-width digits and letters to ASCII, everything else copied.
ZR_API int _conv_zen2han_utf8(const char* source, char* target);

// ---- case and small kana -----------------------------------------------------------------

// In place through the small-to-capital / capital-to-small pair tables.
ZR_API int _conv_low_upr_sjis(char* text);
ZR_API int _conv_upr_low_sjis(char* text);
// In place: ASCII and full-width letters upper-cased, other two-byte characters
// through the small-to-capital table.
ZR_API int _conv_low_upr_pa(char* text);
// In place: small kana to normal size, ヵヶ to カケ, the dashes to ─.
ZR_API int _conv_low_upr_vtx(char* text);
// In place, UTF-8: the dashes and 一 to ─, small and half-width katakana of
// the vowels, ヤユヨ and ツ to the normal full-width forms.
ZR_API void _conv_low_upr_utf8(char* text);
// In place: opening brackets to 『, closing brackets to 』.
ZR_API int _conv_low_upr_kak(char* text);

// ---- kana ------------------------------------------------------------------------------------

ZR_API int _conv_kana_h2k(char* text);  // hiragana to katakana, in place
ZR_API int _conv_kana_k2h(char* text);  // katakana to hiragana (ヴヵヶ stay), in place

// ---- kanji numerals --------------------------------------------------------------------------

// In place: 〇 to 九 as ０ to ９.
ZR_API int _conv_kanji_no(char* text);
// In place: the formal numerals 壱弐参肆伍陸漆捌玖拾佰仟 as 一二三四五六七八九十百千.
ZR_API int _conv_kyuji_no(char* text);
// Numbers written with 千, 百 and 十 (and full-width digits) as full-width digits.
ZR_API int _conv_kanji_keta(const char* source, char* target);

// ---- markup ------------------------------------------------------------------------------------

// XML escaping; an "&" that starts &gt; &lt; &quot; &apos; is kept.
ZR_API int _conv_k2o(const char* source, char* target);
// In place: the entities of spreadsheet markup (&le; &ge; &comma; quotes, &bgr;).
ZR_API int _conv_o2k_xls(char* text);

// ---- JIS (EUC) and Shift-JIS -----------------------------------------------------------------
// All three leave the text as it is while the code-conversion switch of zrcnst
// is set; the JIS to Shift-JIS forms then return -1.

// In place: every two-byte character of the 94 rows as its JIS X 0208 code
// with the high bit of both bytes set; characters of the user-defined and
// extension rows (lead byte 0xF0 and above), which have no such code, stay.
ZR_API int _conv_sjis_jis(char* text);
// In place: every pair of high-bit bytes of the 94 rows and cells as its
// Shift-JIS code; a high-bit byte that starts no such pair is dropped.
ZR_API int _conv_jis_sjis(char* text);
// The same over the first length bytes; the rest of the text moves up behind
// them. Returns the converted part's new length.
ZR_API int _conv_jis_sjis_n(char* text, int length);
