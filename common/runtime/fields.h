// Bounded writes into fixed-size text fields. Every write into a field of the
// common areas or of a record goes through these helpers: the result is always
// NUL-terminated and never runs past the field. They report truncation so that a
// caller can refuse an over-long input where that matters.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstring>

namespace zr {

// Copies src (up to its NUL) into dst of capacity cap. False when src was cut.
inline bool copy(char* dst, std::size_t cap, const char* src) {
  if (cap == 0) return false;
  std::size_t n = src ? std::strlen(src) : 0;
  bool fits = n < cap;
  if (!fits) n = cap - 1;
  if (n) std::memmove(dst, src, n);
  dst[n] = '\0';
  return fits;
}

// Copies at most len bytes of src (stopping at a NUL) into dst.
inline bool copy_n(char* dst, std::size_t cap, const char* src, std::size_t len) {
  if (cap == 0) return false;
  std::size_t n = ::strnlen(src, len);
  bool fits = n < cap;
  if (!fits) n = cap - 1;
  // n never exceeds the bytes strnlen found in src; GCC's -O3 range analysis
  // cannot see that through strnlen and warns about reading past src.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
#pragma GCC diagnostic ignored "-Wstringop-overread"
  if (n) std::memmove(dst, src, n);
#pragma GCC diagnostic pop
  dst[n] = '\0';
  return fits;
}

// Appends src to the NUL-terminated text in dst. False when it was cut.
inline bool append(char* dst, std::size_t cap, const char* src) {
  std::size_t used = ::strnlen(dst, cap);
  if (used >= cap) return false;
  return copy(dst + used, cap - used, src);
}

// printf into dst. Returns the full formatted length (as vsnprintf does), so
// a result >= cap means the text was cut.
inline int vformat(char* dst, std::size_t cap, const char* fmt, std::va_list ap) {
  int n = std::vsnprintf(dst, cap, fmt, ap);
  if (n < 0 && cap) dst[0] = '\0';
  return n;
}

__attribute__((format(printf, 3, 4))) inline int format(char* dst, std::size_t cap, const char* fmt,
                                                        ...) {
  std::va_list ap;
  va_start(ap, fmt);
  int n = vformat(dst, cap, fmt, ap);
  va_end(ap);
  return n;
}

// Array forms: the capacity comes from the field's type.
template <std::size_t N>
inline bool copy(char (&dst)[N], const char* src) {
  return copy(dst, N, src);
}
template <std::size_t N>
inline bool copy_n(char (&dst)[N], const char* src, std::size_t len) {
  return copy_n(dst, N, src, len);
}
template <std::size_t N>
inline bool append(char (&dst)[N], const char* src) {
  return append(dst, N, src);
}
template <std::size_t N>
constexpr std::size_t cap_of(char (&)[N]) {
  return N;
}

}  // namespace zr

// printf into a fixed-size array field, with format checking; the capacity is
// taken from the array type, so a pointer does not compile.
#define ZR_FMT(field, ...) ::zr::format((field), ::zr::cap_of(field), __VA_ARGS__)
