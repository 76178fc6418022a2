// The native build has no system authentication packages: no conversation can
// be begun, and the proxy authentication falls back to Basic.
#include "platform/auth.h"

namespace plat {

struct AuthSession {};

bool auth_available() { return false; }

AuthSession* auth_begin(const char*, const AuthIdentity*, long* status) {
  *status = -1;
  return nullptr;
}

AuthStep auth_round(AuthSession*, const std::string*, std::string* out, long* status) {
  out->clear();
  *status = -1;
  return AuthStep::kFailed;
}

void auth_end(AuthSession*) {}

}  // namespace plat
