// The network settings dialog's logic, without its window: what its controls
// show, which of them are enabled, and what OK stores (the fields, the
// transport, ZORAX.INI and PROXY.FIL).
#pragma once

#include <string>

namespace network {

// Control IDs of the network settings dialog (dialog resource 106).
enum : int {
  kIdProxyUse = 1135,
  kIdTargetGroup = 1136,
  kIdHost = 1012,
  kIdPort = 1013,
  kIdDiscover = 1031,
  kIdAuthGroup = 1137,
  kIdUser = 1004,
  kIdPass = 1007,
  kIdHttp11 = 1121,
  kIdNtlmMode = 1009,
  kIdHttpTest = 1010,
  kIdSocks = 1016,
  kIdPxyConnect = 1028,
  kIdAcceptHdr = 1029,
  kIdNoCache = 1030,
  kIdConnectCls = 1049,
  kIdPxyAuth = 1050,
  kIdNoHost = 1051,
  kIdNoSsl = 1052,
};

// The longest texts of the edits.
inline constexpr int kHostMax = 63;
inline constexpr int kPortMax = 5;
inline constexpr int kCredentialMax = 79;

// What the controls show.
struct Form {
  bool proxy_use = false, http11 = false, ntlm_mode = false, http_test = false, socks = false,
       pxy_connect = false, accept_hdr = false, no_cache = false, connect_cls = false,
       pxy_auth = false, no_host = false, no_ssl = false;
  std::string host, port, user, pass;
};
// The controls when the dialog opens (and after the Ctrl discovery).
Form on_open();

// Which parts are enabled: the connection target (its group, the host and
// port edits, the discovery button) with the proxy box; the credentials (their
// group and edits) with the proxy box or HTTP TEST.
struct Enabled {
  bool target = false, credentials = false;
};
Enabled enabled(bool proxy_use, bool http_test);

// OK: the fields from the form, the transport installed again, ZORAX.INI and
// PROXY.FIL written. False, with nothing changed, when the credentials are
// too long for PROXY.FIL (the reason has been shown).
bool store(const Form& f);

}  // namespace network
