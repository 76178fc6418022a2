// The per-user Internet settings from the registry: HKEY_CURRENT_USER's
// "Software\Microsoft\Windows\CurrentVersion\Internet Settings", opened for
// reading, values read with a 256-byte limit; and text values of the local
// machine's keys.
#include <windows.h>

#include "platform/registry.h"

namespace plat {

struct InetSettings {
  HKEY key;
};

InetSettings* inet_settings_open() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER,
                    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", 0, KEY_READ,
                    &key) != ERROR_SUCCESS)
    return nullptr;
  return new InetSettings{key};
}

namespace {

// Reads a text value of an open key into out (cap bytes, at most limit used),
// always NUL-terminated. A value that does not fit with its NUL, or is not
// text, is not handed over; *rc is the system's answer (ERROR_MORE_DATA or
// ERROR_INVALID_DATA for those two).
bool read_text(HKEY key, const char* name, char* out, std::size_t cap, std::size_t limit,
               LONG* rc) {
  out[0] = '\0';
  if (limit > cap) limit = cap;
  DWORD type = 0;
  DWORD size = static_cast<DWORD>(limit);
  // A value longer than the limit answers ERROR_MORE_DATA and is not used.
  *rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(out), &size);
  if (*rc != ERROR_SUCCESS) {
    out[0] = '\0';
    return false;
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ) {
    out[0] = '\0';
    *rc = ERROR_INVALID_DATA;
    return false;
  }
  // A stored text need not end with its NUL: one that fills the whole limit
  // without it does not fit.
  if (size > 0 && out[size - 1] == '\0') return true;
  if (size >= limit) {
    out[0] = '\0';
    *rc = ERROR_MORE_DATA;
    return false;
  }
  out[size] = '\0';
  return true;
}

}  // namespace

bool inet_settings_text(InetSettings* s, const char* name, char* out, std::size_t cap) {
  if (!cap) return false;
  out[0] = '\0';
  if (!s) return false;
  LONG rc = 0;
  return read_text(s->key, name, out, cap, kInetSettingMax, &rc);
}

bool inet_settings_number(InetSettings* s, const char* name, std::uint32_t* value) {
  if (!s) return false;
  DWORD type = 0;
  DWORD v = 0;
  DWORD size = sizeof v;
  if (RegQueryValueExA(s->key, name, nullptr, &type, reinterpret_cast<BYTE*>(&v), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof v)
    return false;
  *value = v;
  return true;
}

void inet_settings_close(InetSettings* s) {
  if (!s) return;
  RegCloseKey(s->key);
  delete s;
}

MachineRead machine_text(const char* key_name, const char* name, char* out, std::size_t cap,
                         std::uint32_t* error) {
  if (!cap) return MachineRead::kNotRead;
  out[0] = '\0';
  HKEY key = nullptr;
  LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, key_name, 0, KEY_READ, &key);
  if (rc != ERROR_SUCCESS) {
    if (error) *error = static_cast<std::uint32_t>(rc);
    return MachineRead::kNotOpened;
  }
  const bool ok = read_text(key, name, out, cap, cap, &rc);
  RegCloseKey(key);
  if (ok) return MachineRead::kOk;
  if (error) *error = static_cast<std::uint32_t>(rc);
  return MachineRead::kNotRead;
}

void error_text(std::uint32_t code, char* out, std::size_t cap) {
  if (!cap) return;
  out[0] = '\0';
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           code, 0, out, static_cast<DWORD>(cap), nullptr);
  while (n > 0 && (out[n - 1] == '\r' || out[n - 1] == '\n' || out[n - 1] == ' ')) out[--n] = '\0';
}

}  // namespace plat
