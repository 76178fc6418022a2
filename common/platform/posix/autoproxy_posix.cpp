// The native build has no proxy-script host and no system HTTP service: the
// host cannot be loaded and the service reads no settings.
#include "platform/autoproxy.h"

namespace plat {

ScriptHostLoad script_host_load(ScriptHost**) { return ScriptHostLoad::kNoLibrary; }
bool script_host_init(ScriptHost*, const char*, int* code) {
  *code = 0;
  return false;
}
bool script_host_query(ScriptHost*, const char*, const char*, char* answer, std::size_t cap,
                       std::size_t* len) {
  if (cap) answer[0] = '\0';
  *len = 0;
  return false;
}
bool script_host_deinit(ScriptHost*) { return false; }
void script_host_unload(ScriptHost*) {}

bool user_proxy_config(UserProxyConfig*, unsigned long* error) {
  // ERROR_NOT_SUPPORTED
  *error = 50;
  return false;
}
ProxyForUrl proxy_for_url(const UserProxyConfig&, const char*, unsigned long* session,
                          std::string* proxy, unsigned long* error) {
  *session = 0;
  proxy->clear();
  *error = 50;
  return ProxyForUrl::kFailed;
}

}  // namespace plat
