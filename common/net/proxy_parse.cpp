// The parsing of the proxy detection's outside input: ProxyServer values,
// automatic-configuration addresses, the script answer's length field and the
// script's first quoted PROXY entry, the script address of an Internet settings
// file. Hosts must be made of host-name characters
// and fit the 64-byte field (a longer one is refused, never cut); ports must lie
// in 1..65535.
#include <cstring>
#include <string>
#include <string_view>

#include "net/proxy_check.h"
#include "runtime/fields.h"

namespace {

constexpr int kScriptMax = zrnet::kScriptMax;

bool host_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '-' || c == '_';
}

// Checks a host text and stores it.
zrnet::ProxyParse take_host(std::string_view host, zrnet::ProxyEntry* out) {
  if (host.empty()) return zrnet::ProxyParse::kBadHost;
  for (char c : host)
    if (!host_char(c)) return zrnet::ProxyParse::kBadHost;
  if (host.size() >= sizeof out->host) return zrnet::ProxyParse::kHostTooLong;
  zr::copy_n(out->host, host.data(), host.size());
  return zrnet::ProxyParse::kFound;
}

// The decimal digits at the start of text, up to the first non-digit: a port
// of 1..65535, or 0 when there are no digits or the number is out of range.
std::uint16_t take_port(std::string_view text) {
  long v = 0;
  std::size_t i = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    v = v * 10 + (text[i] - '0');
    if (v > 65535) return 0;
  }
  return static_cast<std::uint16_t>(v);
}

// The host before the first ":" of text and the port after it.
zrnet::ProxyParse host_and_port(std::string_view text, zrnet::ProxyEntry* out) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) return zrnet::ProxyParse::kNoPort;
  zrnet::ProxyParse r = take_host(text.substr(0, colon), out);
  if (r != zrnet::ProxyParse::kFound) return r;
  out->port = take_port(text.substr(colon + 1));
  if (!out->port) {
    out->host[0] = '\0';
    return zrnet::ProxyParse::kBadPort;
  }
  return zrnet::ProxyParse::kFound;
}

}  // namespace

namespace zrnet {

// The body length named by the header's "Length: " field: the number when it
// is 0..4096, else 4095 (a larger, negative or missing value).
int script_length(const char* header, std::size_t len) {
  std::string_view hdr(header, len);
  const std::size_t at = hdr.find("Length: ");
  if (at == std::string_view::npos) return kScriptMax - 1;
  std::string_view digits = hdr.substr(at + 8);
  long v = 0;
  std::size_t i = 0;
  for (; i < digits.size() && digits[i] >= '0' && digits[i] <= '9'; ++i) {
    v = v * 10 + (digits[i] - '0');
    if (v > kScriptMax) return kScriptMax - 1;
  }
  if (i == 0) return kScriptMax - 1;
  return static_cast<int>(v);
}

ProxyParse parse_proxy_server(const char* text, ProxyEntry* out, std::uint16_t port_when_none) {
  std::string_view v(text);
  const std::size_t http = v.find("http=");
  if (http != std::string_view::npos) v.remove_prefix(http + 5);
  // The settings also take a proxy written as an address ("http://host:port");
  // its scheme is not part of the host.
  constexpr std::string_view kScheme = "http://";
  if (v.size() > kScheme.size()) {
    bool scheme = true;
    for (std::size_t i = 0; i < kScheme.size() && scheme; ++i)
      scheme = (v[i] >= 'A' && v[i] <= 'Z' ? v[i] - 'A' + 'a' : v[i]) == kScheme[i];
    if (scheme) v.remove_prefix(kScheme.size());
  }
  const std::size_t colon = v.find(':');
  if (colon == std::string_view::npos) {
    if (!port_when_none) return ProxyParse::kNoPort;
    ProxyParse r = take_host(v, out);
    if (r == ProxyParse::kFound) out->port = port_when_none;
    return r;
  }
  if (v.substr(0, colon).starts_with("socks=")) {
    out->host[0] = '\0';
    return ProxyParse::kSocks;
  }
  return host_and_port(v, out);
}

ProxyParse parse_answer_proxy(const char* answer, std::size_t len, ProxyEntry* out, bool* found) {
  std::string_view v(answer, ::strnlen(answer, len));
  const std::size_t at = v.find("PROXY");
  *found = at != std::string_view::npos;
  if (!*found) return ProxyParse::kNoPort;
  v.remove_prefix(at + 5);
  while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
  return host_and_port(v, out);
}

ProxyParse parse_script_proxy(const char* script, std::size_t len, ProxyEntry* out, bool* found) {
  std::string_view v(script, ::strnlen(script, len));
  const std::size_t at = v.find("\"PROXY");
  *found = at != std::string_view::npos;
  if (!*found) return ProxyParse::kNoPort;
  v.remove_prefix(at + 6);
  while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
  return host_and_port(v, out);
}

bool split_config_url(const char* url, char* server, std::size_t server_cap, char* path,
                      std::size_t path_cap, std::uint16_t* port) {
  if (server_cap) server[0] = '\0';
  if (path_cap) path[0] = '\0';
  std::string_view v(url);
  constexpr std::string_view kScheme = "http://";
  if (v.size() < kScheme.size()) return false;
  for (std::size_t i = 0; i < kScheme.size(); ++i) {
    char c = v[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kScheme[i]) return false;
  }
  v.remove_prefix(kScheme.size());

  const std::size_t end = v.find_first_of("/?#");
  std::string_view authority = v.substr(0, end);
  std::string_view rest = end == std::string_view::npos ? std::string_view() : v.substr(end);

  std::uint16_t p = 80;
  const std::size_t colon = authority.find(':');
  std::string_view host = authority.substr(0, colon);
  if (colon != std::string_view::npos) {
    std::string_view digits = authority.substr(colon + 1);
    if (digits.empty()) return false;
    for (char c : digits)
      if (c < '0' || c > '9') return false;
    p = take_port(digits);
    if (!p) return false;
  }
  if (host.empty() || host.size() >= server_cap) return false;
  for (char c : host)
    if (!host_char(c)) return false;

  for (char c : rest)
    if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f) return false;
  // The fragment never goes to the server.
  rest = rest.substr(0, rest.find('#'));
  std::string_view req_path = rest.empty() ? std::string_view("/") : rest;
  if (req_path.size() >= path_cap) return false;

  zr::copy_n(server, server_cap, host.data(), host.size());
  if (req_path.front() == '/') {
    zr::copy_n(path, path_cap, req_path.data(), req_path.size());
  } else {
    // A query straight after the server: the path is the root.
    if (req_path.size() + 1 >= path_cap) return false;
    path[0] = '/';
    zr::copy_n(path + 1, path_cap - 1, req_path.data(), req_path.size());
  }
  *port = p;
  return true;
}

InsScript ins_script_url(std::string_view text, std::size_t cap, std::string* url) {
  constexpr std::string_view kKey = "AutoConfigJSURL=";
  const std::size_t at = text.find(kKey);
  if (at == std::string_view::npos) return InsScript::kMissing;
  std::string_view value = text.substr(at + kKey.size());
  value = value.substr(0, value.find("\r\n"));
  if (value.size() >= cap) return InsScript::kTooLong;
  url->assign(value);
  return InsScript::kFound;
}

}  // namespace zrnet
