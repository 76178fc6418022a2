// The system HTTP service's view of the user's proxy settings (WinHTTP): the
// current user's Internet settings and the proxy for one address.
#include <windows.h>
#include <winhttp.h>

#include "platform/autoproxy.h"

namespace {

// A wide text in the system code page ("" for null).
std::string narrow(const wchar_t* w) {
  if (!w || !*w) return {};
  const int n = WideCharToMultiByte(CP_ACP, 0, w, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return {};
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, w, -1, out.data(), n, nullptr, nullptr);
  out.resize(static_cast<std::size_t>(n - 1));
  return out;
}

std::wstring widen(const std::string& s) {
  if (s.empty()) return {};
  const int n = MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, nullptr, 0);
  if (n <= 1) return {};
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, out.data(), n);
  out.resize(static_cast<std::size_t>(n - 1));
  return out;
}

}  // namespace

namespace plat {

bool user_proxy_config(UserProxyConfig* out, unsigned long* error) {
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG c = {};
  if (!WinHttpGetIEProxyConfigForCurrentUser(&c)) {
    *error = GetLastError();
    return false;
  }
  out->auto_detect = c.fAutoDetect != FALSE;
  out->auto_config_url = narrow(c.lpszAutoConfigUrl);
  out->proxy = narrow(c.lpszProxy);
  out->bypass = narrow(c.lpszProxyBypass);
  if (c.lpszAutoConfigUrl) GlobalFree(c.lpszAutoConfigUrl);
  if (c.lpszProxy) GlobalFree(c.lpszProxy);
  if (c.lpszProxyBypass) GlobalFree(c.lpszProxyBypass);
  return true;
}

ProxyForUrl proxy_for_url(const UserProxyConfig& config, const char* url, unsigned long* session,
                          std::string* proxy, unsigned long* error) {
  proxy->clear();
  *session = 0;
  HINTERNET s = WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                            WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC);
  *session = static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(s));
  if (!s) {
    *error = GetLastError();
    return ProxyForUrl::kFailed;
  }
  const std::wstring wide_url = widen(url);
  const std::wstring config_url = widen(config.auto_config_url);
  WINHTTP_AUTOPROXY_OPTIONS options = {};
  if (config.auto_detect) {
    options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
    options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
  } else {
    options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
    options.lpszAutoConfigUrl = config_url.c_str();
  }
  options.fAutoLogonIfChallenged = TRUE;
  WINHTTP_PROXY_INFO info = {};
  if (!WinHttpGetProxyForUrl(s, wide_url.c_str(), &options, &info)) {
    *error = GetLastError();
    WinHttpCloseHandle(s);
    return ProxyForUrl::kFailed;
  }
  *proxy = narrow(info.lpszProxy);
  if (info.lpszProxy) GlobalFree(info.lpszProxy);
  if (info.lpszProxyBypass) GlobalFree(info.lpszProxyBypass);
  WinHttpCloseHandle(s);
  return proxy->empty() ? ProxyForUrl::kDirect : ProxyForUrl::kProxy;
}

}  // namespace plat
