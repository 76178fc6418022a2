// Fuzz target: the proxy detection's parsers of outside input. The first byte
// chooses the parser, the rest is its input: a ProxyServer value, a
// configuration-script address, an answer header's length field, a script
// searched for its quoted PROXY entry, a script host's answer, a proxy text
// of the HTTP service (a host without a port on port 80), or an Internet
// settings file searched for its script address. A found entry must fit its field with a
// host made of host-name characters and a port of 1..65535.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "net/proxy_check.h"

namespace {

void check_entry(zrnet::ProxyParse r, const zrnet::ProxyEntry& e) {
  if (r != zrnet::ProxyParse::kFound) return;
  const std::size_t n = ::strnlen(e.host, sizeof e.host);
  if (n == 0 || n >= sizeof e.host || e.port == 0) std::abort();
  for (std::size_t i = 0; i < n; ++i)
    if (!std::strchr("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-_",
                     e.host[i]))
      std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int which = data[0] % 7;
  // The registry hands over at most 255 bytes of text, NUL-terminated.
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  switch (which) {
    case 0: {
      zrnet::ProxyEntry e;
      check_entry(zrnet::parse_proxy_server(text.substr(0, 255).c_str(), &e), e);
      break;
    }
    case 1: {
      char server[256], path[256];
      std::uint16_t port = 0;
      if (zrnet::split_config_url(text.substr(0, 255).c_str(), server, sizeof server, path,
                                  sizeof path, &port)) {
        if (!server[0] || path[0] != '/' || port == 0) std::abort();
        for (const char* p = path; *p; ++p)
          if (static_cast<unsigned char>(*p) <= ' ') std::abort();
      }
      break;
    }
    case 2: {
      const int n = zrnet::script_length(text.data(), text.size());
      if (n < 0 || n > zrnet::kScriptMax) std::abort();
      break;
    }
    case 4: {
      // The script host's answer, cut to its 512-byte work buffer.
      zrnet::ProxyEntry e;
      bool found = false;
      const std::string answer = text.substr(0, 511);
      check_entry(zrnet::parse_answer_proxy(answer.c_str(), answer.size() + 1, &e, &found), e);
      break;
    }
    case 5: {
      zrnet::ProxyEntry e;
      const zrnet::ProxyParse r = zrnet::parse_proxy_server(text.substr(0, 1024).c_str(), &e, 80);
      check_entry(r, e);
      break;
    }
    case 6: {
      // The script address is the whole rest of the key's line and fits the field.
      std::string url;
      constexpr std::size_t kCap = 512;  // the launcher's field
      const std::size_t at = text.find("AutoConfigJSURL=");
      const zrnet::InsScript r = zrnet::ins_script_url(text, kCap, &url);
      if ((at == std::string::npos) != (r == zrnet::InsScript::kMissing)) std::abort();
      if (r == zrnet::InsScript::kFound) {
        const std::string rest = text.substr(at + 16);
        if (url.size() >= kCap || url != rest.substr(0, rest.find("\r\n"))) std::abort();
      }
      break;
    }
    default: {
      // The script as it is received: not NUL-terminated within its length.
      zrnet::ProxyEntry e;
      bool found = false;
      check_entry(zrnet::parse_script_proxy(text.data(), text.size(), &e, &found), e);
      break;
    }
  }
  return 0;
}
