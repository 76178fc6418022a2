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

// ---- the local machine's keys (the spreadsheet program's registration) ----------

enum class MachineRead { kOk, kNotOpened, kNotRead };

// Reads a text value of a key below HKEY_LOCAL_MACHINE (name null: the key's
// default value) into out, always NUL-terminated (empty on failure). On failure
// *error is the system's error code (2 when the key or value does not exist).
// The native build has no registry: every key is absent there.
MachineRead machine_text(const char* key, const char* name, char* out, std::size_t cap,
                         std::uint32_t* error);
// The system's message text of an error code, without its line end.
void error_text(std::uint32_t code, char* out, std::size_t cap);

}  // namespace plat
