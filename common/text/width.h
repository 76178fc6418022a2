// The standard width mapping of code page 932 between a one-byte character
// and its two-byte form: ASCII 0x20-0x7E and the half-width katakana
// 0xA1-0xDF, both ways. Two-byte codes have the lead byte high.
#pragma once

namespace zr::width {

// The two-byte form of a one-byte character, or 0 when it has none.
unsigned full_of(unsigned char c);
// The one-byte form of a two-byte character, or -1 when it has none.
int half_of(unsigned code);

}  // namespace zr::width
