// Text helpers of the reference server: Shift-JIS (CP932) <-> UTF-8 through the
// system's iconv, and the masking of secrets in logged texts.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace refsrv {

// UTF-8 text to Shift-JIS; nullopt when the text has no Shift-JIS form.
std::optional<std::string> to_sjis(std::string_view utf8);
// Shift-JIS text to UTF-8; nullopt when a byte is no Shift-JIS character.
std::optional<std::string> from_sjis(std::string_view sjis);
// Shift-JIS text to UTF-8 for the log: bytes that are no Shift-JIS character and
// control characters are written as \xHH.
std::string to_log(std::string_view sjis);
// Replaces bytes [from, from + n) of text by asterisks (as far as they exist).
void mask(std::string& text, std::size_t from, std::size_t n);

}  // namespace refsrv
