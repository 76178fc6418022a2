// The Shift-JIS byte rule, at the bottom of the library so that every layer
// (the platform's own path handling included) uses the one test: bytes
// 0x81-0x9F and 0xE0-0xFF start a two-byte character, 0xA0-0xDF are half-width
// katakana. No operating-system header is needed.
#pragma once

namespace zr {

constexpr bool sjis_lead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || c >= 0xE0; }

}  // namespace zr
