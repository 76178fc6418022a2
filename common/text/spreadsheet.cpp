// The spreadsheet program: its version and program file from the local
// machine's registration (Windows only; the native build finds none), and the
// file names of the files handed to it.
#include <cctype>
#include <cstring>

#include "platform/platform.h"
#include "platform/registry.h"
#include "runtime/zrcommon.h"
#include "text/formats.h"
#include "text/sjis.h"

namespace {

constexpr std::size_t kPathMax = 260;

// Traces a failed registry step with the system's text for its error.
void trace_failure(const char* what, std::uint32_t error) {
  char text[256];
  plat::error_text(error, text, sizeof text);
  _dbg_print("%s", what);
  _dbg_print("code_disp msg:%s", text);
}

// Reads the default value of a key below HKEY_LOCAL_MACHINE; a failure is
// traced with the key's short name and the system's text for the error, or
// with missing_text when given and the key or value does not exist.
bool registry_text(const char* key, const char* what, char* out, std::size_t cap,
                   const char* missing_text = nullptr) {
  std::uint32_t error = 0;
  const plat::MachineRead r = plat::machine_text(key, nullptr, out, cap, &error);
  if (r == plat::MachineRead::kOk) return true;
  if (missing_text && error == 2) {
    _dbg_print("%s", missing_text);
    return false;
  }
  char line[128];
  ZR_FMT(line, "The registry is not %s (%s)",
         r == plat::MachineRead::kNotOpened ? "opened" : "read", what);
  trace_failure(line, error);
  return false;
}

bool ends_with_ci(const char* text, std::size_t len, const char* tail) {
  const std::size_t n = std::strlen(tail);
  if (len < n) return false;
  for (std::size_t i = 0; i < n; ++i)
    if (std::toupper(static_cast<unsigned char>(text[len - n + i])) != tail[i]) return false;
  return true;
}

}  // namespace

ZR_API int _xls_version_get() {
  char value[256];
  if (!registry_text("Software\\Classes\\Excel.Application\\CurVer", "CurVer", value, sizeof value))
    return -1;
  const std::size_t n = std::strlen(value);
  if (n < 2 || !std::isdigit(static_cast<unsigned char>(value[n - 2])) ||
      !std::isdigit(static_cast<unsigned char>(value[n - 1])))
    return -1;
  return (value[n - 2] - '0') * 10 + (value[n - 1] - '0');
}

ZR_API void _xls_pass_get(char* output) {
  output[0] = '\0';
  char clsid[256];
  if (!registry_text("Software\\Classes\\Excel.Application\\CLSID", "CLSID", clsid, sizeof clsid))
    return;
  char key[400];
  ZR_FMT(key, "Software\\Classes\\CLSID\\%s\\LocalServer32", clsid);
  char server[1024];
  if (!registry_text(key, "LocalServer32", server, sizeof server, "レジストリの値が存在しません。"))
    return;
  // The command line of the server: its program file ends with ".EXE".
  std::size_t n = std::strlen(server);
  for (std::size_t i = 0; i + 4 <= n; ++i) {
    if (ends_with_ci(server, i + 4, ".EXE")) {
      n = i + 4;
      break;
    }
  }
  zr::copy_n(output, kPathMax, server, n);
}

ZR_API int _xls_ext_chg(char* name, int version) {
  if (!name || !name[0]) {
    _mes_box("ファイル名が不正です", plat::kMbOk);
    return -1;
  }
  std::size_t n = std::strlen(name);
  for (const char* ext : {".XLSX", ".XLS", ".CSV"}) {
    if (ends_with_ci(name, n, ext)) {
      n -= std::strlen(ext);
      break;
    }
  }
  const char* ext = version < 12 ? ".XLS" : ".XLSX";
  std::memcpy(name + n, ext, std::strlen(ext) + 1);
  return 0;
}

ZR_API void _xls_pas_chg(const char* folder, char* name) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(name);
  for (std::size_t i = 0; s[i]; i += zr::sjis_len(s + i))
    if (s[i] == '\\') return;
  char joined[kPathMax];
  if (zr::format(joined, sizeof joined, "%s\\%s", folder, name) >= int(sizeof joined)) {
    _dbg_print("*** _xls_pas_chg path over %d bytes: %.100s ***", int(kPathMax - 1), name);
    return;
  }
  std::memcpy(name, joined, std::strlen(joined) + 1);
}
