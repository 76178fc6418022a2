// The address helpers of the proxy-script host (see autoproxy.h), over the
// system's name resolution. The socket interfaces of Windows and of POSIX
// systems agree on everything used here; only the headers, the start-up of the
// socket library and the last-error slot differ.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstdint>
#include <cstring>
#include <string_view>

#include "platform/autoproxy.h"
#include "platform/net.h"

namespace {

// The resolution result is left in the socket layer's last-error slot, where
// the script host's callers of the Windows helpers look for it.
unsigned long settle(unsigned long status) {
#ifdef _WIN32
  WSASetLastError(static_cast<int>(status));
#endif
  return status;
}

// Copies text into out (*len bytes) or says how much room it needs.
unsigned long answer(std::string_view text, char* out, unsigned long* len) {
  if (text.size() >= *len) {
    *len = static_cast<unsigned long>(text.size() + 1);
    return settle(plat::kResolveBufferSmall);
  }
  std::memcpy(out, text.data(), text.size());
  out[text.size()] = '\0';
  *len = static_cast<unsigned long>(text.size());
  return settle(plat::kResolveOk);
}

// A dotted IPv4 address of four decimal parts 0..255 and nothing else.
bool dotted(const char* text, std::uint32_t* value) {
  if (!text) return false;
  std::uint32_t v = 0;
  const char* p = text;
  for (int part = 0; part < 4; ++part) {
    if (part && *p++ != '.') return false;
    int n = 0, digits = 0;
    while (*p >= '0' && *p <= '9' && digits < 4) {
      n = n * 10 + (*p++ - '0');
      ++digits;
    }
    if (!digits || digits > 3 || n > 255) return false;
    v = (v << 8) | static_cast<std::uint32_t>(n);
  }
  if (*p) return false;
  *value = v;
  return true;
}

}  // namespace

namespace plat {

unsigned long resolve_host_name(const char* host, char* out, unsigned long* len) {
  if (!host || !out || !len) return settle(kResolveNotResolved);
  net_startup();
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  hints.ai_flags = AI_NUMERICHOST;
  addrinfo* res = nullptr;
  int rc = getaddrinfo(host, nullptr, &hints, &res);
  if (rc == 0) {
    freeaddrinfo(res);
    return answer(host, out, len);
  }
  if (rc == EAI_MEMORY) return settle(kResolveNoMemory);
  if (rc != EAI_NONAME) return settle(kResolveNotResolved);

  hints.ai_family = AF_INET;
  hints.ai_flags = 0;
  res = nullptr;
  rc = getaddrinfo(host, nullptr, &hints, &res);
  if (rc == EAI_MEMORY) return settle(kResolveNoMemory);
  if (rc != 0 || !res) return settle(kResolveNotResolved);
  char text[INET_ADDRSTRLEN] = {};
  const addrinfo* v4 = res;
  while (v4 && v4->ai_family != AF_INET) v4 = v4->ai_next;
  const bool ok =
      v4 && inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(v4->ai_addr)->sin_addr, text,
                      sizeof text);
  freeaddrinfo(res);
  if (!ok) return settle(kResolveNotResolved);
  return answer(text, out, len);
}

bool is_resolvable(const char* host) {
  char buf[254];
  unsigned long len = sizeof buf;
  return resolve_host_name(host, buf, &len) == kResolveOk;
}

unsigned long own_ip_address(char* out, unsigned long* len) {
  net_startup();
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0 || !name[0]) return settle(kResolveNoHostName);
  return resolve_host_name(name, out, len);
}

bool is_in_net(const char* address, const char* network, const char* mask) {
  std::uint32_t a = 0, n = 0, m = 0;
  if (!dotted(address, &a) || !dotted(network, &n) || !dotted(mask, &m)) return false;
  return (a & m) == n;
}

}  // namespace plat
