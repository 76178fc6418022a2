// The native build has no registry: the Internet settings key and the local
// machine's keys cannot be opened, so nothing is ever read from them.
#include "platform/registry.h"

#include <cstdio>

namespace plat {

struct InetSettings {};

InetSettings* inet_settings_open() { return nullptr; }

bool inet_settings_text(InetSettings*, const char*, char* out, std::size_t cap) {
  if (cap) out[0] = '\0';
  return false;
}

bool inet_settings_number(InetSettings*, const char*, std::uint32_t*) { return false; }

void inet_settings_close(InetSettings*) {}

MachineRead machine_text(const char*, const char*, char* out, std::size_t cap,
                         std::uint32_t* error) {
  if (cap) out[0] = '\0';
  if (error) *error = 2;
  return MachineRead::kNotOpened;
}

void error_text(std::uint32_t code, char* out, std::size_t cap) {
  if (cap) std::snprintf(out, cap, "no registry on this platform (error %u)", unsigned(code));
}

}  // namespace plat
