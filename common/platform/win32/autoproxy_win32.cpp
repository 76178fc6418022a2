// The proxy-script host of Windows: jsproxy.dll, loaded on demand, with the
// address helpers handed to it as its helper table.
#include <windows.h>
#include <wininet.h>

#include <cstddef>
#include <cstring>
#include <new>

#include "platform/autoproxy.h"

namespace {

BOOL WINAPI helper_is_resolvable(LPSTR host) { return plat::is_resolvable(host) ? TRUE : FALSE; }
DWORD WINAPI helper_ip_address(LPSTR out, LPDWORD len) {
  unsigned long n = *len;
  const unsigned long status = plat::own_ip_address(out, &n);
  *len = n;
  return status;
}
DWORD WINAPI helper_resolve(LPSTR host, LPSTR out, LPDWORD len) {
  unsigned long n = *len;
  const unsigned long status = plat::resolve_host_name(host, out, &n);
  *len = n;
  return status;
}
BOOL WINAPI helper_in_net(LPSTR address, LPSTR network, LPSTR mask) {
  return plat::is_in_net(address, network, mask) ? TRUE : FALSE;
}

// The script host's later versions call the IPv6-era helpers that follow the
// four of the older header (dnsResolveEx, isInNetEx, sortIpAddressList ...):
// the table holds all nine entries, so that such a script never calls through
// memory past its end. The "Ex" forms answer with the IPv4 helpers; a prefix
// test is never a match; a list is kept in its order.
BOOL WINAPI helper_in_net_ex(LPSTR, LPSTR) { return FALSE; }
DWORD WINAPI helper_sort_list(LPSTR list, LPSTR out, LPDWORD len) {
  const std::size_t n = std::strlen(list);
  if (!out || !len || *len <= n) {
    if (len) *len = static_cast<DWORD>(n + 1);
    return ERROR_INSUFFICIENT_BUFFER;
  }
  std::memcpy(out, list, n + 1);
  *len = static_cast<DWORD>(n + 1);
  return ERROR_SUCCESS;
}

struct HelperTable {
  BOOL(WINAPI* is_resolvable)(LPSTR);
  DWORD(WINAPI* ip_address)(LPSTR, LPDWORD);
  DWORD(WINAPI* resolve)(LPSTR, LPSTR, LPDWORD);
  BOOL(WINAPI* in_net)(LPSTR, LPSTR, LPSTR);
  BOOL(WINAPI* is_resolvable_ex)(LPSTR);
  DWORD(WINAPI* ip_address_ex)(LPSTR, LPDWORD);
  DWORD(WINAPI* resolve_ex)(LPSTR, LPSTR, LPDWORD);
  BOOL(WINAPI* in_net_ex)(LPSTR, LPSTR);
  DWORD(WINAPI* sort_list)(LPSTR, LPSTR, LPDWORD);
};
static_assert(offsetof(HelperTable, in_net) == offsetof(AutoProxyHelperVtbl, IsInNet));

const HelperTable kHelperTable = {helper_is_resolvable, helper_ip_address,    helper_resolve,
                                  helper_in_net,        helper_is_resolvable, helper_ip_address,
                                  helper_resolve,       helper_in_net_ex,     helper_sort_list};
AutoProxyHelperFunctions g_helpers = {reinterpret_cast<const AutoProxyHelperVtbl*>(&kHelperTable)};

}  // namespace

namespace plat {

struct ScriptHost {
  HMODULE lib;
  pfnInternetInitializeAutoProxyDll init;
  pfnInternetDeInitializeAutoProxyDll deinit;
  pfnInternetGetProxyInfo query;
};

ScriptHostLoad script_host_load(ScriptHost** out) {
  HMODULE lib = LoadLibraryA("jsproxy.dll");
  if (!lib) return ScriptHostLoad::kNoLibrary;
  auto* h = new (std::nothrow) ScriptHost{lib, nullptr, nullptr, nullptr};
  if (!h) {
    FreeLibrary(lib);
    return ScriptHostLoad::kNoLibrary;
  }
  h->init = reinterpret_cast<pfnInternetInitializeAutoProxyDll>(
      reinterpret_cast<void*>(GetProcAddress(lib, "InternetInitializeAutoProxyDll")));
  h->deinit = reinterpret_cast<pfnInternetDeInitializeAutoProxyDll>(
      reinterpret_cast<void*>(GetProcAddress(lib, "InternetDeInitializeAutoProxyDll")));
  h->query = reinterpret_cast<pfnInternetGetProxyInfo>(
      reinterpret_cast<void*>(GetProcAddress(lib, "InternetGetProxyInfo")));
  if (!h->init || !h->deinit || !h->query) {
    script_host_unload(h);
    return ScriptHostLoad::kNoEntry;
  }
  *out = h;
  return ScriptHostLoad::kOk;
}

bool script_host_init(ScriptHost* h, const char* script_file, int* code) {
  char file[MAX_PATH + 1] = {};
  const std::size_t n = std::strlen(script_file);
  if (n >= sizeof file) return false;
  std::memcpy(file, script_file, n);
  const BOOL ok = h->init(0, file, nullptr, &g_helpers, nullptr);
  *code = ok;
  return ok != FALSE;
}

bool script_host_query(ScriptHost* h, const char* url, const char* host, char* answer,
                       std::size_t cap, std::size_t* len) {
  // The host reads the address and the host name from buffers of fixed size.
  char url_buf[1025] = {};
  char host_buf[256] = {};
  const std::size_t ul = std::strlen(url), hl = std::strlen(host);
  if (ul >= sizeof url_buf || hl >= sizeof host_buf || cap == 0) return false;
  std::memcpy(url_buf, url, ul);
  std::memcpy(host_buf, host, hl);
  LPSTR result = nullptr;
  DWORD result_len = 0;
  if (!h->query(url_buf, static_cast<DWORD>(ul), host_buf, static_cast<DWORD>(hl), &result,
                &result_len) ||
      !result)
    return false;
  // The length may count the terminating NUL; the text ends at the first one.
  std::size_t n = strnlen(result, result_len);
  *len = n;
  if (n >= cap) n = cap - 1;
  std::memcpy(answer, result, n);
  answer[n] = '\0';
  GlobalFree(result);
  return true;
}

bool script_host_deinit(ScriptHost* h) { return h->deinit(nullptr, 0) != FALSE; }

void script_host_unload(ScriptHost* h) {
  if (!h) return;
  FreeLibrary(h->lib);
  delete h;
}

}  // namespace plat
