// The network settings dialog's logic (see network.h).
#include "network.h"

#include <cstring>

#include "net/transport.h"
#include "platform/platform.h"
#include "zrlib.h"

namespace {

// The leading digits of a port text (0 for none); a number beyond the port
// range is 0 rather than another port.
std::uint16_t port_of(const std::string& text) {
  long v = 0;
  for (std::size_t i = 0; i < text.size() && i < network::kPortMax; ++i) {
    if (text[i] < '0' || text[i] > '9') break;
    v = v * 10 + (text[i] - '0');
  }
  if (v > 65535) {
    _dbg_print("QRT050 port %ld beyond 65535, stored as 0", v);
    return 0;
  }
  return static_cast<std::uint16_t>(v);
}

std::string cut(const std::string& s, std::size_t n) { return s.size() > n ? s.substr(0, n) : s; }

}  // namespace

namespace network {

Form on_open() {
  Form f;
  f.proxy_use = zr00->proxy_use != 0;
  f.http11 = zr00->pxy_http11 != 0;
  f.ntlm_mode = zr00->ntlm_mode != 0;
  f.http_test = zrconn->zrhttp_use != 0;
  f.socks = zrconn->socks_use != 0;
  f.pxy_connect = zr00->keepalive_hdr != 0;
  f.accept_hdr = zr00->accept_hdr != 0;
  f.no_cache = zr00->nocache_hdr != 0;
  f.connect_cls = zr00->connect_cls != 0;
  f.pxy_auth = zr00->pxy_auth1st != 0;
  f.no_host = zr00->nohost_hdr != 0;
  f.no_ssl = zr00->ssl_use == 0;
  if (zrconn->pxy_host[0]) {
    f.host = zrconn->pxy_host;
    f.port = std::to_string(zrconn->pxy_port);
  }
  if (zrconn->zrhttp_use && zr00->pxy_pass[0]) {
    // The system client keeps the credentials in their encoded form.
    const std::string text =
        zr::base64_decode({zr00->pxy_pass, ::strnlen(zr00->pxy_pass, sizeof zr00->pxy_pass)});
    const std::size_t colon = text.find(':');
    if (colon != std::string::npos) {
      f.user = text.substr(0, colon);
      f.pass = text.substr(colon + 1);
    }
  } else {
    f.user = zr00->pxy_user;
    f.pass = zr00->pxy_pass;
  }
  return f;
}

Enabled enabled(bool proxy_use, bool http_test) {
  Enabled e;
  e.target = proxy_use;
  e.credentials = proxy_use || http_test;
  return e;
}

bool store(const Form& f) {
  const std::string user = cut(f.user, kCredentialMax), pass = cut(f.pass, kCredentialMax);
  char encoded[sizeof zr00->pxy_pass];
  if (!user.empty() && 4 * ((user.size() + pass.size() + 3) / 3) >= sizeof encoded) {
    _mes_box("ユーザ名とパスワードが長すぎます。", plat::kMbOk);
    return false;
  }
  // ZORAX.INI holds the proxy in one line of 79 bytes; a longer one could not
  // be written, and the proxy would be lost while PROXY_USE stays on.
  const std::string proxy_host = cut(f.host, kHostMax);
  if (!proxy_host.empty() && !zrnet_proxy_line_fits(proxy_host.c_str(), port_of(f.port))) {
    _mes_box("プロキシサーバー名が長すぎます。", plat::kMbOk);
    return false;
  }
  zr00->proxy_use = f.proxy_use;
  zr00->pxy_http11 = f.http11;
  zr00->ntlm_mode = f.ntlm_mode;
  zrconn->zrhttp_use = zr00->zrhttp_cp = f.http_test;
  zrconn->socks_use = f.socks;
  zr00->keepalive_hdr = f.pxy_connect;
  zr00->accept_hdr = f.accept_hdr;
  zr00->nocache_hdr = f.no_cache;
  zr00->connect_cls = f.connect_cls;
  zr00->pxy_auth1st = f.pxy_auth;
  zr00->nohost_hdr = f.no_host;
  zr00->ssl_use = f.no_ssl ? 0 : 1;

  if (!proxy_host.empty()) {
    zr::copy(zrconn->pxy_host, proxy_host.c_str());
    zrconn->pxy_port = port_of(f.port);
    zr::copy(zr00->http_proxy_host, zrconn->pxy_host);
    zr00->http_proxy_port = zrconn->pxy_port;
    if (zr00->proxy_use)
      _dbg_print("QRT050 PROXY USE %s : %d", zr00->http_proxy_host, zr00->http_proxy_port);
  } else {
    // ZORAX.INI gets no PROXY line; the transport's copies keep their values.
    zrconn->pxy_host[0] = '\0';
  }
  if (f.socks) zrconn->zrhttp_use = zr00->zrhttp_cp = 0;

  _dbg_print(zrconn->zrhttp_use ? "HTTP_TEST USE" : "HTTP_TEST NOT USE");
  zrnet_msg_fn_install(false);
  zrnet_ini_write();

  if (proxy_fil_write(user.c_str(), pass.c_str(), encoded, sizeof encoded) != 0) encoded[0] = 0;
  if (user.empty()) {
    zr00->pxy_user[0] = zr00->pxy_pass[0] = '\0';
  } else {
    zr::copy(zr00->pxy_user, user.c_str());
    zr::copy(zr00->pxy_pass, zrconn->zrhttp_use ? encoded : pass.c_str());
  }
  return true;
}

}  // namespace network
