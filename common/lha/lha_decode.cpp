// The -lh4-/-lh5-/-lh6- expander. Codes are decoded with one table lookup (12 bits
// for the literal/length code, 8 bits for the others); the rare longer codes are
// resolved from the canonical per-length tables. Every table read from the stream
// is checked before use: an over-full code, a length or symbol out of range, a
// distance before the start of the output or data that end early stop the
// expansion, and the caller's CRC check then reports the damage.
#include <algorithm>
#include <bit>
#include <cstring>

#include "lha/lha_codec.h"

namespace zr::lha {
namespace {

// Most significant bit first. Past the end of the input it shifts in zero bits
// and counts them, so a stream that ends early is recognised.
class BitReader {
 public:
  explicit BitReader(std::span<const std::uint8_t> in) : p_(in.data()), end_(p_ + in.size()) {
    refill();
  }

  // Tops the buffer up to at least 57 valid bits.
  void refill() {
    if (bits_ > 56) return;
    if (end_ - p_ >= 8) {
      std::uint64_t v;
      std::memcpy(&v, p_, 8);
      v = __builtin_bswap64(v);
      buf_ |= v >> bits_;
      p_ += (63 - bits_) >> 3;
      bits_ |= 56;
      return;
    }
    while (bits_ <= 56) {
      std::uint64_t b = 0;
      if (p_ < end_) {
        b = *p_++;
      } else {
        ++padding_;
      }
      buf_ |= b << (56 - bits_);
      bits_ += 8;
    }
  }
  std::uint32_t peek(int n) const { return static_cast<std::uint32_t>(buf_ >> (64 - n)); }
  std::uint64_t raw() const { return buf_; }
  void skip(int n) {
    buf_ <<= n;
    bits_ -= n;
  }
  // n in 1..16
  std::uint32_t get(int n) {
    refill();
    std::uint32_t v = peek(n);
    skip(n);
    return v;
  }
  // True once a bit beyond the end of the input has been consumed.
  bool overrun() const { return padding_ != 0 && padding_ * 8 > static_cast<std::size_t>(bits_); }

 private:
  const std::uint8_t* p_;
  const std::uint8_t* end_;
  std::uint64_t buf_ = 0;
  int bits_ = 0;
  std::size_t padding_ = 0;
};

// A table entry: bit 15 set = a symbol (bits 0-9) of the length in bits 10-14;
// kSlow = a longer code; 0 = no code starts with these bits.
constexpr std::uint16_t kSlow = 1;
constexpr std::uint16_t entry(unsigned sym, unsigned len) {
  return static_cast<std::uint16_t>(0x8000 | (len << 10) | sym);
}

struct Table {
  std::uint16_t* lookup;
  int bits;
  std::uint16_t* sorted;
  std::uint32_t* limit;  // [l]: first left-justified code value after length l
  std::uint16_t* first;  // [l]: index in sorted of the first symbol of length l
};

// One symbol for every code: no bits are read.
void build_single(const Table& t, unsigned sym) {
  std::fill_n(t.lookup, 1u << t.bits, entry(sym, 0));
}

// Builds the lookup from code lengths (each 0..16). False when the lengths
// over-fill the code space. An incomplete code is accepted; its unused bit
// patterns decode as errors.
bool build_table(const Table& t, const std::uint8_t* len, int n) {
  std::uint32_t count[kMaxCodeLen + 1] = {};
  for (int i = 0; i < n; ++i) ++count[len[i]];
  count[0] = 0;
  std::uint32_t start[kMaxCodeLen + 2];
  std::uint32_t code = 0;
  std::uint16_t index = 0;
  for (int l = 1; l <= kMaxCodeLen; ++l) {
    start[l] = code;
    t.first[l] = index;
    code += count[l] << (kMaxCodeLen - l);
    index = static_cast<std::uint16_t>(index + count[l]);
    t.limit[l] = code;
  }
  if (code > (1u << kMaxCodeLen)) return false;
  std::uint16_t fill[kMaxCodeLen + 1];
  for (int l = 1; l <= kMaxCodeLen; ++l) fill[l] = t.first[l];
  for (int s = 0; s < n; ++s)
    if (len[s]) t.sorted[fill[len[s]]++] = static_cast<std::uint16_t>(s);

  std::fill_n(t.lookup, 1u << t.bits, std::uint16_t{0});
  std::uint32_t next[kMaxCodeLen + 1];
  for (int l = 1; l <= kMaxCodeLen; ++l) next[l] = start[l];
  for (int s = 0; s < n; ++s) {
    int l = len[s];
    if (!l) continue;
    std::uint32_t c = next[l];  // left-justified in 16 bits
    next[l] += 1u << (kMaxCodeLen - l);
    std::uint32_t lo = c >> (kMaxCodeLen - t.bits);
    if (l <= t.bits) {
      std::uint32_t hi = lo + (1u << (t.bits - l));
      std::fill(t.lookup + lo, t.lookup + hi, entry(s, l));
    } else {
      t.lookup[lo] = kSlow;
    }
  }
  return true;
}

// The next symbol, or -1 when no code matches. The reader holds >= 16 bits.
inline int decode(BitReader& r, const Table& t) {
  std::uint16_t e = t.lookup[r.peek(t.bits)];
  if (e & 0x8000) {
    r.skip((e >> 10) & 31);
    return e & 0x3FF;
  }
  if (e != kSlow) return -1;
  std::uint32_t v = r.peek(kMaxCodeLen);
  std::uint32_t base = 0;
  for (int l = 1; l <= kMaxCodeLen; ++l) {
    if (v < t.limit[l]) {
      r.skip(l);
      return t.sorted[t.first[l] + ((v - base) >> (kMaxCodeLen - l))];
    }
    base = t.limit[l];
  }
  return -1;
}

class Expander {
 public:
  Expander(char method, std::span<const std::uint8_t> in, DecoderWork& w)
      : r_(in),
        w_(w),
        np_(method == '6' ? 16 : 14),
        pbit_(method == '6' ? 5 : 4),
        c_{w.c_table, 12, w.c_sorted, w.c_limit, w.c_first},
        t_{w.t_table, 8, w.t_sorted, w.t_limit, w.t_first},
        p_{w.p_table, 8, w.p_sorted, w.p_limit, w.p_first} {}

