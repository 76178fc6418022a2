// One-member LHA archives: the member header written (level 1) and read (levels
// 0, 1 and 2), the CRC-16, and the stored fallback for data that do not compress.
#include <array>
#include <cstring>

#include "lha/lha_codec.h"
#include "platform/sjis_byte.h"

namespace zr::lha {
namespace {

// The byte table of the CRC (t[0]) and its seven shifted copies, with which
// eight bytes are folded into the CRC per step.
using CrcTables = std::array<std::array<std::uint16_t, 256>, 8>;
constexpr CrcTables make_crc_tables() {
  CrcTables t{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned r = i;
    for (int k = 0; k < 8; ++k) r = (r & 1) ? (r >> 1) ^ 0xA001u : r >> 1;
    t[0][i] = static_cast<std::uint16_t>(r);
  }
  for (int k = 1; k < 8; ++k)
    for (unsigned i = 0; i < 256; ++i)
      t[k][i] = static_cast<std::uint16_t>((t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF]);
  return t;
}
constexpr CrcTables kCrc = make_crc_tables();

std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t le32(const std::uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint8_t sum8(const std::uint8_t* p, std::size_t n) {
  unsigned s = 0;
  for (std::size_t i = 0; i < n; ++i) s += p[i];
  return static_cast<std::uint8_t>(s);
}

}  // namespace

std::uint16_t crc16(std::span<const std::uint8_t> data, std::uint16_t crc) {
  const std::uint8_t* p = data.data();
  std::size_t n = data.size();
  for (; n >= 8; n -= 8, p += 8) {
    unsigned c = crc ^ (p[0] | p[1] << 8);
    crc = static_cast<std::uint16_t>(kCrc[7][c & 0xFF] ^ kCrc[6][c >> 8] ^ kCrc[5][p[2]] ^
                                     kCrc[4][p[3]] ^ kCrc[3][p[4]] ^ kCrc[2][p[5]] ^ kCrc[1][p[6]] ^
                                     kCrc[0][p[7]]);
  }
  for (; n; --n, ++p) crc = static_cast<std::uint16_t>(kCrc[0][(crc ^ *p) & 0xFF] ^ (crc >> 8));
  return crc;
}

std::string_view stored_name(std::string_view path) {
  if (path.size() <= kMaxNameLen) return path;
  // The last component (Shift-JIS aware: a trail byte is never a separator).
  std::size_t start = 0;
  for (std::size_t i = 0; i < path.size(); ++i) {
    auto c = static_cast<std::uint8_t>(path[i]);
    if (zr::sjis_lead(c)) {
      ++i;
    } else if (c == '\\' || c == '/' || c == ':') {
      start = i + 1;
    }
  }
  std::string_view name = path.substr(start);
  if (name.size() <= kMaxNameLen) return name;
  std::size_t cut = 0;
  for (std::size_t i = 0; i < name.size();) {
    std::size_t w = zr::sjis_lead(static_cast<std::uint8_t>(name[i])) ? 2 : 1;
    if (i + w > kMaxNameLen) break;
    i += w;
    cut = i;
  }
  return name.substr(0, cut);
}

std::size_t write_header(std::uint8_t* out, const char* method, std::uint32_t packed,
                         std::uint32_t original, std::uint16_t crc, std::string_view name) {
  HeaderHead head{};
  head.size = static_cast<std::uint8_t>(name.size() + 25);
  std::memcpy(head.method, method, 5);
  head.packed = packed;
  head.original = original;
  head.time = 0;
  head.attribute = 0x20;
  head.level = 1;
  head.name_len = static_cast<std::uint8_t>(name.size());
  HeaderTail tail{};
  tail.crc = crc;
  tail.os_id = 0x20;
  tail.ext_size = 0;
  std::memcpy(out, &head, sizeof head);
  if (!name.empty()) std::memcpy(out + sizeof head, name.data(), name.size());
  std::memcpy(out + sizeof head + name.size(), &tail, sizeof tail);
  std::size_t total = header_size(name.size());
  out[1] = sum8(out + 2, total - 2);
  return total;
}

int parse_header(std::span<const std::uint8_t> in, Member& m) {
  const std::uint8_t* p = in.data();
  std::size_t n = in.size();
  if (n < 22) return kBadMethod;
  m.level = p[20];
  if (m.level == 2) {
    // Level 2: a 16-bit total header size, no checksum, extended headers
    // counted in the header size.
    std::size_t total = le16(p);
    if (total < 26 || total > n) return kBadMethod;
    m.data_offset = total;
    m.crc = le16(p + 21);
  } else {
    std::size_t h = p[0];
    if (h == 0) return kBadMethod;  // empty archive
    if (h + 2 > n || h < 22) return kBadMethod;
    if (sum8(p + 2, h) != p[1]) return kBadChecksum;
    if (m.level == 0) {
      std::size_t name_len = p[21];
      if (22 + name_len + 2 > h + 2) return kBadMethod;
      m.crc = le16(p + 22 + name_len);
      m.data_offset = h + 2;
    } else if (m.level == 1) {
      m.crc = le16(p + h - 3);
      m.data_offset = h + 2;
    } else {
      return kBadMethod;
    }
  }
  if (std::memcmp(p + 2, "-lh", 3) != 0 || p[6] != '-') return kBadMethod;
  char c = static_cast<char>(p[5]);
  if (c != '0' && c != '4' && c != '5' && c != '6') return kBadMethod;
  m.method = c;
  m.packed = le32(p + 7);
  m.original = le32(p + 11);
  if (m.level == 1) {
    // Extended headers: each one's size comes in the two bytes in front of it
    // and counts against the compressed size.
    std::size_t at = m.data_offset - 2;
    for (;;) {
      std::size_t ext = le16(p + at);
      if (ext == 0) break;
      if (ext < 3 || at + 2 + ext > n || ext > m.packed) return kBadMethod;
      m.packed -= static_cast<std::uint32_t>(ext);
      at += ext;
    }
    m.data_offset = at + 2;
  }
  return kOk;
}

std::size_t pack(std::span<const std::uint8_t> in, std::string_view name, std::uint8_t* out,
                 EncoderWork& w) {
  name = stored_name(name);
  std::uint16_t crc = crc16(in);
  auto orig = static_cast<std::uint32_t>(in.size());
  std::size_t hs = header_size(name.size());
  std::size_t packed = 0;
  const char* method = "-lh6-";
  if (!compress(in, out + hs, w, packed)) {
    method = "-lh0-";
    packed = in.size();
    if (packed) std::memcpy(out + hs, in.data(), packed);
  }
  write_header(out, method, static_cast<std::uint32_t>(packed), orig, crc, name);
  out[hs + packed] = 0;
  return hs + packed + 1;
}

int unpack(std::span<const std::uint8_t> in, const Member& m, std::uint8_t* out, DecoderWork& w,
           std::size_t& out_len) {
  std::size_t avail = in.size() - std::min(in.size(), m.data_offset);
  std::size_t packed = std::min<std::size_t>(m.packed, avail);
  std::span<const std::uint8_t> data(in.data() + (in.size() - avail), packed);
  if (m.method == '0') {
    out_len = std::min<std::size_t>(packed, m.original);
    if (out_len) std::memcpy(out, data.data(), out_len);
  } else {
    out_len = expand(m.method, data, std::span<std::uint8_t>(out, m.original), w);
  }
  if (out_len != m.original) return kBadCrc;
  return crc16(std::span<const std::uint8_t>(out, out_len)) == m.crc ? kOk : kBadCrc;
}

namespace {

// The sink in front of the caller's: the CRC over every piece that passes.
struct CrcSink {
  Sink sink;
  void* ctx;
  std::uint16_t crc = 0;
  bool refused = false;
  static bool put(const std::uint8_t* data, std::size_t len, void* self) {
    auto* s = static_cast<CrcSink*>(self);
    s->crc = crc16(std::span<const std::uint8_t>(data, len), s->crc);
    if (!s->sink(data, len, s->ctx)) {
      s->refused = true;
      return false;
    }
    return true;
  }
};

}  // namespace

int unpack_stream(std::span<const std::uint8_t> in, const Member& m, std::uint8_t* buf, Sink sink,
                  void* ctx, DecoderWork& w, std::size_t& out_len) {
  std::size_t avail = in.size() - std::min(in.size(), m.data_offset);
  std::size_t packed = std::min<std::size_t>(m.packed, avail);
  std::span<const std::uint8_t> data(in.data() + (in.size() - avail), packed);
  CrcSink crc{sink, ctx};
  if (m.method == '0') {
    out_len = std::min<std::size_t>(packed, m.original);
    if (out_len && !CrcSink::put(data.data(), out_len, &crc)) out_len = 0;
  } else {
    out_len = expand_stream(m.method, data, m.original, buf, CrcSink::put, &crc, w);
  }
  if (crc.refused) return kWriteFailed;
  if (out_len != m.original) return kBadCrc;
  return crc.crc == m.crc ? kOk : kBadCrc;
}

}  // namespace zr::lha
