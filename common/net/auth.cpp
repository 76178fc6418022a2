// Proxy authentication lines (see auth.h).
#include "net/auth.h"

#include <cstring>
#include <string>

#include "net/transport.h"
#include "platform/platform.h"
#include "runtime/zrcommon.h"
#include "text/base64.h"

namespace {

zrnet::AuthOps g_ops{plat::auth_available, plat::auth_begin, plat::auth_round, plat::auth_end};

// The conversation of this thread.
thread_local plat::AuthSession* t_session = nullptr;
thread_local bool t_first_round = false;

// The computer's name, read once: the domain of a user name without one.
const std::string& computer_domain() {
  static const std::string name = [] {
    char buf[64] = {};
    plat::computer_name(buf, sizeof buf);
    return std::string(buf);
  }();
  return name;
}

void release() {
  if (t_session) g_ops.end(t_session);
  t_session = nullptr;
}

// One round of the NTLM or Negotiate conversation: the token, or false.
bool converse(const char* package, const char* data, const char* user, const char* pass,
              std::string* token, int* cont) {
  if (!zrwork->auth_active) {
    zrwork->auth_active = 1;
    release();
    t_first_round = true;
    zrwork->ie_auth = 0;
  } else if (!data || !*data) {
    _dbg_print("zwsockh_auth_header_make auth_data is NULL");
    return false;
  }
  long status = 0;
  if (t_first_round) {
    std::string domain, name;
    const bool explicit_id = (user && *user) || (pass && *pass);
    if (!user) user = "";  // a password without a user name
    if (explicit_id) {
      const char* sep = std::strpbrk(user, "/\\");
      if (sep) {
        if (!sep[1]) {
          _dbg_print("proxy user without a name after its domain");
          return false;
        }
        domain.assign(user, static_cast<std::size_t>(sep - user));
        name = sep + 1;
      } else {
        domain = computer_domain();
        name = user;
      }
    }
    plat::AuthIdentity id{domain.c_str(), name.c_str(), pass ? pass : ""};
    t_session = g_ops.begin(package, explicit_id ? &id : nullptr, &status);
    if (!t_session) {
      _dbg_print("AcquireCredentialsHandle(%s) failed ss:%ld", package, status);
      return false;
    }
  }
  std::string in;
  if (!t_first_round) in = zr::base64_decode(data);
  std::string out;
  const plat::AuthStep step = g_ops.round(t_session, t_first_round ? nullptr : &in, &out, &status);
  _dbg_print("After pInitializeSecurityContext ss:%ld", status);
  if (step == plat::AuthStep::kFailed) return false;
  *token = zr::base64_encode(out);
  if (t_first_round) {
    t_first_round = false;
  } else if (zrwork->auth_kd == 2) {
    // Another challenge on this request means the proxy refused the final
    // NTLM message.
    zrwork->ie_auth = 1;
  }
  *cont = step == plat::AuthStep::kContinue ? 1 : 0;
  return true;
}

}  // namespace

namespace zrnet {

AuthOps auth_ops_set(const AuthOps& ops) {
  AuthOps previous = g_ops;
  const bool restore = !ops.available || !ops.begin || !ops.round || !ops.end;
  g_ops = restore
              ? AuthOps{plat::auth_available, plat::auth_begin, plat::auth_round, plat::auth_end}
              : ops;
  return previous;
}

bool auth_conversations() { return g_ops.available(); }

namespace {

void wininet_auth() {
  zrhttp_initial();
  zrhttp_phmsg_ntlm();
  zrhttp_finish();
}

SystemAuthFn g_system_auth = wininet_auth;

}  // namespace

SystemAuthFn system_client_auth_set(SystemAuthFn fn) {
  SystemAuthFn previous = g_system_auth;
  g_system_auth = fn ? fn : wininet_auth;
  return previous;
}

void system_client_auth() {
  _dbg_print("=== WinInet(IE) Authenticate Start ===");
  g_system_auth();
  zrwork->ie_auth = 0;
  zrwork->ie_auth_done = 1;
  _dbg_print("=== WinInet(IE) Authenticate Finish ===");
}

}  // namespace zrnet

int zwsockh_auth_header_make(int status, const char* scheme, char* out, std::size_t cap,
                             const char* data, const char* user, const char* pass, int* cont) {
  *cont = 0;
  if (cap) out[0] = '\0';
  std::string token;
  if (std::strcmp(scheme, "Basic") == 0) {
    token = zr::base64_encode(std::string(user ? user : "") + ":" + (pass ? pass : ""));
  } else if (!converse(scheme, data, user, pass, &token, cont)) {
    _dbg_print("Auth Converse Error");
    return 1;
  }
  const int w = status == 999
                    ? zr::format(out, cap, "%s", token.c_str())
                    : zr::format(out, cap, "%s %s %s\r\n",
                                 status == 401 ? "Authorization:" : "Proxy-Authorization:", scheme,
                                 token.c_str());
  if (w <= 0 || static_cast<std::size_t>(w) >= cap) {
    _dbg_print("authorization line longer than %u bytes", static_cast<unsigned>(cap));
    if (cap) out[0] = '\0';
    return 1;
  }
  return 0;
}

void zwsockh_auth_finish() {
  if (!zrwork || !zrwork->auth_active) return;
  release();
  zrwork->auth_active = 0;
}
