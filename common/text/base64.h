// Base64 with the standard alphabet (A-Z a-z 0-9 + /), "=" padding and no line
// breaks; it protects the stored proxy and service credentials.
#pragma once

#include <string>
#include <string_view>

#include "runtime/areas.h"

// mode 0 encodes length bytes of source into target and returns the number of
// characters written (no NUL is added: target needs 4 * ((length + 2) / 3)
// bytes). Any other mode decodes at most length characters of source, stopping at
// the first character outside the alphabet ("=", a line break, the NUL), and
// returns the number of bytes written to target (at most 3 * length / 4).
ZR_API int _conv_base64(int mode, const char* source, char* target, int length);

namespace zr {
// The same encoding over strings: the Base64 text of bytes, and the bytes of
// a Base64 text (decoding stops where _conv_base64 stops).
std::string base64_encode(std::string_view bytes);
std::string base64_decode(std::string_view text);
}  // namespace zr
