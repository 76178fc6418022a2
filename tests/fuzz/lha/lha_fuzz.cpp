// libFuzzer target of the LHA codec core. Each input is taken three ways:
//  1. as an archive: header read and first member expanded (output capped),
//     both whole and streamed, which must hand over the same bytes;
//  2. as raw -lh5- and -lh6- member data expanded into a 64 KiB output;
//  3. as data to compress: the archive written must expand to the same bytes.
// Any read or write outside the tables and buffers is caught by the sanitizers.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "lha/lha_codec.h"

using namespace zr::lha;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static auto* work = new Work;
  std::span<const std::uint8_t> in(data, size);

  Member m;
  if (parse_header(in, m) == kOk) {
    Member capped = m;
    capped.original = std::min<std::uint32_t>(m.original, 1u << 20);
    std::vector<std::uint8_t> out(capped.original);
    std::size_t n = 0;
    const int rc = unpack(in, capped, out.data(), work->dec, n);
    if (n > capped.original) std::abort();
    // Streamed through the stream buffer, a piece at a time.
    struct Collect {
      std::vector<std::uint8_t> bytes;
      static bool put(const std::uint8_t* p, std::size_t len, void* self) {
        auto* c = static_cast<Collect*>(self);
        c->bytes.insert(c->bytes.end(), p, p + len);
        return true;
      }
    } got;
    std::vector<std::uint8_t> buf(stream_buffer_size(capped.original));
    std::size_t sn = 0;
    const int src = unpack_stream(in, capped, buf.data(), Collect::put, &got, work->dec, sn);
    if (src != rc || sn != n || got.bytes.size() != n ||
        (n && std::memcmp(got.bytes.data(), out.data(), n) != 0))
      std::abort();
  }

  static std::vector<std::uint8_t> raw(1 << 16);
  for (char method : {'5', '6'}) {
    if (expand(method, in, raw, work->dec) > raw.size()) std::abort();
  }

  if (size <= 1 << 16) {
    std::vector<std::uint8_t> archive(pack_capacity(size, 1));
    archive.resize(pack(in, "F", archive.data(), work->enc));
    Member back;
    if (parse_header(archive, back) != kOk || back.original != size) std::abort();
    std::vector<std::uint8_t> out(size + 1);
    std::size_t n = 0;
    if (unpack(archive, back, out.data(), work->dec, n) != kOk || n != size) std::abort();
    if (size && std::memcmp(out.data(), data, size) != 0) std::abort();
  }
  return 0;
}
