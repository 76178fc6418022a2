// The LHA codec core over memory: archives written and read back, the header
// bytes, an archive from another compressor, and damaged streams.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "lha/lha_codec.h"

namespace {

using namespace zr::lha;
using Bytes = std::vector<std::uint8_t>;

Bytes bytes_of(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes random_bytes(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto& x : b) x = static_cast<std::uint8_t>(rng());
  return b;
}

// Text-like data with repeats near and far: words drawn from a small vocabulary.
Bytes wordy(std::size_t n, unsigned seed) {
  static const char* words[] = {"商標",  "公報",  "the ", "quick ", "brown ", "fox ", "jumps ",
                                "over ", "lazy ", "dog ", "出願 ",  "番号 ",  "\r\n", "0123 "};
  std::mt19937 rng(seed);
  Bytes b;
  while (b.size() < n) {
    const char* w = words[rng() % std::size(words)];
    b.insert(b.end(), w, w + std::strlen(w));
  }
  b.resize(n);
  return b;
}

class LhaCodec : public ::testing::Test {
 protected:
  Bytes pack_bytes(const Bytes& in, std::string_view name = "DATA.BIN") {
    Bytes out(pack_capacity(in.size(), stored_name(name).size()));
    out.resize(pack(in, name, out.data(), work->enc));
    return out;
  }
  // Expands an archive; the result code and the bytes produced.
  int unpack_bytes(const Bytes& archive, Bytes& out) {
    Member m;
    int rc = parse_header(archive, m);
    out.clear();
    if (rc != kOk) return rc;
    out.resize(m.original);
    std::size_t n = 0;
    rc = unpack(archive, m, out.data(), work->dec, n);
    out.resize(n);
    return rc;
  }
  std::string method_of(const Bytes& archive) {
    return std::string(reinterpret_cast<const char*>(archive.data()) + 2, 5);
  }
  std::unique_ptr<Work> work = std::make_unique<Work>();
};

TEST(LhaCrc, MatchesTheCrc16ArcCheckValue) {
  EXPECT_EQ(crc16(bytes_of("123456789")), 0xBB3D);
  EXPECT_EQ(crc16({}), 0);
}

struct RoundTrip {
  const char* name;
  Bytes data;
  const char* method;
};

TEST_F(LhaCodec, RoundTripsAndChoosesTheMethod) {
  Bytes across_slides = wordy(300'000, 1);
  // Repeat an early stretch far behind it, so matches reach back across a slide.
  std::copy(across_slides.begin() + 70'000, across_slides.begin() + 71'000,
            across_slides.begin() + 101'000);
  const RoundTrip cases[] = {
      {"one byte", bytes_of("A"), "-lh0-"},
      {"small text", bytes_of("abracadabra abracadabra abracadabra abracadabra"), "-lh6-"},
      {"Shift-JIS text", wordy(5000, 2), "-lh6-"},
      {"1000 equal bytes", Bytes(1000, 'x'), "-lh6-"},
      {"random", random_bytes(100'000, 3), "-lh0-"},
      {"across slides", across_slides, "-lh6-"},
      {"all byte values",
       [] {
         Bytes b;
         for (int r = 0; r < 64; ++r)
           for (int i = 0; i < 256; ++i) b.push_back(static_cast<std::uint8_t>(i * r + i));
         return b;
       }(),
       "-lh6-"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes archive = pack_bytes(c.data);
    EXPECT_EQ(method_of(archive), c.method);
    Bytes back;
    ASSERT_EQ(unpack_bytes(archive, back), kOk);
    EXPECT_EQ(back, c.data);
  }
}

TEST_F(LhaCodec, EmptyInputGivesAStoredHeaderAndTheEndByte) {
  Bytes archive = pack_bytes({}, "E.TXT");
  const std::uint8_t expect_head[] = {30, 0, '-', 'l', 'h', '0', '-', 0, 0,    0, 0,
                                      0,  0, 0,   0,   0,   0,   0,   0, 0x20, 1, 5};
  ASSERT_EQ(archive.size(), 28u + 5u);
  std::uint8_t sum = 0;
  for (std::size_t i = 2; i < 32; ++i) sum = static_cast<std::uint8_t>(sum + archive[i]);
  EXPECT_EQ(archive[1], sum);
  archive[1] = 0;
  EXPECT_EQ(Bytes(archive.begin(), archive.begin() + 22),
            Bytes(std::begin(expect_head), std::end(expect_head)));
  EXPECT_EQ(std::string(archive.begin() + 22, archive.begin() + 27), "E.TXT");
  const std::uint8_t expect_tail[] = {0, 0, 0x20, 0, 0, 0};  // CRC, OS id, next size, end byte
  EXPECT_EQ(Bytes(archive.begin() + 27, archive.end()),
            Bytes(std::begin(expect_tail), std::end(expect_tail)));
}

TEST_F(LhaCodec, HeaderCarriesSizesCrcAndName) {
  Bytes data = wordy(20'000, 4);
  Bytes archive = pack_bytes(data, "C:\\UPD\\QRT100.EXE");
  Member m;
  ASSERT_EQ(parse_header(archive, m), kOk);
  EXPECT_EQ(m.method, '6');
  EXPECT_EQ(m.original, data.size());
  EXPECT_EQ(m.crc, crc16(data));
  EXPECT_EQ(archive[0], 17 + 25);
  EXPECT_EQ(std::string(archive.begin() + 22, archive.begin() + 39), "C:\\UPD\\QRT100.EXE");
  // Header, member data, end byte.
  EXPECT_EQ(archive.size(), 27 + 17 + m.packed + 1);
  EXPECT_EQ(archive.back(), 0);
  EXPECT_LT(m.packed, data.size() / 2);
}

TEST_F(LhaCodec, RandomDataAreStoredUnchanged) {
  Bytes data = random_bytes(4096, 5);
  Bytes archive = pack_bytes(data);
  Member m;
  ASSERT_EQ(parse_header(archive, m), kOk);
  EXPECT_EQ(m.method, '0');
  EXPECT_EQ(m.packed, m.original);
  EXPECT_EQ(Bytes(archive.begin() + 35, archive.begin() + 35 + 4096), data);
}

TEST_F(LhaCodec, ARunOfEqualBytesBecomesAFewLongMatches) {
  Bytes archive = pack_bytes(Bytes(1000, 'x'));
  Member m;
  ASSERT_EQ(parse_header(archive, m), kOk);
  // One literal and four matches: a handful of bytes with their tables.
  EXPECT_LT(m.packed, 24u);
}

TEST(LhaName, LongPathsKeepTheirLastComponent) {
  EXPECT_EQ(stored_name("C:\\A\\B.TXT"), "C:\\A\\B.TXT");
  std::string dir(240, 'd');
  EXPECT_EQ(stored_name("C:\\" + dir + "\\FILE.LZH"), "FILE.LZH");
  std::string name(229, 'n');
  // A two-byte character that would end past 230 bytes is left out whole.
  std::string sjis = name + "\x95\x5C" + "X";
  EXPECT_EQ(stored_name("C:\\" + sjis), name);
}

// An -lh5- archive with a level-1 header and an extended header, written by
// jlha (jlha a1o5 s5.lzh s.txt).
const std::uint8_t kJlhaLh5[] = {
    0x1e, 0x8c, 0x2d, 0x6c, 0x68, 0x35, 0x2d, 0x4d, 0x00, 0x00, 0x00, 0x8d, 0x00, 0x00, 0x00, 0x17,
    0x11, 0x8a, 0x5d, 0x20, 0x01, 0x05, 0x73, 0x2e, 0x74, 0x78, 0x74, 0xdc, 0x38, 0x00, 0x05, 0x00,
    0x00, 0x55, 0x61, 0x00, 0x00, 0x00, 0x42, 0x4d, 0x6e, 0x95, 0x99, 0x54, 0x75, 0x00, 0xf4, 0x87,
    0x92, 0x54, 0x23, 0xdb, 0x7f, 0x33, 0x06, 0xf9, 0x8c, 0x0a, 0x72, 0x21, 0x20, 0xa8, 0x1c, 0xe0,
    0x04, 0x92, 0x2c, 0x91, 0x69, 0x4e, 0xc8, 0x7a, 0xba, 0x46, 0xb6, 0xb8, 0x67, 0x38, 0x36, 0xf0,
    0xc9, 0x2e, 0xf1, 0x16, 0x2f, 0x02, 0xe9, 0xe3, 0x96, 0x81, 0x76, 0x74, 0xbc, 0xbb, 0x03, 0xd7,
    0x21, 0x15, 0xf5, 0xff, 0xb0, 0x17, 0x98, 0x44, 0x18, 0xa7, 0xc9, 0xaa, 0x80, 0x00};
const char kJlhaText[] =
    "abracadabra abracadabra, the quick brown fox jumps over the lazy dog; the quick brown fox "
    "jumps over the lazy dog again and again and again.\n";

TEST_F(LhaCodec, ExpandsLh5FromAnotherCompressorSkippingItsExtendedHeader) {
  Bytes archive(std::begin(kJlhaLh5), std::end(kJlhaLh5));
  Member m;
  ASSERT_EQ(parse_header(archive, m), kOk);
  EXPECT_EQ(m.method, '5');
  EXPECT_EQ(m.packed, 0x4Du - 5u);
  Bytes back;
  ASSERT_EQ(unpack_bytes(archive, back), kOk);
  EXPECT_EQ(std::string(back.begin(), back.end()), kJlhaText);
}

TEST_F(LhaCodec, HeaderErrors) {
  Bytes good = pack_bytes(wordy(3000, 6));
  struct Case {
    const char* name;
    void (*damage)(Bytes&);
    int rc;
  } cases[] = {
      {"checksum off by one", [](Bytes& a) { ++a[1]; }, kBadChecksum},
      {"method -lh7-",
       [](Bytes& a) {
         a[5] = '7';
         a[1] = static_cast<std::uint8_t>(a[1] + 1);
       },
       kBadMethod},
      {"empty archive", [](Bytes& a) { a.assign(1, 0); }, kBadMethod},
      {"header cut short", [](Bytes& a) { a.resize(20); }, kBadMethod},
      {"CRC of other data",
       [](Bytes& a) {
         a[a[0] - 3] ^= 1;
         a[1] = static_cast<std::uint8_t>(a[1] + ((a[a[0] - 3] & 1) ? 1 : -1));
       },
       kBadCrc},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes a = good;
    c.damage(a);
    Bytes out;
    EXPECT_EQ(unpack_bytes(a, out), c.rc);
  }
}

// Builds member data bit by bit, most significant bit first.
struct Bits {
  Bytes bytes;
  int used = 0;
  Bits& put(int n, unsigned v) {
    for (int i = n - 1; i >= 0; --i) {
      if (used % 8 == 0) bytes.push_back(0);
      if ((v >> i) & 1) bytes.back() |= static_cast<std::uint8_t>(0x80 >> (used % 8));
      ++used;
    }
    return *this;
  }
};

// A member whose data are the given stream, with the CRC of `expect`.
Bytes member(char method, const Bytes& data, const Bytes& expect) {
  Bytes a(header_size(1) + data.size() + 1);
  const char m[6] = {'-', 'l', 'h', method, '-', 0};
  write_header(a.data(), m, static_cast<std::uint32_t>(data.size()),
               static_cast<std::uint32_t>(expect.size()), crc16(expect), "X");
  std::copy(data.begin(), data.end(), a.begin() + header_size(1));
  return a;
}

TEST_F(LhaCodec, ASingleCodeBlockRepeatsItsSymbol) {
  // Block of 5 codes; T: single code 0; C: single code 'Q'; P: single code 0.
  Bits b;
  b.put(16, 5).put(5, 0).put(5, 0).put(9, 0).put(9, 'Q').put(5, 0).put(5, 0);
  Bytes out;
  EXPECT_EQ(unpack_bytes(member('6', b.bytes, bytes_of("QQQQQ")), out), kOk);
  EXPECT_EQ(std::string(out.begin(), out.end()), "QQQQQ");
  // The same with a single match code: 'a' then matches of length 4 at distance 0.
  Bits m;
  m.put(16, 1).put(5, 0).put(5, 0).put(9, 0).put(9, 'a').put(5, 0).put(5, 0);
  m.put(16, 2).put(5, 0).put(5, 0).put(9, 0).put(9, 256 + 4 - 3).put(5, 0).put(5, 0);
  EXPECT_EQ(unpack_bytes(member('6', m.bytes, bytes_of("aaaaaaaaa")), out), kOk);
  EXPECT_EQ(std::string(out.begin(), out.end()), "aaaaaaaaa");
}

TEST_F(LhaCodec, DamagedStreamsStopInsideTheirBuffers) {
  const Bytes expect(2000, 'z');
  Bits over_full_t;  // three T-lengths of 1: more codes than one bit holds
  over_full_t.put(16, 10).put(5, 3).put(3, 1).put(3, 1).put(3, 1).put(2, 0);
  Bits bad_c_symbol;  // single C-code 600 of an alphabet of 510
  bad_c_symbol.put(16, 10).put(5, 0).put(5, 0).put(9, 0).put(9, 600);
  Bits too_many_c;  // C count over 510
  too_many_c.put(16, 10).put(5, 0).put(5, 3).put(9, 511);
  Bits before_start;  // a match at the very start
  before_start.put(16, 10).put(5, 0).put(5, 0).put(9, 0).put(9, 300).put(5, 0).put(5, 9);
  Bits empty_block;
  empty_block.put(16, 0);
  Bits long_length;  // a T-length of 7 + 12 ones
  long_length.put(16, 10).put(5, 1).put(3, 7).put(12, 0xFFF).put(1, 0);
  Bits early_end;  // 2000 codes promised, a few bytes given
  early_end.put(16, 2000).put(5, 0).put(5, 0).put(9, 0).put(9, 'z').put(5, 0).put(5, 0);
  early_end.bytes.resize(early_end.bytes.size() - 2);
  Bytes truncated_real = pack_bytes(wordy(50'000, 7));
  Member m;
  ASSERT_EQ(parse_header(truncated_real, m), kOk);

  const std::pair<const char*, Bytes> cases[] = {
      {"over-full T-table", over_full_t.bytes}, {"C symbol out of range", bad_c_symbol.bytes},
      {"C count too large", too_many_c.bytes},  {"distance before start", before_start.bytes},
      {"empty block", empty_block.bytes},       {"T-length over 16", long_length.bytes},
      {"early end", early_end.bytes},           {"no data", {}},
  };
  for (const auto& [name, data] : cases) {
    SCOPED_TRACE(name);
    Bytes out;
    EXPECT_EQ(unpack_bytes(member('6', data, expect), out), kBadCrc);
    EXPECT_LT(out.size(), expect.size());
  }
  // A real archive cut in the middle of its data.
  Bytes cut(truncated_real.begin(), truncated_real.begin() + 27 + 8 + m.packed / 2);
  Bytes out;
  EXPECT_EQ(unpack_bytes(cut, out), kBadCrc);
  EXPECT_LT(out.size(), m.original);
}

TEST_F(LhaCodec, RandomStreamsNeverEscapeTheirBuffers) {
  // Under the sanitizers any read or write outside the tables fails this test.
  const Bytes expect(70'000, 0);
  for (unsigned seed = 0; seed < 300; ++seed) {
    Bytes data = random_bytes(64 + seed * 7, seed);
    for (char method : {'5', '6'}) {
      Bytes out;
      int rc = unpack_bytes(member(method, data, expect), out);
      EXPECT_TRUE(rc == kBadCrc || rc == kOk);
      EXPECT_LE(out.size(), expect.size());
    }
  }
}

}  // namespace
