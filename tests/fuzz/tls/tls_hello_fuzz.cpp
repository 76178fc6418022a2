// Fuzz target: a client hello record as the server side walks it for the name
// the client asks for. A name found must lie within the record and be at most
// 2047 bytes long; the name rule must answer for whatever display name comes.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/tls.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string record(reinterpret_cast<const char*>(data), size);
  std::string name;
  if (zrnet::client_hello_server_name(record.data(), record.size(), &name)) {
    if (name.empty() || name.size() > 2047 || name.size() > size) std::abort();
    if (record.find(name) == std::string::npos) std::abort();
    // The rule against a display name taken from the input itself.
    zrnet::display_name_serves(record.substr(0, record.size() / 2).c_str(), name);
  }
  return 0;
}
