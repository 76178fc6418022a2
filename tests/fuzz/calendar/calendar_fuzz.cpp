// Fuzz target: the issue calendar parse over an arbitrary UPDATE_TM (over-long
// lines included), and its writer, whose lines must fit the reader. The first
// four bytes choose the newest issue date, the rest is the file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "../support/lib_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  lib_fuzz::setup();
  std::int32_t newest = 20240117;
  if (size >= 4) {
    std::memcpy(&newest, data, 4);
    data += 4;
    size -= 4;
  }
  lib_fuzz::put_file("DLV\\UPDATE_TM", data, size);
  _sdi_update_tm_read(newest);
  if (zrsdi->upd_cnt < 0 || zrsdi->upd_cnt > kSdiCalMax) std::abort();

  _sdi_update_tm_write(data, static_cast<std::int32_t>(size));
  const std::string written = lib_fuzz::file_bytes(lib_fuzz::path("DLV\\UPDATE_TM"));
  if (!lib_fuzz::lines_fit(reinterpret_cast<const std::uint8_t*>(written.data()), written.size(),
                           255)) {
    std::fprintf(stderr, "the calendar writer wrote a line the reader does not take\n");
    std::abort();
  }
  _sdi_update_tm_read(newest);
  return 0;
}
