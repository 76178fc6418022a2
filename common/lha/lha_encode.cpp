// The -lh6- compressor: LZ77 over a 32 KiB sliding window with hash chains, one
// step of lazy evaluation, and blocks of static Huffman codes sent whenever the
// code buffer is nearly full. The compressor gives up as soon as its output
// reaches the size of the input; the caller then stores the data unchanged.
#include <algorithm>
#include <bit>
#include <cstring>

#include "lha/lha_codec.h"

namespace zr::lha {
namespace {

constexpr int kNP = 16;
constexpr int kPBit = 5;
constexpr std::uint32_t kHashMask = kDicSize - 1;
constexpr int kChainLimit = 256;
constexpr int kMaxOffset = kMaxMatch - kThreshold - 1;  // 252 positions ahead
constexpr std::size_t kFlushMargin = 24;

// Most significant bit first; counts the bytes and stops writing when the
// output reaches the limit.
class BitWriter {
 public:
  BitWriter(std::uint8_t* out, std::size_t limit) : out_(out), limit_(limit) {}
  void put(int n, std::uint32_t v) {
    acc_ = (acc_ << n) | (v & ((1u << n) - 1));
    bits_ += n;
    while (bits_ >= 8) {
      bits_ -= 8;
      emit(static_cast<std::uint8_t>(acc_ >> bits_));
    }
  }
  // Ones then a zero: the unary tail of a long table length.
  void put_ones(int ones) {
    for (int i = 0; i < ones; ++i) put(1, 1);
    put(1, 0);
  }
  bool full() const { return full_; }
  std::size_t size() const { return pos_; }

 private:
  void emit(std::uint8_t b) {
    if (pos_ >= limit_) {
      full_ = true;
      return;
    }
    out_[pos_++] = b;
    if (pos_ >= limit_) full_ = true;
  }
  std::uint8_t* out_;
  std::size_t limit_;
  std::size_t pos_ = 0;
  std::uint64_t acc_ = 0;
  int bits_ = 0;
  bool full_ = false;
};

// Huffman code lengths limited to kMaxCodeLen for the n symbols of freq, and the
// canonical codes. Returns the number of symbols used; when it is 0 or 1, single
// is the symbol to send in the table's single-code form (0 when none).
int make_code(int n, const std::uint16_t* freq, std::uint8_t* len, std::uint16_t* code,
              int& single) {
  std::uint16_t sym[kNC];
  int used = 0;
  for (int i = 0; i < n; ++i) {
    len[i] = 0;
    if (freq[i]) sym[used++] = static_cast<std::uint16_t>(i);
  }
  single = used ? sym[0] : 0;
  if (used < 2) return used;
  std::stable_sort(sym, sym + used, [&](int a, int b) { return freq[a] < freq[b]; });

  // Two-queue Huffman construction over leaves sorted by frequency.
  std::uint32_t weight[2 * kNC];
  int parent[2 * kNC];
  for (int i = 0; i < used; ++i) weight[i] = freq[sym[i]];
  int leaf = 0, node = used, next = used;
  auto take = [&]() {
    if (leaf < used && (node >= next || weight[leaf] <= weight[node])) return leaf++;
    return node++;
  };
  while (next < 2 * used - 1) {
    int a = take();
    int b = take();
    weight[next] = weight[a] + weight[b];
    parent[a] = parent[b] = next;
    ++next;
  }
  // Depths: the root is the last node.
  int depth[2 * kNC];
  depth[next - 1] = 0;
  for (int i = next - 2; i >= 0; --i) depth[i] = depth[parent[i]] + 1;
  std::uint32_t count[kMaxCodeLen + 1] = {};
  for (int i = 0; i < used; ++i) ++count[std::min(depth[i], kMaxCodeLen)];
  // Limit to kMaxCodeLen: make the counts a complete code again.
  std::uint32_t kraft = 0;
  for (int l = 1; l <= kMaxCodeLen; ++l) kraft += count[l] << (kMaxCodeLen - l);
  while (kraft > (1u << kMaxCodeLen)) {
    --count[kMaxCodeLen];
    for (int l = kMaxCodeLen - 1; l > 0; --l) {
      if (count[l]) {
        --count[l];
        count[l + 1] += 2;
        break;
      }
    }
    --kraft;
  }
  // Least frequent symbols get the longest codes.
  int idx = 0;
  for (int l = kMaxCodeLen; l > 0; --l)
    for (std::uint32_t k = 0; k < count[l]; ++k) len[sym[idx++]] = static_cast<std::uint8_t>(l);
  // Canonical codes: by length, then by symbol.
  std::uint16_t next_code[kMaxCodeLen + 2];
  std::uint32_t c = 0;
  for (int l = 1; l <= kMaxCodeLen; ++l) {
    next_code[l] = static_cast<std::uint16_t>(c);
    c = (c + count[l]) << 1;
  }
  for (int i = 0; i < n; ++i)
    if (len[i]) code[i] = next_code[len[i]]++;
  return used;
}

class Compressor {
 public:
  Compressor(std::span<const std::uint8_t> in, std::uint8_t* out, EncoderWork& w)
      : in_(in), w_(w), bw_(out, in.size()) {}

