// Proxy authentication lines: Basic from the stored credentials, and the NTLM
// and Negotiate conversations of the system's authentication packages, one
// round per challenge. The conversation's handles belong to the calling thread;
// zwsockh_auth_finish releases them.
#pragma once

#include <cstddef>

#include "platform/auth.h"
#include "runtime/areas.h"

// Makes one authorization line for the scheme ("Basic", "NTLM", "Negotiate"):
// "Authorization: ..." for status 401, "Proxy-Authorization: ..." otherwise,
// and the bare token for status 999; at most cap bytes with its NUL. data is
// the challenge's token (Base64; empty in the first round), user and pass the
// stored credentials (both empty: the logged-on user's identity). *cont is 1
// when the conversation needs another round. 0 on success, 1 on failure.
ZR_API int zwsockh_auth_header_make(int status, const char* scheme, char* out, std::size_t cap,
                                    const char* data, const char* user, const char* pass,
                                    int* cont);

namespace zrnet {

// The system's authentication packages as the conversations use them (tests
// install a fake; null members restore the platform's).
struct AuthOps {
  bool (*available)() = nullptr;
  plat::AuthSession* (*begin)(const char* package, const plat::AuthIdentity* id,
                              long* status) = nullptr;
  plat::AuthStep (*round)(plat::AuthSession* s, const std::string* in, std::string* out,
                          long* status) = nullptr;
  void (*end)(plat::AuthSession* s) = nullptr;
};
AuthOps auth_ops_set(const AuthOps& ops);

// Whether NTLM and Negotiate conversations can be held in this process.
bool auth_conversations();

// After the proxy refused the final NTLM message: the system HTTP client sends
// one dummy message through the proxy and answers its challenges itself with
// the logged-on user's identity; then ie_auth is cleared and ie_auth_done set.
void system_client_auth();
// Replaces the system client's authentication (tests); null restores it.
// Returns the previous one.
using SystemAuthFn = void (*)();
SystemAuthFn system_client_auth_set(SystemAuthFn fn);

}  // namespace zrnet