  // Expands into buf[from, limit); buf[0, from) holds the output before it
  // (all of it, or at least the last kDicSize bytes). Stops at limit, in the
  // middle of a match if need be (the next call goes on with it), or where the
  // data are damaged. Returns the position reached.
  std::size_t run(std::uint8_t* buf, std::size_t from, std::size_t limit) {
    std::uint8_t* const begin = buf;
    std::uint8_t* const end = begin + limit;
    std::uint8_t* op = begin + from;
    if (pending_len_ > 0) {
      const std::size_t n = std::min<std::size_t>(pending_len_, static_cast<std::size_t>(end - op));
      const std::uint8_t* src = op - pending_d_ - 1;
      for (std::size_t i = 0; i < n; ++i) op[i] = src[i];
      op += n;
      pending_len_ -= n;
    }
    while (op < end) {
      if (left_in_block_ == 0) {
        left_in_block_ = read_block_header();
        if (left_in_block_ == 0) break;
      }
      --left_in_block_;
      r_.refill();
      int c = decode(r_, c_);
      if (c < 0) break;
      if (c < 256) {
        if (r_.overrun()) break;
        *op++ = static_cast<std::uint8_t>(c);
        continue;
      }
      int k = decode(r_, p_);
      if (k < 0) break;
      std::uint32_t d = k;
      if (k > 1) {
        d = (1u << (k - 1)) | r_.peek(k - 1);
        r_.skip(k - 1);
      }
      if (r_.overrun()) break;
      std::size_t done = static_cast<std::size_t>(op - begin);
      if (d >= done) break;  // the copy would start before the output
      const std::size_t full = static_cast<std::size_t>(c - 253);
      std::size_t len = std::min<std::size_t>(full, static_cast<std::size_t>(end - op));
      if (len < full) {
        pending_len_ = full - len;
        pending_d_ = d;
      }
      const std::uint8_t* src = op - d - 1;
      if (d >= 7 && static_cast<std::size_t>(end - op) >= len + 8) {
        // Eight bytes at a time: the source stays at least eight bytes behind,
        // so overlapping copies repeat the data as a byte-wise copy would; the
        // few bytes written past the match are overwritten later.
        for (std::size_t i = 0; i < len; i += 8) std::memcpy(op + i, src + i, 8);
      } else if (d == 0) {
        std::memset(op, *src, len);
      } else {
        for (std::size_t i = 0; i < len; ++i) op[i] = src[i];
      }
      op += len;
    }
    return static_cast<std::size_t>(op - begin);
  }

  // Bytes of a match cut at the last limit, still to be copied.
  bool match_pending() const { return pending_len_ > 0; }

