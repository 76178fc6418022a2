// The launcher's proxy discovery (see discovery.h). Everything read from the
// registry, the HTTP service, a downloaded file or the script's answer is
// outside input: copies are bounded, texts are cut in trace lines, and a host
// that does not fit the 64-byte fields is refused with a trace line.
#include "discovery.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "net/proxy_check.h"
#include "net/stream.h"
#include "net/tunnel.h"
#include "platform/desktop.h"
#include "platform/net.h"
#include "platform/platform.h"
#include "runtime/zrcommon.h"
#include "zrlib.h"

namespace {

// Texts from outside are cut to this many bytes in a trace line.
constexpr int kTraceCut = 128;
// The script host reads the probe address from a buffer of 1025 bytes and
// answers with at most 1024 bytes.
constexpr std::size_t kAnswerCap = 1025;

discovery::Ops platform_ops() {
  return {plat::script_host_load,   plat::script_host_init,   plat::script_host_query,
          plat::script_host_deinit, plat::script_host_unload, plat::user_proxy_config,
          plat::proxy_for_url};
}
discovery::Ops g_ops = platform_ops();

// A file of the install folder.
std::string inst_file(const char* name) { return std::string(zrenv->inst_dir) + "\\" + name; }

// The entry found goes to the connection's fields and their copies.
// Keeps a found proxy, unless its PROXY line would not fit ZORAX.INI.
bool store(const zrnet::ProxyEntry& e) {
  if (!zrnet_proxy_line_fits(e.host, e.port)) {
    _dbg_print("Proxy refused: %.*s:%d does not fit a line of ZORAX.INI", kTraceCut, e.host,
               e.port);
    return false;
  }
  zr::copy(zrconn->pxy_host, e.host);
  zrconn->pxy_port = e.port;
  zr::copy(zr00->http_proxy_host, zrconn->pxy_host);
  zr00->http_proxy_port = zrconn->pxy_port;
  zr00->proxy_use = 1;
  _dbg_print("Proxy used host:%s port:%d", zrconn->pxy_host, zrconn->pxy_port);
  return true;
}

// A proxy text of the HTTP service: a host without a port is on port 80.
bool store_text(const std::string& text) {
  zrnet::ProxyEntry e;
  const zrnet::ProxyParse r = zrnet::parse_proxy_server(text.c_str(), &e, 80);
  if (r != zrnet::ProxyParse::kFound) {
    zrnet::trace_refused("lpszProxy", r, text.c_str());
    return false;
  }
  return store(e);
}

// A whole file of at most kDownloadMax bytes; false when it cannot be read.
bool read_small_file(const std::string& path, std::string* out) {
  std::FILE* fp = plat::open_stream(path.c_str(), "rb");
  if (!fp) return false;
  out->clear();
  char buf[4096];
  std::size_t n = 0;
  bool ok = true;
  while ((n = std::fread(buf, 1, sizeof buf, fp)) > 0) {
    if (out->size() + n > discovery::kDownloadMax) {
      ok = false;
      break;
    }
    out->append(buf, n);
  }
  if (std::ferror(fp)) ok = false;
  std::fclose(fp);
  return ok;
}

// Closes the connection of a download on every path.
struct Closer {
  std::unique_ptr<zrnet::Stream> s;
  ~Closer() {
    if (s) s->close();
  }
};

void run_registry_procedure(void*) { discovery::proxy_use_check(); }

}  // namespace

