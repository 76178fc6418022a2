// Stand-in Internet settings of the desktop for the proxy detections: the
// values a test sets, installed for as long as the object lives. Every key the
// code under test opens must be closed again (opens == closes).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "net/proxy_check.h"
#include "runtime/fields.h"

namespace qrt_test {

class FakeInetSettings {
 public:
  FakeInetSettings() {
    current() = this;
    zrnet::inet_settings_ops_set({open, text, number, close});
  }
  ~FakeInetSettings() {
    zrnet::inet_settings_ops_set({});
    current() = nullptr;
  }
  FakeInetSettings(const FakeInetSettings&) = delete;
  FakeInetSettings& operator=(const FakeInetSettings&) = delete;

  // Back to an empty key that opens.
  void reset() {
    key = true;
    texts.clear();
    enable.reset();
    opens = closes = 0;
  }

  bool key = true;  // false: the key cannot be opened
  std::map<std::string, std::string> texts;
  std::optional<std::uint32_t> enable;  // ProxyEnable
  int opens = 0, closes = 0;

 private:
  static FakeInetSettings*& current() {
    static FakeInetSettings* s = nullptr;
    return s;
  }
  static plat::InetSettings* open() {
    if (!current()->key) return nullptr;
    ++current()->opens;
    return reinterpret_cast<plat::InetSettings*>(current());
  }
  static bool text(plat::InetSettings*, const char* name, char* out, std::size_t cap) {
    auto it = current()->texts.find(name);
    if (it == current()->texts.end()) return false;
    return zr::copy(out, cap, it->second.c_str());
  }
  static bool number(plat::InetSettings*, const char* name, std::uint32_t* value) {
    if (std::string(name) != "ProxyEnable" || !current()->enable) return false;
    *value = *current()->enable;
    return true;
  }
  static void close(plat::InetSettings*) { ++current()->closes; }
};

}  // namespace qrt_test
