// Proxy settings detection from the desktop's per-user Internet settings: the
// automatic-configuration script (fetched over plain HTTP and searched for its
// first quoted PROXY entry, never evaluated), then ProxyEnable and ProxyServer.
// Everything read from the registry and from the network is treated as hostile:
// copies are bounded, hosts that do not fit the 64-byte field are refused rather
// than cut, and ports must lie in 1..65535.
#include "net/proxy_check.h"

#include <cstring>
#include <string_view>

#include "net/socket.h"
#include "platform/net.h"
#include "runtime/zrcommon.h"

namespace {

zrnet::InetSettingsOps g_ops{plat::inet_settings_open, plat::inet_settings_text,
                             plat::inet_settings_number, plat::inet_settings_close};

// Closes the settings key on every path.
class SettingsKey {
 public:
  SettingsKey() : key_(g_ops.open()) {}
  ~SettingsKey() { close(); }
  SettingsKey(const SettingsKey&) = delete;
  SettingsKey& operator=(const SettingsKey&) = delete;
  explicit operator bool() const { return key_ != nullptr; }
  bool text(const char* name, char* out, std::size_t cap) {
    return key_ && g_ops.text(key_, name, out, cap);
  }
  bool number(const char* name, std::uint32_t* value) {
    return key_ && g_ops.number(key_, name, value);
  }
  void close() {
    if (key_) g_ops.close(key_);
    key_ = nullptr;
  }

