// Base64 encoding and decoding for the credential files.
#include "text/base64.h"

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int value_of(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

int encode(const unsigned char* in, char* out, int length) {
  int o = 0;
  for (int i = 0; i < length; i += 3) {
    int rest = length - i;
    unsigned v = unsigned(in[i]) << 16;
    if (rest > 1) v |= unsigned(in[i + 1]) << 8;
    if (rest > 2) v |= in[i + 2];
    out[o++] = kAlphabet[(v >> 18) & 0x3F];
    out[o++] = kAlphabet[(v >> 12) & 0x3F];
    out[o++] = rest > 1 ? kAlphabet[(v >> 6) & 0x3F] : '=';
    out[o++] = rest > 2 ? kAlphabet[v & 0x3F] : '=';
  }
  return o;
}

int decode(const unsigned char* in, unsigned char* out, int length) {
  int o = 0;
  unsigned bits = 0;
  int nbits = 0;
  for (int i = 0; i < length; ++i) {
    int v = value_of(in[i]);
    if (v < 0) break;
    bits = (bits << 6) | unsigned(v);
    nbits += 6;
    if (nbits >= 8) {
      nbits -= 8;
      out[o++] = static_cast<unsigned char>((bits >> nbits) & 0xFF);
    }
  }
  return o;
}

}  // namespace

ZR_API int _conv_base64(int mode, const char* source, char* target, int length) {
  if (!source || !target || length <= 0) return 0;
  const auto* in = reinterpret_cast<const unsigned char*>(source);
  if (mode == 0) return encode(in, target, length);
  return decode(in, reinterpret_cast<unsigned char*>(target), length);
}

namespace zr {

std::string base64_encode(std::string_view bytes) {
  std::string out(4 * ((bytes.size() + 2) / 3), '\0');
  const int n = _conv_base64(0, bytes.data(), out.data(), static_cast<int>(bytes.size()));
  out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return out;
}

std::string base64_decode(std::string_view text) {
  std::string out(3 * text.size() / 4 + 3, '\0');
  const int n = _conv_base64(1, text.data(), out.data(), static_cast<int>(text.size()));
  out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return out;
}

}  // namespace zr
