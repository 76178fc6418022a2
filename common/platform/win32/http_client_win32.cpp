// WinINet behind the system HTTP client surface. Every handle of the surface is
// a WinINet handle (HINTERNET) under an opaque name.
#include <windows.h>
#include <wininet.h>

#include <cstdlib>
#include <cstring>

#include "platform/http_client.h"

namespace plat {
namespace {

HINTERNET h(const void* p) { return const_cast<void*>(p); }
template <typename T>
T* as(HINTERNET handle) {
  return static_cast<T*>(handle);
}

}  // namespace

HttpSession* http_session_open(const char* proxy) {
  HINTERNET s =
      proxy ? InternetOpenA("", INTERNET_OPEN_TYPE_PROXY, proxy, nullptr, INTERNET_FLAG_DONT_CACHE)
            : InternetOpenA("", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr,
                            INTERNET_FLAG_DONT_CACHE);
  return as<HttpSession>(s);
}

bool http_set_receive_timeout(HttpSession* s, unsigned long ms) {
  DWORD value = ms;
  return InternetSetOptionA(h(s), INTERNET_OPTION_RECEIVE_TIMEOUT, &value, sizeof value) != FALSE;
}

HttpConnection* http_connect(HttpSession* s, const char* host, bool secure) {
  const INTERNET_PORT port = secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
  return as<HttpConnection>(InternetConnectA(h(s), host, port, nullptr, nullptr,
                                             INTERNET_SERVICE_HTTP,
                                             secure ? INTERNET_FLAG_SECURE : 0, 0));
}

HttpRequest* http_open_request(HttpConnection* c, const char* verb, const char* object,
                               unsigned flags) {
  DWORD f = 0;
  if (flags & kHttpReload) f |= INTERNET_FLAG_RELOAD;
  if (flags & kHttpKeepConnection) f |= INTERNET_FLAG_KEEP_CONNECTION;
  if (flags & kHttpSecure) f |= INTERNET_FLAG_SECURE;
  if (flags & kHttpIgnoreCertName) f |= INTERNET_FLAG_IGNORE_CERT_CN_INVALID;
  if (flags & kHttpIgnoreCertDate) f |= INTERNET_FLAG_IGNORE_CERT_DATE_INVALID;
  return as<HttpRequest>(HttpOpenRequestA(h(c), verb, object, "HTTP/1.1", nullptr, nullptr, f, 0));
}

bool http_add_headers(HttpRequest* r, const char* lines, std::size_t len) {
  return HttpAddRequestHeadersA(h(r), lines, static_cast<DWORD>(len),
                                HTTP_ADDREQ_FLAG_ADD_IF_NEW) != FALSE;
}

int http_send(HttpRequest* r, const void* body, std::size_t len) {
  if (HttpSendRequestA(h(r), nullptr, 0, const_cast<void*>(body), static_cast<DWORD>(len)))
    return 0;
  const DWORD e = GetLastError();
  return e ? static_cast<int>(e) : -1;
}

int http_status(HttpRequest* r) {
  DWORD code = 0;
  DWORD size = sizeof code;
  if (!HttpQueryInfoA(h(r), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code, &size, nullptr))
    return -1;
  return static_cast<int>(code);
}

long http_content_length(HttpRequest* r) {
  DWORD value = 0;
  DWORD size = sizeof value;
  if (!HttpQueryInfoA(h(r), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &value, &size,
                      nullptr))
    return -1;
  return static_cast<long>(value);
}

bool http_raw_headers(HttpRequest* r, char* out, std::size_t cap) {
  if (cap == 0) return false;
  out[0] = '\0';
  DWORD size = static_cast<DWORD>(cap - 1);
  if (HttpQueryInfoA(h(r), HTTP_QUERY_RAW_HEADERS_CRLF, out, &size, nullptr)) {
    out[size < cap ? size : cap - 1] = '\0';
    return true;
  }
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
  // Longer than the buffer: read it whole and keep its beginning.
  char* whole = static_cast<char*>(std::malloc(size + 1));
  if (!whole) return false;
  DWORD got = size;
  bool ok = HttpQueryInfoA(h(r), HTTP_QUERY_RAW_HEADERS_CRLF, whole, &got, nullptr) != FALSE;
  if (ok) {
    const std::size_t n = got < cap - 1 ? got : cap - 1;
    std::memcpy(out, whole, n);
    out[n] = '\0';
  }
  std::free(whole);
  return ok;
}

long http_read(HttpRequest* r, void* buf, std::size_t len) {
  DWORD got = 0;
  if (!InternetReadFile(h(r), buf, static_cast<DWORD>(len), &got)) return -1;
  return static_cast<long>(got);
}

unsigned long http_password_dialog(HttpRequest* r) {
  return InternetErrorDlg(GetDesktopWindow(), h(r), ERROR_INTERNET_INCORRECT_PASSWORD,
                          FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS | FLAGS_ERROR_UI_FLAGS_GENERATE_DATA,
                          nullptr);
}

bool http_set_proxy_credentials(HttpRequest* r, const char* user, const char* pass) {
  return InternetSetOptionA(h(r), INTERNET_OPTION_PROXY_USERNAME, const_cast<char*>(user),
                            static_cast<DWORD>(std::strlen(user))) != FALSE &&
         InternetSetOptionA(h(r), INTERNET_OPTION_PROXY_PASSWORD, const_cast<char*>(pass),
                            static_cast<DWORD>(std::strlen(pass))) != FALSE;
}

void http_close(HttpRequest* r) {
  if (r) InternetCloseHandle(h(r));
}
void http_close(HttpConnection* c) {
  if (c) InternetCloseHandle(h(c));
}
void http_close(HttpSession* s) {
  if (s) InternetCloseHandle(h(s));
}

unsigned long http_last_error() { return GetLastError(); }

}  // namespace plat
