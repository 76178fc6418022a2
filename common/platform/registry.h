// The per-user Internet settings of the desktop (the key that holds the proxy
// choice and the automatic-configuration address), read-only. Windows reads
// them from the registry; the native build has no registry, so the key can
// never be opened there.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plat {

// The longest value read, terminating NUL included.
constexpr std::size_t kInetSettingMax = 256;

// An open key of the Internet settings (opaque).
struct InetSettings;

// Opens the key for reading; null when it cannot be opened.
InetSettings* inet_settings_open();
// Reads a text value into out (cap bytes, at most kInetSettingMax used), always
// NUL-terminated. False when the value is missing, is not text, or does not
// fit with its NUL (a longer value is never handed over cut).
bool inet_settings_text(InetSettings* key, const char* name, char* out, std::size_t cap);
// Reads a 32-bit number value; false when it is missing or of another type.
bool inet_settings_number(InetSettings* key, const char* name, std::uint32_t* value);
// Closes the key (null is harmless).
void inet_settings_close(InetSettings* key);

}  // namespace plat
