// Proxy settings detection: whether the desktop's per-user Internet settings
// send web traffic through a proxy, and which one. The automatic-configuration
// script named there is fetched and searched first; otherwise ProxyEnable and
// ProxyServer decide. The result lands in proxy_use, http_proxy_host and
// http_proxy_port of zr00.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/registry.h"
#include "runtime/areas.h"

// 1 when a proxy was found and stored (proxy_use 1), 0 otherwise (proxy_use 0).
ZR_API int zwsock_proxy_check();

namespace zrnet {

// The Internet settings as the detection reads them (tests install a fake;
// null members restore the platform's). Returns the previous set.
struct InetSettingsOps {
  plat::InetSettings* (*open)() = nullptr;
  bool (*text)(plat::InetSettings* key, const char* name, char* out, std::size_t cap) = nullptr;
  bool (*number)(plat::InetSettings* key, const char* name, std::uint32_t* value) = nullptr;
  void (*close)(plat::InetSettings* key) = nullptr;
};
InetSettingsOps inet_settings_ops_set(const InetSettingsOps& ops);

// The longest script read (and the longest answer header).
constexpr int kScriptMax = 4096;

// The script's length from its answer header (len bytes): the number after
// "Length: " when it is 0..4096; 4095 when it is larger, missing or no number.
int script_length(const char* header, std::size_t len);

// A proxy entry as it is stored in zr00.
struct ProxyEntry {
  char host[64] = "";
  std::uint16_t port = 0;
};

enum class ProxyParse {
  kFound,        // host and port are set
  kNoPort,       // no ":" after the host
  kSocks,        // the setting names only a SOCKS proxy
  kBadHost,      // empty, or not made of host-name characters
  kHostTooLong,  // longer than the 63 characters the field holds
  kBadPort,      // no digits, 0, or beyond 65535
};

// A ProxyServer value: the entry after "http=" when there is one, else the
// whole text; the host up to the first ":", the port's digits after it. With
// port_when_none set, an entry without ":" is a host on that port instead of
// kNoPort.
ProxyParse parse_proxy_server(const char* text, ProxyEntry* out, std::uint16_t port_when_none = 0);

// A fetched configuration script (len bytes, not evaluated): the entry of the
// first double quote followed by PROXY, the spaces after it skipped, the host
// up to the next ":", the port's digits after it. kNoPort also when there is no
// such entry at all (*found false).
ProxyParse parse_script_proxy(const char* script, std::size_t len, ProxyEntry* out, bool* found);

// A proxy script host's answer ("PROXY host:port; DIRECT", len bytes): the
// entry after the first PROXY, the spaces after it skipped, the host up to the
// next ":", the port's digits after it. *found tells whether there was a PROXY.
ProxyParse parse_answer_proxy(const char* answer, std::size_t len, ProxyEntry* out, bool* found);

// The script address an Internet settings (.ins) file names: the text after
// its first "AutoConfigJSURL=" up to the next CR LF (or the end). kFound with
// *url set; kMissing without the key; kTooLong when the address would not fit
// cap bytes with its NUL.
enum class InsScript { kFound, kMissing, kTooLong };
InsScript ins_script_url(std::string_view text, std::size_t cap, std::string* url);

// The trace line of a refused entry (what names the source); the source text
// is cut.
void trace_refused(const char* what, ProxyParse r, const char* text);

// The registry steps of a detection: the AutoConfigURL value handed to
// auto_config (true: it found and stored a proxy), then ProxyEnable and
// ProxyServer. An entry found there goes to store (false: it was not kept); a
// ProxyServer naming only a SOCKS proxy calls socks. proxy_use of zr00 is 0 on
// every path without a proxy. 1 when a proxy was stored, else 0. With verbose the ProxyServer
// value and the SOCKS case are traced too.
struct SettingsSteps {
  bool (*auto_config)(const char* url);
  bool (*store)(const ProxyEntry& e);
  void (*socks)();
  bool verbose = false;
};
int settings_proxy_check(const SettingsSteps& steps);

// An automatic-configuration address "http://server[:port][/path]": server,
// path ("/" when there is none) and port (80 when there is none). False for
// another scheme, an empty or over-long server, a bad port, or a path with
// spaces or control bytes.
bool split_config_url(const char* url, char* server, std::size_t server_cap, char* path,
                      std::size_t path_cap, std::uint16_t* port);

// An automatic-configuration address split by split_config_url.
struct ConfigAddress {
  char server[256] = "";
  char path[512] = "";
  std::uint16_t port = 0;
};
// Splits url into a; false, traced as "<who> : address refused: <url>", when
// the address is refused.
bool config_address(const char* url, const char* who, ConfigAddress* a);

}  // namespace zrnet