  bool run(std::size_t& out_len) {
    std::memset(w_.head, 0, sizeof w_.head);
    std::memset(w_.prev, 0, sizeof w_.prev);
    std::memset(w_.too_long, 0, sizeof w_.too_long);
    std::memset(w_.c_freq, 0, sizeof w_.c_freq);
    std::memset(w_.p_freq, 0, sizeof w_.p_freq);
    std::memset(w_.text, 0, sizeof w_.text);

    std::size_t n = std::min<std::size_t>(in_.size(), kDicSize + kMaxMatch);
    if (n) std::memcpy(w_.text + kDicSize, in_.data(), n);
    read_ = n;
    remainder_ = n;
    pos_ = kDicSize;
    data_start_ = kDicSize;
    const std::uint8_t* t = w_.text;
    hash_ = ((t[pos_] << 10) ^ (t[pos_ + 1] << 5) ^ t[pos_ + 2]) & kHashMask;

    // A match is kept as its length and distance, which a slide leaves valid.
    int cur_len = search(kThreshold - 1);
    std::uint32_t cur_dist = best_dist_;
    link();
    while (remainder_ > 0 && !bw_.full()) {
      int prev_len = cur_len;
      std::uint32_t prev_dist = cur_dist;
      advance();
      cur_len = search(std::max(prev_len, kThreshold - 1));
      cur_dist = best_dist_;
      link();
      if (cur_len > prev_len || prev_len < kThreshold) {
        output(w_.text[pos_ - 1], 0);
      } else {
        output(static_cast<unsigned>(prev_len + 256 - kThreshold), prev_dist);
        for (int i = 0; i < prev_len - 2; ++i) {
          advance();
          link();
        }
        advance();
        cur_len = search(kThreshold - 1);
        cur_dist = best_dist_;
        link();
      }
    }
    if (!bw_.full()) {
      send_block();
      bw_.put(7, 0);
    }
    if (bw_.full()) return false;
    out_len = bw_.size();
    return true;
  }

 private:
  void advance() {
    ++pos_;
    --remainder_;
    if (pos_ >= 2 * kDicSize) slide();
    hash_ = ((hash_ << 5) ^ w_.text[pos_ + 2]) & kHashMask;
  }

  void link() {
    w_.prev[pos_ & kHashMask] = w_.head[hash_];
    w_.head[hash_] = static_cast<std::uint16_t>(pos_);  // pos_ < 2 * kDicSize
  }

  void slide() {
    std::memmove(w_.text, w_.text + kDicSize, kDicSize + kMaxMatch);
    std::size_t n = std::min<std::size_t>(in_.size() - read_, kDicSize);
    if (n) std::memcpy(w_.text + kDicSize + kMaxMatch, in_.data() + read_, n);
    if (n < kDicSize) std::memset(w_.text + kDicSize + kMaxMatch + n, 0, kDicSize - n);
    read_ += n;
    remainder_ += n;
    pos_ -= kDicSize;
    data_start_ = data_start_ > kDicSize ? data_start_ - kDicSize : 0;
    for (auto& h : w_.head) h = static_cast<std::uint16_t>(h > kDicSize ? h - kDicSize : 0);
    for (auto& p : w_.prev) p = static_cast<std::uint16_t>(p > kDicSize ? p - kDicSize : 0);
  }

  // Length of the common prefix of a and b, at most max.
  static int match_length(const std::uint8_t* a, const std::uint8_t* b, int max) {
    int i = 0;
    while (i + 8 <= max) {
      std::uint64_t x, y;
      std::memcpy(&x, a + i, 8);
      std::memcpy(&y, b + i, 8);
      if (std::uint64_t d = x ^ y) return i + (std::countr_zero(d) >> 3);
      i += 8;
    }
    while (i < max && a[i] == b[i]) ++i;
    return i;
  }