 private:
  // Reads a block header and builds its tables; the block's code count, or 0
  // when the header is damaged.
  std::uint32_t read_block_header() {
    std::uint32_t size = r_.get(16);
    if (size == 0) return 0;
    if (!read_pt_len(kNT, kTBit, 3, t_)) return 0;
    if (!read_c_len()) return 0;
    if (!read_pt_len(np_, pbit_, -1, p_)) return 0;
    if (r_.overrun()) return 0;
    return size;
  }

  bool read_pt_len(int nn, int nbit, int special, const Table& t) {
    int n = static_cast<int>(r_.get(nbit));
    if (n == 0) {
      unsigned sym = r_.get(nbit);
      if (sym >= static_cast<unsigned>(nn)) return false;
      build_single(t, sym);
      return true;
    }
    if (n > nn) return false;
    std::uint8_t* len = w_.pt_len;
    constexpr std::size_t kLenMax = sizeof w_.pt_len;
    const std::size_t count = static_cast<std::size_t>(n), all = static_cast<std::size_t>(nn);
    if (all > kLenMax) return false;
    // The position after which a 2-bit count of zero lengths follows (none: -1).
    const std::size_t zero_run_at = special < 0 ? kLenMax + 1 : static_cast<std::size_t>(special);
    std::size_t i = 0;
    while (i < count) {
      r_.refill();
      int c = static_cast<int>(r_.peek(3));
      r_.skip(3);
      if (c == 7) {
        int ones = std::countl_one(r_.raw());
        if (ones > kMaxCodeLen - 7) return false;
        r_.skip(ones + 1);
        c += ones;
      }
      len[i++] = static_cast<std::uint8_t>(c);
      if (i == zero_run_at) {
        std::size_t zeros = r_.get(2);
        for (; zeros > 0 && i < all; --zeros) len[i++] = 0;
      }
    }
    for (; i < all; ++i) len[i] = 0;
    return build_table(t, len, nn);
  }

  bool read_c_len() {
    int n = static_cast<int>(r_.get(kCBit));
    if (n == 0) {
      unsigned sym = r_.get(kCBit);
      if (sym >= static_cast<unsigned>(kNC)) return false;
      build_single(c_, sym);
      return true;
    }
    if (n > kNC) return false;
    std::uint8_t* len = w_.c_len;
    int i = 0;
    while (i < n) {
      r_.refill();
      int c = decode(r_, t_);
      if (c < 0) return false;
      if (c <= 2) {
        int count = c == 0   ? 1
                    : c == 1 ? static_cast<int>(r_.get(4)) + 3
                             : static_cast<int>(r_.get(kCBit)) + 20;
        if (i + count > kNC) return false;
        std::memset(len + i, 0, static_cast<std::size_t>(count));
        i += count;
      } else {
        len[i++] = static_cast<std::uint8_t>(c - 2);
      }
      if (r_.overrun()) return false;
    }
    if (i < kNC) std::memset(len + i, 0, static_cast<std::size_t>(kNC - i));
    return build_table(c_, len, kNC);
  }

  BitReader r_;
  DecoderWork& w_;
  int np_, pbit_;
  Table c_, t_, p_;
  std::uint32_t left_in_block_ = 0;
  std::size_t pending_len_ = 0;
  std::uint32_t pending_d_ = 0;
};

}  // namespace

std::size_t expand(char method, std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                   DecoderWork& w) {
  if (out.empty()) return 0;
  Expander e(method, in, w);
  return e.run(out.data(), 0, out.size());
}

std::size_t expand_stream(char method, std::span<const std::uint8_t> in, std::size_t original,
                          std::uint8_t* buf, Sink sink, void* ctx, DecoderWork& w) {
  if (original == 0) return 0;
  Expander e(method, in, w);
  const std::size_t size = stream_buffer_size(original);
  std::size_t pos = 0, total = 0;
  while (total < original) {
    const std::size_t limit = std::min(size, pos + (original - total));
    const std::size_t reached = e.run(buf, pos, limit);
    const std::size_t n = reached - pos;
    if (n > 0 && !sink(buf + pos, n, ctx)) break;
    total += n;
    if (reached < limit || n == 0 || total >= original) break;  // damaged data, or done
    // Only a buffer of kStreamBuffer bytes is ever full before the end.
    if (reached == size) {
      // The window moves to the front: matches reach at most kDicSize back.
      std::memmove(buf, buf + reached - kDicSize, kDicSize);
      pos = kDicSize;
    } else {
      pos = reached;
    }
  }
  return total;
}

}  // namespace zr::lha
