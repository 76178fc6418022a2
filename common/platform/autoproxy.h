// The desktop's own proxy discovery: the system's proxy-script host (which
// evaluates an automatic-configuration script), the address helpers it calls
// back, and the system HTTP service's view of the user's proxy settings.
// Windows has them in jsproxy.dll and WinHTTP; the native build has neither, so
// the script host cannot be loaded and the HTTP service answers nothing there.
// The address helpers work on both.
#pragma once

#include <cstddef>
#include <string>

namespace plat {

// ---- the proxy-script host -------------------------------------------------------

struct ScriptHost;  // opaque

enum class ScriptHostLoad {
  kOk,
  kNoLibrary,  // the script host's library cannot be loaded
  kNoEntry,    // one of its three entry points is missing
};
// Loads the script host; *out is set only on kOk.
ScriptHostLoad script_host_load(ScriptHost** out);
// Hands the script file to the host with the address helpers below as its
// helper table; *code is the host's result. False when the host refuses it.
bool script_host_init(ScriptHost* h, const char* script_file, int* code);
// The script's answer for url on host (at most cap - 1 bytes, NUL-terminated;
// *len its length before any cut). False when the host gives none.
bool script_host_query(ScriptHost* h, const char* url, const char* host, char* answer,
                       std::size_t cap, std::size_t* len);
// Shuts the script down; false when the host reports a failure.
bool script_host_deinit(ScriptHost* h);
// Unloads the library (null is harmless).
void script_host_unload(ScriptHost* h);

// ---- the address helpers of the script host -----------------------------------

// Status codes of the helpers.
enum : unsigned long {
  kResolveOk = 0,
  kResolveNoMemory = 8,
  kResolveBufferSmall = 122,
  kResolveNoHostName = 12004,
  kResolveNotResolved = 12007,
};
// A host's address as text: a numeric host (IPv4 or IPv6) is answered as it
// stands, a name with its first IPv4 address. *len is the buffer's size on entry
// and the text's length on success; when the buffer is too small it becomes the
// size needed (text and NUL) and the status is kResolveBufferSmall.
unsigned long resolve_host_name(const char* host, char* out, unsigned long* len);
// Whether the host resolves (into a 254-byte buffer).
bool is_resolvable(const char* host);
// The computer's own address (its host name resolved); kResolveNoHostName when
// it has no name.
unsigned long own_ip_address(char* out, unsigned long* len);
// Whether address lies in network under mask; all three dotted IPv4 texts.
bool is_in_net(const char* address, const char* network, const char* mask);

// ---- the HTTP service's proxy settings --------------------------------------------

// The current user's proxy settings as the HTTP service reads them, in the
// system code page.
struct UserProxyConfig {
  bool auto_detect = false;
  std::string auto_config_url, proxy, bypass;
};
// False (*error the system's error code) when the service cannot read them.
bool user_proxy_config(UserProxyConfig* out, unsigned long* error);

enum class ProxyForUrl { kProxy, kDirect, kFailed };
// Asks the HTTP service for the proxy of url: by automatic detection (DHCP and
// DNS) when auto_detect, else through the configuration script at
// auto_config_url. *session is the service session's handle value (for the
// trace), *proxy the answer, *error the system's error code on kFailed.
ProxyForUrl proxy_for_url(const UserProxyConfig& config, const char* url, unsigned long* session,
                          std::string* proxy, unsigned long* error);

}  // namespace plat
