// The per-user Internet settings from the registry: HKEY_CURRENT_USER's
// "Software\Microsoft\Windows\CurrentVersion\Internet Settings", opened for
// reading, values read with a 256-byte limit.
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

bool inet_settings_text(InetSettings* s, const char* name, char* out, std::size_t cap) {
  if (!cap) return false;
  out[0] = '\0';
  if (!s) return false;
  const std::size_t limit = cap < kInetSettingMax ? cap : kInetSettingMax;
  DWORD type = 0;
  DWORD size = static_cast<DWORD>(limit);
  // A value longer than the limit answers ERROR_MORE_DATA and is not used.
  if (RegQueryValueExA(s->key, name, nullptr, &type, reinterpret_cast<BYTE*>(out), &size) !=
      ERROR_SUCCESS) {
    out[0] = '\0';
    return false;
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ) {
    out[0] = '\0';
    return false;
  }
  // A stored text need not end with its NUL: one that fills the whole limit
  // without it does not fit.
  if (size > 0 && out[size - 1] == '\0') return true;
  if (size >= limit) {
    out[0] = '\0';
    return false;
  }
  out[size] = '\0';
  return true;
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

}  // namespace plat
