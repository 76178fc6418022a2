// The native build has no registry: the Internet settings key cannot be opened,
// so nothing is ever read from it.
#include "platform/registry.h"

namespace plat {

struct InetSettings {};

InetSettings* inet_settings_open() { return nullptr; }

bool inet_settings_text(InetSettings*, const char*, char* out, std::size_t cap) {
  if (cap) out[0] = '\0';
  return false;
}

bool inet_settings_number(InetSettings*, const char*, std::uint32_t*) { return false; }

void inet_settings_close(InetSettings*) {}

}  // namespace plat
