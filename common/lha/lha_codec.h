// The LHA codec core: one-member archives with the -lh6- compressor and the
// -lh4-/-lh5-/-lh6- expander, over memory buffers only. Nothing here touches the
// runtime (no trace, no file table, no tracked memory): the work records are
// handed in by the caller, so the core is tested and fuzzed on its own. The entry
// points _lha and _lha_mem (lha.cpp) add files, tracked memory and the trace.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace zr::lha {

static_assert(std::endian::native == std::endian::little, "the header is written little-endian");

// Results of the archive operations (the entry points' return codes).
enum Result : int {
  kOk = 0,
  kNoInput = -1,      // input missing / result does not fit the caller's buffer
  kBadMethod = -2,    // not an archive of a supported method
  kBadCrc = -3,       // expanded data differ from the header's CRC (or are damaged)
  kBadChecksum = -4,  // header checksum wrong
  kWriteFailed = -6,  // output file cannot be written
  kNoMemory = -9,
};

// ---- format constants -------------------------------------------------------------

constexpr int kDicBits = 15;
constexpr int kDicSize = 1 << kDicBits;  // 32,768-byte sliding window
constexpr int kMaxMatch = 256;
constexpr int kThreshold = 3;                          // shortest match
constexpr int kNC = 256 + kMaxMatch - kThreshold + 1;  // 510 literal/length codes
constexpr int kCBit = 9;
constexpr int kNT = 19;
constexpr int kTBit = 5;
constexpr int kNPMax = 16;  // -lh6-; -lh4-/-lh5- use 14
constexpr int kMaxCodeLen = 16;
constexpr std::uint32_t kSizeLimit = 500'000'000;  // largest input the codec handles in memory
constexpr std::size_t kMaxNameLen = 230;           // the header size is one byte

// ---- level-1 member header --------------------------------------------------------

#pragma pack(push, 1)
// The fixed part in front of the name.
struct HeaderHead {
  std::uint8_t size;       // H: header bytes after the first two (L + 25)
  std::uint8_t checksum;   // sum of those H bytes modulo 256
  char method[5];          // "-lh6-" or "-lh0-"
  std::uint32_t packed;    // compressed size
  std::uint32_t original;  // uncompressed size
  std::uint32_t time;      // always 0
  std::uint8_t attribute;  // 0x20
  std::uint8_t level;      // 1
  std::uint8_t name_len;   // L
};
// The fixed part behind the name.
struct HeaderTail {
  std::uint16_t crc;       // CRC-16 of the uncompressed data
  std::uint8_t os_id;      // 0x20
  std::uint16_t ext_size;  // size of the next extended header: 0
};
#pragma pack(pop)
static_assert(sizeof(HeaderHead) == 22);
static_assert(offsetof(HeaderHead, method) == 2 && offsetof(HeaderHead, packed) == 7 &&
              offsetof(HeaderHead, original) == 11 && offsetof(HeaderHead, time) == 15 &&
              offsetof(HeaderHead, attribute) == 19 && offsetof(HeaderHead, level) == 20 &&
              offsetof(HeaderHead, name_len) == 21);
static_assert(sizeof(HeaderTail) == 5);
static_assert(offsetof(HeaderTail, os_id) == 2 && offsetof(HeaderTail, ext_size) == 3);

constexpr std::size_t header_size(std::size_t name_len) {
  return sizeof(HeaderHead) + name_len + sizeof(HeaderTail);
}

// CRC-16 of the LHA format (reflected polynomial 0xA001, initial value as given).
std::uint16_t crc16(std::span<const std::uint8_t> data, std::uint16_t crc = 0);

// Writes a level-1 header (with its checksum) at out; returns its length. The
// method is "-lh6-" or "-lh0-"; name is at most kMaxNameLen bytes.
std::size_t write_header(std::uint8_t* out, const char* method, std::uint32_t packed,
                         std::uint32_t original, std::uint16_t crc, std::string_view name);

// What the expander takes from a member header.
struct Member {
  char method = 0;           // '0', '4', '5' or '6'
  int level = 1;             // header level 0, 1 or 2
  std::uint32_t packed = 0;  // member data bytes (extended headers taken off)
  std::uint32_t original = 0;
  std::uint16_t crc = 0;
  std::size_t data_offset = 0;  // where the member data start
};

// Reads the first member header. kOk, kBadMethod (empty archive, unknown method,
// a header that does not fit the input) or kBadChecksum.
int parse_header(std::span<const std::uint8_t> in, Member& m);

// ---- work records -------------------------------------------------------------------

