// The authentication surface of the platform layer: a challenge-response
// conversation of one of the system's authentication packages ("NTLM",
// "Negotiate") on the client side, one token at a time. Windows runs it over
// the system security interface loaded by security_load (tls.h); the native
// build has no such packages: nothing can be begun there.
#pragma once

#include <string>

namespace plat {

// Whether conversations can be begun here at all (the security interface is
// loaded and offers InitializeSecurityContext).
bool auth_available();

// Explicit credentials; without them the conversation uses the identity of the
// user logged on to the desktop.
struct AuthIdentity {
  const char* domain;
  const char* user;
  const char* password;
};

struct AuthSession;

// Acquires outbound credentials of the package (with the identity, or the
// logged-on user's when id is null). Null on failure; *status then holds the
// system's status code.
AuthSession* auth_begin(const char* package, const AuthIdentity* id, long* status);

enum class AuthStep {
  kDone,      // the last token of the conversation
  kContinue,  // the peer's answer to this token is needed
  kFailed,
};
// One round: the first without input (in null), later ones with the peer's
// decoded challenge. out receives the token to send; *status the system's
// status code of the round (completion of the token included).
AuthStep auth_round(AuthSession* s, const std::string* in, std::string* out, long* status);

// Deletes the context and frees the credentials.
void auth_end(AuthSession* s);

}  // namespace plat