namespace discovery {

Ops ops_set(const Ops& ops) {
  Ops previous = g_ops;
  const bool restore = !ops.load || !ops.init || !ops.query || !ops.deinit || !ops.unload ||
                       !ops.user_config || !ops.for_url;
  g_ops = restore ? platform_ops() : ops;
  return previous;
}

std::string probe_host() {
  return zrconn->host_cnt > 0 && zrconn->host_nm[0][0] ? zrconn->host_nm[0] : "localhost";
}
std::string probe_url() { return "http://" + probe_host() + "/"; }

bool download(const char* url, const char* file) {
  zrnet::ConfigAddress a;
  if (!zrnet::config_address(url, "download", &a)) return false;
  const char* server = a.server;
  // A script host that does not resolve (a company's name used away from its
  // network) is a quiet failure: the discovery goes on with the next step
  // rather than showing the socket layer's message box.
  std::uint32_t addr = 0;
  if (!plat::ipv4_parse(server, &addr) && !plat::resolve_ipv4(server, &addr)) {
    _dbg_print("download : %s does not resolve", server);
    return false;
  }
  const int hsock = zwsock_open(a.port, server);
  if (!hsock) {
    _dbg_print("download : no connection to %s:%d", server, a.port);
    return false;
  }
  Closer c{zrnet::plain_stream(hsock)};
  // HTTP/1.0: the server ends the answer by closing when it names no length.
  std::string request = std::string("GET ") + a.path + " HTTP/1.0\r\nHost: " + server;
  if (a.port != 80) {
    // Appended in two steps: GCC 12 warns falsely (-Wrestrict) on "x" + string&&.
    request += ':';
    request += std::to_string(a.port);
  }
  request += "\r\nAccept: */*\r\n\r\n";
  if (c.s->send(request.data(), request.size()) != zrnet::Attempt::kOk) return false;

  constexpr int kHeaderMax = 4096;
  char hdr[kHeaderMax + 1];
  int n = 0, ecd = 0;
  long got = 0;
  bool ended = false;
  if (zrnet::recv_header(*c.s, hdr, kHeaderMax, &n, &got, &ecd, &ended) != zrnet::Got::kData ||
      !ended) {
    _dbg_print("download : no answer header from %s (%d)", server, ecd);
    return false;
  }
  const int status = zrnet::status_code(hdr);
  if (status != 200) {
    _dbg_print("download : %.*s answered %d", kTraceCut, url, status);
    return false;
  }
  const long length = zrnet::content_length(hdr);
  if (length > static_cast<long>(kDownloadMax)) {
    _dbg_print("download : %.*s is longer than %u bytes", kTraceCut, url, unsigned(kDownloadMax));
    return false;
  }
  std::string body;
  if (length >= 0) {
    body.resize(static_cast<std::size_t>(length));
    long px = 0;
    if (length > 0 && zrnet::recv_exact(*c.s, body.data(), length, 4096, zrnet::recv_wait_ms(), &px,
                                        &ecd) != zrnet::Got::kData) {
      _dbg_print("download : %.*s ended after %ld of %ld bytes", kTraceCut, url, px, length);
      return false;
    }
  } else {
    char buf[4096];
    for (;;) {
      long r = 0;
      const zrnet::Got g = c.s->recv(buf, sizeof buf, &r, &ecd, zrnet::recv_wait_ms());
      if (g == zrnet::Got::kClosed) break;
      if (g == zrnet::Got::kFailed) {
        _dbg_print("download : %.*s failed (%d)", kTraceCut, url, ecd);
        return false;
      }
      if (body.size() + static_cast<std::size_t>(r) > kDownloadMax) {
        _dbg_print("download : %.*s is longer than %u bytes", kTraceCut, url,
                   unsigned(kDownloadMax));
        return false;
      }
      body.append(buf, static_cast<std::size_t>(r));
    }
  }
  return zr_replace_file(file, body.data(), body.size()) == 0;
}

bool exec_script(const char* url) {
  plat::ScriptHost* host = nullptr;
  switch (g_ops.load(&host)) {
    case plat::ScriptHostLoad::kNoLibrary:
      _mes_print("LoadLibrary Error jsproxy.dll");
      return false;
    case plat::ScriptHostLoad::kNoEntry:
      _mes_box("exec_script GetProcAddress Error", plat::kMbOk);
      return false;
    case plat::ScriptHostLoad::kOk:
      break;
  }
  struct Unload {
    plat::ScriptHost* h;
    ~Unload() { g_ops.unload(h); }
  } unload{host};

  // A script that cannot be fetched is not evaluated: the file left by an
  // earlier discovery would answer for a configuration that no longer holds.
  const std::string pac = inst_file("config.pac");
  if (!download(url, pac.c_str())) {
    _dbg_print("exec_script : the script was not downloaded: %.*s", kTraceCut, url);
    return false;
  }

  int code = 0;
  if (!g_ops.init(host, pac.c_str(), &code)) {
    _dbg_print("InternetInitializeAutoProxyDll Error");
    return false;
  }
  _dbg_print("InternetInitializeAutoProxyDll returned: %d", code);

  char answer[kAnswerCap] = {};
  std::size_t len = 0;
  if (!g_ops.query(host, probe_url().c_str(), probe_host().c_str(), answer, sizeof answer, &len)) {
    _mes_box("InternetGetProxyInfo Error", plat::kMbOk);
    g_ops.deinit(host);
    return false;
  }
  _dbg_print("Proxy is: %.*s(%d)", kTraceCut, answer, static_cast<int>(len));
  // The answer is kept in a buffer of 512 bytes. A longer one keeps its whole
  // entries only: an entry cut in its middle would name another host or port.
  std::string_view kept(answer);
  if (kept.size() >= sizeof zr01->mes_work2) {
    const std::size_t last = kept.substr(0, sizeof zr01->mes_work2 - 1).rfind(';');
    kept = last == std::string_view::npos ? std::string_view() : kept.substr(0, last);
    _dbg_print("exec_script : the answer of %u bytes is kept up to its last whole entry (%u bytes)",
               static_cast<unsigned>(std::strlen(answer)), static_cast<unsigned>(kept.size()));
  }
  zr::copy(zr01->mes_work2, std::string(kept).c_str());

  if (!g_ops.deinit(host)) {
    _mes_box("InternetDeInitializeAutoProxyDll Error", plat::kMbOk);
    return false;
  }
  return true;
}

bool read_script_file(const char* url) {
  zrnet::ConfigAddress a;
  if (!zrnet::config_address(url, "read_script_file", &a)) return false;
  _dbg_print("read_script_file svr_nm:%s obj_nm:%.*s port:%d", a.server, kTraceCut, a.path, a.port);

  std::string script_url = url;
  if (std::strstr(a.path, ".ins")) {
    // An Internet settings file: its AutoConfigJSURL line names the script.
    const std::string ins = inst_file("config.ins");
    std::string text;
    if (!download(url, ins.c_str()) || !read_small_file(ins, &text)) {
      _dbg_print("read_script_file : the settings file was not downloaded");
      return false;
    }
    const zrnet::InsScript found = zrnet::ins_script_url(text, sizeof zr01->fnm_work, &script_url);
    if (found == zrnet::InsScript::kMissing) {
      _dbg_print("AutoConfigURL not found");
      return false;
    }
    if (found == zrnet::InsScript::kTooLong) {
      _dbg_print("read_script_file : AutoConfigJSURL longer than %u bytes",
                 unsigned(sizeof zr01->fnm_work - 1));
      return false;
    }
    zr::copy(zr01->fnm_work, script_url.c_str());
  }
  _dbg_print("pac_url : %.*s", kTraceCut * 2, script_url.c_str());
  return exec_script(script_url.c_str());
}

bool auto_config_set(const char* url) {
  _dbg_print("auto_config_set : %.*s", kTraceCut * 2, url);
  if (!read_script_file(url)) return false;
  zrnet::ProxyEntry e;
  bool found = false;
  const zrnet::ProxyParse r =
      zrnet::parse_answer_proxy(zr01->mes_work2, sizeof zr01->mes_work2, &e, &found);
  if (r != zrnet::ProxyParse::kFound) {
    if (found) zrnet::trace_refused("auto_config_set : PROXY", r, zr01->mes_work2);
    return false;
  }
  return store(e);
}

int proxy_use_check() {
  return zrnet::settings_proxy_check(
      {auto_config_set, store, [] { zrconn->pxy_host[0] = '\0'; }, true});
}

int winhttp_check() {
  zr00->proxy_use = 0;
  plat::UserProxyConfig c;
  unsigned long error = 0;
  if (!g_ops.user_config(&c, &error)) {
    _dbg_print("WinHttpGetIEProxyConfigForCurrentUser Error:%lu", error);
    return 0;
  }
  _dbg_print(" fAutoDetect:%d\n lpszAutoConfigUrl:%.*s\n lpszProxy:%.*s\n lpszProxyBypass:%.*s",
             c.auto_detect ? 1 : 0, kTraceCut, c.auto_config_url.c_str(), kTraceCut,
             c.proxy.c_str(), kTraceCut, c.bypass.c_str());
  if (!c.proxy.empty()) {
    _dbg_print("lpszProxy: %.*s", kTraceCut, c.proxy.c_str());
    return store_text(c.proxy) ? 1 : 0;
  }
  if (c.auto_config_url.empty() && !c.auto_detect) return 0;

  unsigned long session = 0;
  std::string proxy;
  const plat::ProxyForUrl r = g_ops.for_url(c, probe_url().c_str(), &session, &proxy, &error);
  _dbg_print("WinHttpOpen session:%lu", session);
  if (r == plat::ProxyForUrl::kFailed) {
    _dbg_print("WinHttpGetProxyForUrl Error:%lu", error);
    return 0;
  }
  if (r == plat::ProxyForUrl::kDirect) return 0;
  _dbg_print("lpszProxy:%.*s", kTraceCut, proxy.c_str());
  return store_text(proxy) ? 1 : 0;
}

bool rediscover_and_end() {
  char path[512];
  zr::format(path, sizeof path, "%s\\USER\\ZORAX.INI", zrenv->inst_dir);
  std::string text;
  if (!read_small_file(path, &text) || text.find("[Config]") == std::string::npos) {
    _dbg_print("rediscover : ZORAX.INI unreadable or without [Config]");
    return false;
  }
  // ZORAX.INI is written in full once the discovery has ended; the file stays
  // whole meanwhile, so a discovery that never ends loses no setting.
  if (void* t = plat::thread_start(run_registry_procedure, nullptr)) {
    plat::thread_join(t);
  } else {
    proxy_use_check();
  }
  zrnet_ini_write();
  _mes_box("プロキシ情報の取得が終了しました。\n再度起動して下さい。", plat::kMbOk);
  zr_exit();
}

}  // namespace discovery
