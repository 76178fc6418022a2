// Shift-JIS text primitives: the byte rule every text walk of the library
// follows, the character classifier, case folding, comparisons, the loose
// matchers used to compare trademark texts, fixed-width number fields and the
// space-trimming family. Everything works in place on NUL-terminated byte
// strings (or on a given count of bytes) and keeps no state, except the shared
// buffer of _space_get.
//
// Byte rule: a byte below 0x80 is ASCII; 0xA0-0xDF is a one-byte half-width
// katakana; any other byte of 0x81 and above starts a two-byte character whose
// trail byte is never looked at as a character of its own. 0x80 is taken as a
// one-byte character (no valid text contains it). A lead byte followed by the
// terminating NUL is taken as one byte, so no walk ever passes the terminator.
#pragma once

#include <cstddef>

#include "runtime/areas.h"
#include "platform/sjis_byte.h"

namespace zr {

// True when the byte starts a two-byte Shift-JIS character.
// True when the byte is a one-byte half-width katakana.
constexpr bool sjis_kana(unsigned char c) { return c >= 0xA0 && c <= 0xDF; }
// Length of the character at p (1 or 2); never steps over the terminating NUL.
inline int sjis_len(const unsigned char* p) { return (sjis_lead(p[0]) && p[1] != 0) ? 2 : 1; }

}  // namespace zr

// ---- classification and case --------------------------------------------------------

// Class of the character at p: 0 NUL/CR/LF/space, 1 symbols and other bytes,
// 2 digits, 3 letters, 4 hiragana, 5 katakana, 6 Greek, 7 Cyrillic, 8 kanji and
// half-width katakana.
ZR_API int _moji_type_sjis(const char* p);
// 1 when the text holds a half-width katakana character, else 0.
ZR_API int _han_kana_check(const char* text);
// Upper-cases the ASCII letters of the text in place; two-byte characters are kept.
ZR_API void _zrtoupper(char* text);
// Upper-cases ASCII letters and full-width small letters in place; the text's length.
ZR_API int _zrtoupper_ex(char* text);
ZR_API int _strlen(const char* text);

// Byte type of mbstr[count] under the code-page-932 rules: 0 single byte, 1 lead
// byte, 2 trail byte, -1 invalid (also when a NUL comes at or before count).
ZR_API int __mbsbtype(const unsigned char* mbstr, std::size_t count);
// First occurrence of sub in str that starts on a character boundary; str for an
// empty sub; null when there is none.
ZR_API unsigned char* __mbsstr(const unsigned char* str, const unsigned char* sub);

// Reverse the byte order of a 32-bit / 16-bit number in place.
ZR_API void _int_chg(void* p);
ZR_API void _short_chg(void* p);

// ---- comparison and search (ASCII letters compared without case) ----------------------

// -1, 0 or 1 over exactly count bytes.
ZR_API int _zr_memcmp(const void* a, const void* b, std::size_t count);
// -1, 0 or 1, as a string compare that ignores the case of ASCII letters.
ZR_API int _zr_strcmp(const char* a, const char* b);
// First position of text where the pattern's bytes follow (byte by byte); null
// when there is none or the text is empty; the text itself for an empty pattern.
ZR_API char* _zr_strstr(const char* text, const char* pattern);

// ---- loose matching at the start of a text ----------------------------------------------
// Each returns the number of text bytes the pattern covers, or 0 for no match.

// Shift-JIS; control bytes and blanks of the text are skipped; ASCII case folded.
ZR_API int _strcmp_sjis(const char* text, const char* pattern);
// Shift-JIS; blanks, full-width space, ▲ and ▼ skipped on both sides; look-alike
// characters, separate sound marks, small kana and dashes folded.
ZR_API int _strcmp_hlt(const char* text, const char* pattern);
// UTF-8; blanks skipped after the first character; ASCII case, dashes and small
// kana folded.
ZR_API int _strcmp_tm(const char* text, const char* pattern);
// UTF-8; as _strcmp_tm, with Latin-1 letters written as ASCII and punctuation
// taken as blanks.
ZR_API int _strcmp_utf8(const char* text, const char* pattern);

// ---- numbers from fixed-length fields ------------------------------------------------

// Reads length bytes (at most 14; more ends the process) as a decimal number, or
// as hexadecimal after "0x"/"0X".
ZR_API int _zratoi(const char* buf, int length);
// Reads length bytes (at most 14) as a decimal number.
ZR_API int _zratol(const char* buf, int length);
// Reads length bytes (at most 18) as a 64-bit decimal number.
ZR_API long long _zratoi64(const char* buf, int length);

// ---- spaces ------------------------------------------------------------------------
// The Shift-JIS forms treat both the half-width and the full-width space as a
// space; the UTF-8 forms only 0x20. Each returns the new length.

ZR_API int _space_cut1_sjis(char* text);  // removes every space
ZR_API int _space_cut2_sjis(char* text);  // removes leading and trailing spaces
ZR_API int _space_cut3_sjis(char* text);  // full-width to half-width, runs to one
ZR_API int _space_cut1_utf8(char* text);
ZR_API int _space_cut2_utf8(char* text);
ZR_API int _space_cut3_utf8(char* text);
// A process-wide buffer holding length spaces (at most 500; more ends the
// process) and a NUL; overwritten by the next call.
ZR_API char* _space_get(int length);
// Replaces the trailing half-width and full-width spaces of a field of width
// bytes by NUL bytes. Nothing is written beyond the field.
ZR_API void _null_set(char* field, int width);
