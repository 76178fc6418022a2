// Fuzz target: the issue calendar parse over an arbitrary UPDATE_TM. The first
// four bytes choose the newest issue date, the rest is the file.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "../ini/sdi_fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  sdi_fuzz::setup();
  std::int32_t newest = 20240117;
  if (size >= 4) {
    std::memcpy(&newest, data, 4);
    data += 4;
    size -= 4;
  }
  if (!sdi_fuzz::lines_fit(data, size, 255)) return 0;
  sdi_fuzz::put_file("DLV\\UPDATE_TM", data, size);
  _sdi_update_tm_read(newest);
  if (zrsdi->upd_cnt < 0 || zrsdi->upd_cnt > kSdiCalMax) std::abort();
  return 0;
}