  // Walks the chain of hash h, whose entries are `off` positions ahead of the
  // candidates, for a match longer than best_len_ of at most max bytes.
  void walk(std::uint32_t h, std::uint32_t off, int max) {
    const std::uint8_t* t = w_.text;
    const std::uint8_t* cur = t + pos_;
    std::int64_t lowest = std::max<std::int64_t>(static_cast<std::int64_t>(pos_) - kDicSize,
                                                 static_cast<std::int64_t>(data_start_));
    std::uint32_t p = w_.head[h];
    int chain = 0;
    int best = best_len_;  // >= 2
    // A longer match agrees with the current bytes at best - 1 and best: two
    // bytes compared at once rule most candidates out.
    auto tail = [](const std::uint8_t* q) {
      std::uint16_t v;
      std::memcpy(&v, q, 2);
      return v;
    };
    std::uint16_t cur_tail = tail(cur + best - 1);
    for (;;) {
      std::int64_t scan = static_cast<std::int64_t>(p) - off;
      if (p == 0 || scan < lowest) {
        w_.too_long[h] = 0;
        break;
      }
      if (chain == kChainLimit) {
        w_.too_long[h] = 1;
        break;
      }
      ++chain;
      const std::uint8_t* cand = t + scan;
      if (tail(cand + best - 1) == cur_tail) {
        int len = match_length(cand, cur, max);
        if (len > best) {
          best = len;
          best_dist_ = static_cast<std::uint32_t>(pos_ - scan - 1);
          if (len == max) break;
          cur_tail = tail(cur + best - 1);
        }
      }
      std::uint32_t next = w_.prev[p & kHashMask];
      if (next >= p) {  // a chain only goes back
        w_.too_long[h] = 0;
        break;
      }
      p = next;
    }
    best_len_ = best;
  }

  // The longest earlier occurrence at pos_ longer than min; returns its length
  // (best_dist_ its distance), or 0 when there is none.
  int search(int min) {
    best_len_ = min;
    int max = static_cast<int>(std::min<std::size_t>(kMaxMatch, remainder_));
    if (max <= min || max < kThreshold) return 0;
    std::uint32_t h = hash_;
    std::uint32_t off = 0;
    if (w_.too_long[hash_]) {
      std::uint32_t hk = hash_;
      for (std::uint32_t k = 1; k <= kMaxOffset; ++k) {
        hk = ((hk << 5) ^ w_.text[pos_ + k + 2]) & kHashMask;
        if (!w_.too_long[hk]) {
          h = hk;
          off = k;
          break;
        }
      }
    }
    walk(h, off, max);
    int short_max = std::min(max, static_cast<int>(off) + 2);
    if (off > 0 && best_len_ < short_max) walk(hash_, 0, short_max);
    return best_len_ > min ? best_len_ : 0;
  }

  // Puts one literal (c < 256) or match (c = length + 253, distance d) into the
  // code buffer, sending the block first when the buffer is nearly full.
  void output(unsigned c, std::uint32_t d) {
    mask_ >>= 1;
    if (mask_ == 0) {
      if (buf_pos_ >= sizeof w_.codes - kFlushMargin) {
        send_block();
        buf_pos_ = 0;
        if (bw_.full()) return;
      }
      mask_ = 0x80;
      flag_pos_ = buf_pos_++;
      w_.codes[flag_pos_] = 0;
    }
    w_.codes[buf_pos_++] = static_cast<std::uint8_t>(c);
    ++w_.c_freq[c];
    if (c >= 256) {
      w_.codes[flag_pos_] |= mask_;
      w_.codes[buf_pos_++] = static_cast<std::uint8_t>(d >> 8);
      w_.codes[buf_pos_++] = static_cast<std::uint8_t>(d);
      ++w_.p_freq[std::bit_width(d)];
    }
  }

  void write_pt_len(int n, int nbit, int special) {
    while (n > 0 && w_.pt_len[n - 1] == 0) --n;
    bw_.put(nbit, static_cast<std::uint32_t>(n));
    int i = 0;
    while (i < n) {
      int k = w_.pt_len[i++];
      if (k <= 6) {
        bw_.put(3, static_cast<std::uint32_t>(k));
      } else {
        bw_.put(3, 7);
        bw_.put_ones(k - 7);
      }
      if (i == special) {
        while (i < 6 && w_.pt_len[i] == 0) ++i;
        bw_.put(2, static_cast<std::uint32_t>(i - 3));
      }
    }
  }

  void put_t(int t) { bw_.put(w_.pt_len[t], w_.pt_code[t]); }

