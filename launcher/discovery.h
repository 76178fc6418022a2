// The launcher's discovery of the proxy from the desktop's own settings, for
// the network settings dialog. Two procedures fill the proxy fields (pxy_host
// and pxy_port of zrconn, their copies http_proxy_host and http_proxy_port and
// proxy_use of zr00); saving them is the dialog's business:
//   - the registry procedure: the per-user Internet settings, where an
//     automatic-configuration script (or an Internet settings file naming one)
//     is downloaded into the install folder and evaluated by the system's
//     script host, before ProxyEnable and ProxyServer are looked at;
//   - the HTTP-service procedure: the user's proxy configuration as the system
//     HTTP service reads it, and where that names only a script or automatic
//     detection, the service's answer for the probe address.
// The probe address is the service's start page: "http://<host>/" on the first
// server host of ZORAX.INI.
#pragma once

#include <cstddef>
#include <string>

#include "platform/autoproxy.h"

namespace discovery {

// The registry procedure; 1 when a proxy was stored, else 0.
int proxy_use_check();
// The HTTP-service procedure; 1 when a proxy was stored, else 0.
int winhttp_check();

// An automatic-configuration address: its script evaluated and the answer's
// PROXY entry stored. True when a proxy was stored.
bool auto_config_set(const char* url);
// The script's address (the configuration address itself, or the one an
// Internet settings file names in its AutoConfigJSURL line), then the script
// run. True when the script answered.
bool read_script_file(const char* url);
// Downloads one script into the install folder and has the system's script host
// evaluate it for the probe address; the answer lands in mes_work2 of zr01.
// True when it answered.
bool exec_script(const char* url);

// The probe address and its host name.
std::string probe_url();
std::string probe_host();

// The discovery button without Ctrl: ZORAX.INI must be readable and hold its
// [Config] section (else false, nothing done); the registry procedure runs on
// a thread of its own while this one waits, ZORAX.INI is written from the
// settings, the user is told to start the program again, and the process ends.
bool rediscover_and_end();

// Fetches an http:// address with a plain GET (directly, never through a
// proxy) into file in one piece; false, with the file unchanged, when the
// address is refused, the connection fails, the answer is not 200 or is longer
// than kDownloadMax bytes.
constexpr std::size_t kDownloadMax = 256 * 1024;
bool download(const char* url, const char* file);

// The system interfaces the procedures use (tests install fakes; null members
// restore the platform's). Returns the previous set.
struct Ops {
  plat::ScriptHostLoad (*load)(plat::ScriptHost** out) = nullptr;
  bool (*init)(plat::ScriptHost* h, const char* file, int* code) = nullptr;
  bool (*query)(plat::ScriptHost* h, const char* url, const char* host, char* answer,
                std::size_t cap, std::size_t* len) = nullptr;
  bool (*deinit)(plat::ScriptHost* h) = nullptr;
  void (*unload)(plat::ScriptHost* h) = nullptr;
  bool (*user_config)(plat::UserProxyConfig* out, unsigned long* error) = nullptr;
  plat::ProxyForUrl (*for_url)(const plat::UserProxyConfig& config, const char* url,
                               unsigned long* session, std::string* proxy,
                               unsigned long* error) = nullptr;
};
Ops ops_set(const Ops& ops);

}  // namespace discovery