 private:
  plat::InetSettings* key_;
};

// Closes the script connection on every path.
class Connection {
 public:
  explicit Connection(int s) : s_(s) {}
  ~Connection() { close(); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  int get() const { return s_; }
  void close() {
    if (s_) zwsock_close(s_);
    s_ = 0;
  }

 private:
  int s_;
};

// The longest wait for one receive of the script step: a peer that stops
// answering ends the step instead of holding the caller for ever.
constexpr int kReceiveWaitMs = 30000;
// The header of an answer and the script are each at most this many bytes.
constexpr int kHeaderMax = zrnet::kScriptMax;
constexpr int kScriptMax = zrnet::kScriptMax;
// Interim answers skipped before the final one; a peer that keeps sending them
// ends the step.
constexpr int kInterimMax = 16;
// Texts from outside are cut to this many bytes in a trace line.
constexpr int kTraceCut = 128;

// The library's detection keeps the proxy for the transport only (it writes
// no settings file), so every parsed entry is kept.
bool store(const zrnet::ProxyEntry& e) {
  zr::copy(zr00->http_proxy_host, e.host);
  zr00->http_proxy_port = e.port;
  zr00->proxy_use = 1;
  _dbg_print("Proxy used host:%s port:%d", zr00->http_proxy_host, zr00->http_proxy_port);
  return true;
}

// One receive with the step's wait: the bytes received, 0 when the peer
// closed, -1 on failure (*ecd the socket error code; a time-out is 10060).
long receive(int s, char* buf, std::size_t cap, int* ecd) {
  const int w = plat::wait_readable(s, kReceiveWaitMs);
  if (w <= 0) {
    *ecd = w == 0 ? plat::kWsaEtimedout : plat::net_last_error();
    return -1;
  }
  const long n = plat::recv(s, buf, cap);
  if (n < 0) *ecd = plat::net_last_error();
  return n;
}

enum class HeaderEnd { kDone, kFailed };

// Reads one answer header a byte at a time until it ends with an empty line,
// kHeaderMax bytes were read, or the peer closed. hdr holds kHeaderMax + 1
// bytes; *len the bytes read.
HeaderEnd read_header(int s, char* hdr, int* len) {
  std::memset(hdr, 0, kHeaderMax + 1);
  int n = 0;
  while (n < kHeaderMax) {
    int ecd = 0;
    const long got = receive(s, hdr + n, 1, &ecd);
    if (got < 0) {
      _mes_print("HDR Receive Error : %d", ecd);
      return HeaderEnd::kFailed;
    }
    if (got == 0) break;
    ++n;
    if (n >= 4 && std::memcmp(hdr + n - 4, "\r\n\r\n", 4) == 0) break;
  }
  *len = n;
  return HeaderEnd::kDone;
}

// The script step: fetches the script named by the address and takes its first
// quoted PROXY entry. True when an entry was found and stored.
bool auto_config_set(const char* url) {
  _dbg_print("auto_config_set : %.*s", kTraceCut * 2, url);

  zrnet::ConfigAddress a;
  if (!zrnet::config_address(url, "auto_config_set", &a)) return false;

  Connection conn(zwsock_open(a.port, a.server));
  if (!conn.get()) return false;

  char request[sizeof a.path + 32];
  const int rlen = ZR_FMT(request, "GET %s HTTP/1.1\r\n\r\n", a.path);
  if (rlen <= 0 || rlen >= static_cast<int>(sizeof request)) return false;
  if (!zwsock_write(conn.get(), request, rlen)) return false;

  char hdr[kHeaderMax + 1];
  int hlen = 0;
  int interim = 0;
  for (;;) {
    if (read_header(conn.get(), hdr, &hlen) != HeaderEnd::kDone) return false;
    if (std::string_view(hdr, static_cast<std::size_t>(hlen)).find("Continue") ==
        std::string_view::npos)
      break;
    if (++interim > kInterimMax) {
      _dbg_print("auto_config_set : more than %d interim answers", kInterimMax);
      return false;
    }
  }

  const int want = zrnet::script_length(hdr, static_cast<std::size_t>(hlen));
  // One byte more than the longest script for its terminating NUL.
  char script[kScriptMax + 1];
  std::memset(script, 0, sizeof script);
  long got = 0;
  if (want > 0) {
    int ecd = 0;
    got = receive(conn.get(), script, static_cast<std::size_t>(want), &ecd);
    if (got < 0) {
      _dbg_print("auto_config_set : script receive failed (%d)", ecd);
      got = 0;
    }
  }
  script[got] = '\0';
  conn.close();

  zrnet::ProxyEntry entry;
  bool found = false;
  zrnet::ProxyParse r =
      zrnet::parse_script_proxy(script, static_cast<std::size_t>(got), &entry, &found);
  if (r != zrnet::ProxyParse::kFound) {
    if (found) zrnet::trace_refused("auto_config_set : PROXY", r, std::strstr(script, "\"PROXY"));
    return false;
  }
  store(entry);
  return true;
}

}  // namespace

namespace zrnet {

InetSettingsOps inet_settings_ops_set(const InetSettingsOps& ops) {
  InetSettingsOps previous = g_ops;
  const bool restore = !ops.open || !ops.text || !ops.number || !ops.close;
  g_ops = restore ? InetSettingsOps{plat::inet_settings_open, plat::inet_settings_text,
                                    plat::inet_settings_number, plat::inet_settings_close}
                  : ops;
  return previous;
}

}  // namespace zrnet

namespace zrnet {

void trace_refused(const char* what, ProxyParse r, const char* text) {
  switch (r) {
    case ProxyParse::kBadHost:
      _dbg_print("%s host refused (not a host name): %.*s", what, kTraceCut, text);
      break;
    case ProxyParse::kHostTooLong:
      _dbg_print("%s host refused (longer than 63 characters): %.*s", what, kTraceCut, text);
      break;
    case ProxyParse::kBadPort:
      _dbg_print("%s port refused (not 1-65535): %.*s", what, kTraceCut, text);
      break;
    default:
      break;
  }
}

bool config_address(const char* url, const char* who, ConfigAddress* a) {
  if (split_config_url(url, a->server, sizeof a->server, a->path, sizeof a->path, &a->port))
    return true;
  _dbg_print("%s : address refused: %.*s", who, kTraceCut, url);
  return false;
}

int settings_proxy_check(const SettingsSteps& steps) {
  SettingsKey key;
  if (!key) {
    _dbg_print("proxy_use_check RegOpenKeyEx Error");
    zr00->proxy_use = 0;
    return 0;
  }

  char value[plat::kInetSettingMax];
  if (key.text("AutoConfigURL", value, sizeof value) && steps.auto_config(value)) {
    key.close();
    return 1;
  }

  std::uint32_t enable = 0;
  if (!key.number("ProxyEnable", &enable)) {
    _dbg_print("ProxyEnable not found");
    key.close();
    zr00->proxy_use = 0;
    return 0;
  }
  if (enable == 0) {
    key.close();
    _dbg_print("ProxyEnable is False");
    zr00->proxy_use = 0;
    return 0;
  }

  if (!key.text("ProxyServer", value, sizeof value)) {
    _dbg_print("ProxyServer not found");
    key.close();
    zr00->proxy_use = 0;
    return 0;
  }
  key.close();
  if (steps.verbose) _dbg_print("ProxyServer : %.*s", kTraceCut, value);

  ProxyEntry entry;
  const ProxyParse r = parse_proxy_server(value, &entry);
  if (r != ProxyParse::kFound) {
    if (r == ProxyParse::kSocks) {
      steps.socks();
      if (steps.verbose) _dbg_print("Socks Used");
    }
    trace_refused("ProxyServer", r, value);
    zr00->proxy_use = 0;
    return 0;
  }
  if (!steps.store(entry)) {
    zr00->proxy_use = 0;
    return 0;
  }
  return 1;
}

}  // namespace zrnet

int zwsock_proxy_check() {
  return zrnet::settings_proxy_check(
      {auto_config_set, store, [] { zr00->http_proxy_host[0] = '\0'; }});
}