  // The zero runs and lengths of the C-table, as T-codes (counted or written).
  template <typename Fn>
  void c_len_items(Fn&& fn) {
    int n = kNC;
    while (n > 0 && w_.c_len[n - 1] == 0) --n;
    int i = 0;
    while (i < n) {
      int k = w_.c_len[i++];
      if (k == 0) {
        int count = 1;
        while (i < n && w_.c_len[i] == 0) {
          ++i;
          ++count;
        }
        if (count <= 2) {
          for (int j = 0; j < count; ++j) fn(0, 0, 0);
        } else if (count <= 18) {
          fn(1, 4, count - 3);
        } else if (count == 19) {
          fn(0, 0, 0);
          fn(1, 4, 15);
        } else {
          fn(2, kCBit, count - 20);
        }
      } else {
        fn(k + 2, 0, 0);
      }
    }
  }

  void send_block() {
    int single = 0;
    std::uint32_t size = 0;
    for (int i = 0; i < kNC; ++i) size += w_.c_freq[i];
    int used = make_code(kNC, w_.c_freq, w_.c_len, w_.c_code, single);
    bw_.put(16, size);
    if (used > 1) {
      std::memset(w_.t_freq, 0, sizeof w_.t_freq);
      c_len_items([&](int t, int, int) { ++w_.t_freq[t]; });
      int t_single = 0;
      if (make_code(kNT, w_.t_freq, w_.pt_len, w_.pt_code, t_single) > 1) {
        write_pt_len(kNT, kTBit, 3);
      } else {
        bw_.put(kTBit, 0);
        bw_.put(kTBit, static_cast<std::uint32_t>(t_single));
      }
      bw_.put(kCBit, static_cast<std::uint32_t>([&] {
                int n = kNC;
                while (n > 0 && w_.c_len[n - 1] == 0) --n;
                return n;
              }()));
      c_len_items([&](int t, int extra_bits, int extra) {
        put_t(t);
        if (extra_bits) bw_.put(extra_bits, static_cast<std::uint32_t>(extra));
      });
    } else {
      bw_.put(kTBit, 0);
      bw_.put(kTBit, 0);
      bw_.put(kCBit, 0);
      bw_.put(kCBit, static_cast<std::uint32_t>(single));
    }
    int p_single = 0;
    if (make_code(kNP, w_.p_freq, w_.pt_len, w_.pt_code, p_single) > 1) {
      write_pt_len(kNP, kPBit, -1);
    } else {
      bw_.put(kPBit, 0);
      bw_.put(kPBit, static_cast<std::uint32_t>(p_single));
    }
    // The codes.
    std::size_t i = 0;
    std::uint8_t flags = 0;
    for (std::uint32_t k = 0; k < size && !bw_.full(); ++k) {
      if ((k & 7) == 0) flags = w_.codes[i++];
      if (flags & (0x80 >> (k & 7))) {
        unsigned c = w_.codes[i] + 256u;
        std::uint32_t d = (static_cast<std::uint32_t>(w_.codes[i + 1]) << 8) | w_.codes[i + 2];
        i += 3;
        bw_.put(w_.c_len[c], w_.c_code[c]);
        int bits = std::bit_width(d);
        bw_.put(w_.pt_len[bits], w_.pt_code[bits]);
        if (bits > 1) bw_.put(bits - 1, d);
      } else {
        unsigned c = w_.codes[i++];
        bw_.put(w_.c_len[c], w_.c_code[c]);
      }
    }
    std::memset(w_.c_freq, 0, sizeof w_.c_freq);
    std::memset(w_.p_freq, 0, sizeof w_.p_freq);
  }

  std::span<const std::uint8_t> in_;
  EncoderWork& w_;
  BitWriter bw_;
  std::size_t read_ = 0;       // input bytes taken into the text buffer
  std::size_t remainder_ = 0;  // valid bytes from pos_ on
  std::uint32_t pos_ = 0;
  std::uint32_t data_start_ = 0;
  std::uint32_t hash_ = 0;
  int best_len_ = 0;
  std::uint32_t best_dist_ = 0;
  std::uint8_t mask_ = 1;
  std::size_t buf_pos_ = 0;
  std::size_t flag_pos_ = 0;
};

}  // namespace

bool compress(std::span<const std::uint8_t> in, std::uint8_t* out, EncoderWork& w,
              std::size_t& out_len) {
  Compressor c(in, out, w);
  return c.run(out_len);
}

}  // namespace zr::lha
