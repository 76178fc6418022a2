// Authentication conversations over the system security interface: outbound
// credentials of the NTLM or Negotiate package (explicit or the logged-on
// user's), then one InitializeSecurityContext round per token, with the token
// completed where the package asks for it.
#include "platform/auth.h"

#include <cstring>
#include <vector>

#include "sspi_table.h"

namespace plat {

struct AuthSession {
  CredHandle cred{};
  CtxtHandle ctx{};
  bool has_ctx = false;
  unsigned long max_token = 0;
};

bool auth_available() {
  PSecurityFunctionTableA t = sspi_table();
  return t && t->InitializeSecurityContextA && t->AcquireCredentialsHandleA;
}

AuthSession* auth_begin(const char* package, const AuthIdentity* id, long* status) {
  PSecurityFunctionTableA t = sspi_table();
  if (!t) {
    *status = SEC_E_INTERNAL_ERROR;
    return nullptr;
  }
  SEC_WINNT_AUTH_IDENTITY_A identity{};
  if (id) {
    identity.User = reinterpret_cast<unsigned char*>(const_cast<char*>(id->user));
    identity.UserLength = static_cast<unsigned long>(std::strlen(id->user));
    identity.Domain = reinterpret_cast<unsigned char*>(const_cast<char*>(id->domain));
    identity.DomainLength = static_cast<unsigned long>(std::strlen(id->domain));
    identity.Password = reinterpret_cast<unsigned char*>(const_cast<char*>(id->password));
    identity.PasswordLength = static_cast<unsigned long>(std::strlen(id->password));
    identity.Flags = SEC_WINNT_AUTH_IDENTITY_ANSI;
  }
  auto* s = new AuthSession;
  TimeStamp expiry;
  SECURITY_STATUS ss = t->AcquireCredentialsHandleA(
      nullptr, const_cast<char*>(package), SECPKG_CRED_OUTBOUND, nullptr, id ? &identity : nullptr,
      nullptr, nullptr, &s->cred, &expiry);
  if (ss != SEC_E_OK) {
    *status = ss;
    delete s;
    return nullptr;
  }
  PSecPkgInfoA info = nullptr;
  if (t->QuerySecurityPackageInfoA(const_cast<char*>(package), &info) == SEC_E_OK && info) {
    s->max_token = info->cbMaxToken;
    t->FreeContextBuffer(info);
  }
  if (s->max_token == 0) s->max_token = 12288;
  *status = ss;
  return s;
}

AuthStep auth_round(AuthSession* s, const std::string* in, std::string* out, long* status) {
  PSecurityFunctionTableA t = sspi_table();
  out->clear();
  if (!t || !s) {
    *status = SEC_E_INTERNAL_ERROR;
    return AuthStep::kFailed;
  }
  std::vector<char> token(s->max_token);
  SecBuffer out_buf{static_cast<unsigned long>(token.size()), SECBUFFER_TOKEN, token.data()};
  SecBufferDesc out_desc{SECBUFFER_VERSION, 1, &out_buf};
  SecBuffer in_buf{0, SECBUFFER_TOKEN, nullptr};
  SecBufferDesc in_desc{SECBUFFER_VERSION, 1, &in_buf};
  if (in) {
    in_buf.cbBuffer = static_cast<unsigned long>(in->size());
    in_buf.pvBuffer = const_cast<char*>(in->data());
  }
  unsigned long attrs = 0;
  TimeStamp expiry;
  SECURITY_STATUS ss = t->InitializeSecurityContextA(
      &s->cred, s->has_ctx ? &s->ctx : nullptr, nullptr, 0, 0, SECURITY_NATIVE_DREP,
      in ? &in_desc : nullptr, 0, &s->ctx, &out_desc, &attrs, &expiry);
  *status = ss;
  if (ss < 0) return AuthStep::kFailed;
  s->has_ctx = true;
  if (ss == SEC_I_COMPLETE_NEEDED || ss == SEC_I_COMPLETE_AND_CONTINUE) {
    if (!t->CompleteAuthToken) return AuthStep::kFailed;
    SECURITY_STATUS cs = t->CompleteAuthToken(&s->ctx, &out_desc);
    if (cs < 0) {
      *status = cs;
      return AuthStep::kFailed;
    }
  }
  out->assign(token.data(), out_buf.cbBuffer);
  return ss == SEC_I_CONTINUE_NEEDED || ss == SEC_I_COMPLETE_AND_CONTINUE ? AuthStep::kContinue
                                                                          : AuthStep::kDone;
}

void auth_end(AuthSession* s) {
  if (!s) return;
  if (PSecurityFunctionTableA t = sspi_table()) {
    if (s->has_ctx && t->DeleteSecurityContext) t->DeleteSecurityContext(&s->ctx);
    t->FreeCredentialHandle(&s->cred);
  }
  delete s;
}

}  // namespace plat