// Everything the compressor needs besides the input and output buffers.
struct EncoderWork {
  std::uint8_t text[2 * kDicSize + kMaxMatch];  // two windows and the look-ahead
  std::uint16_t head[kDicSize];                 // newest position per hash value (0: none)
  std::uint16_t prev[kDicSize];                 // chain link per window position
  std::uint8_t too_long[kDicSize];              // chain-too-long flag per hash value
  std::uint16_t c_freq[2 * kNC - 1];
  std::uint16_t p_freq[2 * kNPMax - 1];
  std::uint16_t t_freq[2 * kNT - 1];
  std::uint8_t c_len[kNC];
  std::uint16_t c_code[kNC];
  std::uint8_t pt_len[kNT > kNPMax ? kNT : kNPMax];
  std::uint16_t pt_code[kNT > kNPMax ? kNT : kNPMax];
  std::uint8_t codes[16384];  // the code buffer of one block
};

// The expander's tables: 12-bit lookup for the C-code, 8-bit for T and P; longer
// codes are resolved canonically from the per-length tables.
struct DecoderWork {
  std::uint8_t c_len[kNC];
  std::uint8_t pt_len[kNT > kNPMax ? kNT : kNPMax];
  std::uint16_t c_table[1 << 12];
  std::uint16_t t_table[1 << 8];
  std::uint16_t p_table[1 << 8];
  // canonical decoding of codes longer than the lookup: symbols sorted by code
  std::uint16_t c_sorted[kNC], t_sorted[kNT], p_sorted[kNPMax];
  std::uint32_t c_limit[kMaxCodeLen + 2], t_limit[kMaxCodeLen + 2], p_limit[kMaxCodeLen + 2];
  std::uint16_t c_first[kMaxCodeLen + 2], t_first[kMaxCodeLen + 2], p_first[kMaxCodeLen + 2];
};

union Work {
  EncoderWork enc;
  DecoderWork dec;
};

// ---- coder ----------------------------------------------------------------------

// Compresses in with -lh6- into out, stopping (false) as soon as the compressed
// data would reach in.size() bytes; out must hold in.size() bytes. On success
// (true) out_len is the compressed length.
bool compress(std::span<const std::uint8_t> in, std::uint8_t* out, EncoderWork& w,
              std::size_t& out_len);

// Expands the member data of method '4', '5' or '6' into out (out.size() is the
// uncompressed size). Returns the number of bytes produced: fewer than out.size()
// when the data are damaged (bad tables, early end, distance before the start).
std::size_t expand(char method, std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                   DecoderWork& w);

// Where streamed output goes: false stops the expansion.
using Sink = bool (*)(const std::uint8_t* data, std::size_t len, void* ctx);
// The buffer a streamed expansion works in: the sliding window and a stretch of
// output handed to the sink at a time.
constexpr std::size_t kStreamBuffer = kDicSize + (std::size_t{1} << 18);

// The stream buffer an expansion of original bytes needs: kStreamBuffer, or
// less when the whole output fits.
constexpr std::size_t stream_buffer_size(std::size_t original) {
  return original < kStreamBuffer ? (original < 1 ? 1 : original) : kStreamBuffer;
}

// Expands the member data like expand(), handing the output to sink in pieces
// from buf (stream_buffer_size(original) bytes) instead of holding it whole.
// Returns the number of bytes handed over.
std::size_t expand_stream(char method, std::span<const std::uint8_t> in, std::size_t original,
                          std::uint8_t* buf, Sink sink, void* ctx, DecoderWork& w);

// ---- archives ---------------------------------------------------------------------

// Output capacity pack() needs for an input of n bytes and a name of name_len.
constexpr std::size_t pack_capacity(std::size_t n, std::size_t name_len) {
  return n + header_size(name_len) + 1;
}

// Builds a one-member archive of in (-lh6-, or -lh0- when it does not compress)
// into out, which holds pack_capacity() bytes; returns the archive's length.
std::size_t pack(std::span<const std::uint8_t> in, std::string_view name, std::uint8_t* out,
                 EncoderWork& w);

// Expands the first member of an archive whose header was read into m: out must
// hold m.original bytes; out_len is the number of bytes produced. kOk or kBadCrc.
int unpack(std::span<const std::uint8_t> in, const Member& m, std::uint8_t* out, DecoderWork& w,
           std::size_t& out_len);

// The same, handing the output to sink through buf (stream_buffer_size bytes); the
// CRC is taken over the pieces as they pass. kOk, kBadCrc, or kWriteFailed when
// the sink refused a piece.
int unpack_stream(std::span<const std::uint8_t> in, const Member& m, std::uint8_t* buf, Sink sink,
                  void* ctx, DecoderWork& w, std::size_t& out_len);

// The name stored for an input path: the path itself when it fits the header,
// else its last component, cut to kMaxNameLen bytes on a character boundary.
std::string_view stored_name(std::string_view path);

}  // namespace zr::lha
