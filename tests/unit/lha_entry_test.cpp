// _lha and _lha_mem: files and buffers, return codes, and the size limit.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "lha/lha.h"
#include "test_support.h"

namespace {

using qrt_test::read_file;
using qrt_test::write_file;

std::string sample_text(std::size_t n) {
  std::string s;
  for (int i = 0; s.size() < n; ++i)
    s += "商標公報 第" + std::to_string(i % 977) + "号 the quick brown fox\r\n";
  s.resize(n);
  return s;
}

// Re-sums the header checksum after a header byte was changed.
void fix_checksum(std::string& a) {
  unsigned sum = 0;
  for (int i = 0; i < static_cast<unsigned char>(a[0]); ++i)
    sum += static_cast<unsigned char>(a[2 + i]);
  a[1] = static_cast<char>(sum);
}

class LhaEntry : public qrt_test::AreasTest {};

TEST_F(LhaEntry, CompressesAndExpandsFiles) {
  const std::string in = dir.join("IN.TXT"), arc = dir.join("IN.LZH"), out = dir.join("OUT.TXT");
  const std::string data = sample_text(150'000);
  write_file(in, data);
  int n = _lha(0, in.c_str(), arc.c_str());
  std::string archive = read_file(arc);
  ASSERT_EQ(n, static_cast<int>(archive.size()));
  EXPECT_EQ(archive.substr(2, 5), "-lh6-");
  EXPECT_EQ(archive.substr(22, in.size()), in);  // the name is the path as passed
  EXPECT_LT(archive.size(), data.size() / 3);
  EXPECT_EQ(_lha(1, arc.c_str(), out.c_str()), static_cast<int>(data.size()));
  EXPECT_EQ(read_file(out), data);
}

// The expansion hands its output on in stretches of a quarter megabyte: long
// runs and matches that straddle every stretch end come out whole, and damage
// after the first stretches leaves what came before it.
TEST_F(LhaEntry, ExpansionAcrossItsOutputStretches) {
  const std::string in = dir.join("BIG.TXT"), arc = dir.join("BIG.LZH"), out = dir.join("BIG.OUT");
  std::string data = sample_text(700'001) + std::string(600'000, 'A') + sample_text(333'333);
  for (std::size_t i = 0; i < data.size(); i += 4093) data[i] = static_cast<char>('a' + i % 23);
  write_file(in, data);
  ASSERT_GT(_lha(0, in.c_str(), arc.c_str()), 0);
  EXPECT_EQ(_lha(1, arc.c_str(), out.c_str()), static_cast<int>(data.size()));
  EXPECT_EQ(read_file(out), data);

  // A member cut at two thirds: a CRC error, with the output up to the cut.
  std::string archive = read_file(arc);
  archive.resize(archive.size() * 2 / 3);
  write_file(arc, archive);
  EXPECT_EQ(_lha(1, arc.c_str(), out.c_str()), -3);
  const std::string got = read_file(out);
  EXPECT_GT(got.size(), 300'000u);
  EXPECT_LT(got.size(), data.size());
  EXPECT_EQ(got, data.substr(0, got.size()));
}

TEST_F(LhaEntry, EmptyFileRoundTrips) {
  const std::string in = dir.join("E.TXT"), arc = dir.join("E.LZH"), out = dir.join("E.OUT");
  write_file(in, "");
  ASSERT_EQ(_lha(0, in.c_str(), arc.c_str()), static_cast<int>(28 + in.size()));
  EXPECT_EQ(read_file(arc).substr(2, 5), "-lh0-");
  write_file(out, "old contents");
  EXPECT_EQ(_lha(1, arc.c_str(), out.c_str()), 0);
  EXPECT_TRUE(std::filesystem::exists(out));
  EXPECT_EQ(read_file(out), "");
}

TEST_F(LhaEntry, ReturnCodes) {
  const std::string in = dir.join("IN.TXT"), arc = dir.join("IN.LZH"), out = dir.join("OUT.TXT");
  const std::string data = sample_text(20'000);
  write_file(in, data);
  ASSERT_GT(_lha(0, in.c_str(), arc.c_str()), 0);
  const std::string good = read_file(arc);

  // Missing input.
  EXPECT_EQ(_lha(1, dir.join("NONE.LZH").c_str(), out.c_str()), -1);
  EXPECT_EQ(_lha(0, dir.join("NONE.TXT").c_str(), out.c_str()), -1);
  EXPECT_FALSE(std::filesystem::exists(out));
  // Output in a folder that does not exist.
  EXPECT_EQ(_lha(1, arc.c_str(), dir.join("NO\\DIR\\OUT.TXT").c_str()), -6);
  EXPECT_EQ(_lha(0, in.c_str(), dir.join("NO\\DIR\\OUT.LZH").c_str()), -6);

  // Header checksum wrong: nothing expanded, nothing written.
  std::string bad = good;
  bad[1] = static_cast<char>(bad[1] + 1);
  write_file(arc, bad);
  EXPECT_EQ(_lha(1, arc.c_str(), out.c_str()), -4);
  EXPECT_FALSE(std::filesystem::exists(out));
  // Unsupported method.
  bad = good;
  bad[5] = '7';
  fix_checksum(bad);
  write_file(arc, bad);
  EXPECT_EQ(_lha(1, arc.c_str(), out.c_str()), -2);
  EXPECT_FALSE(std::filesystem::exists(out));
  // CRC that does not match the data: the expanded bytes are still written.
  bad = good;
  const int crc_at = static_cast<unsigned char>(good[0]) - 3;
  bad[crc_at] = static_cast<char>(bad[crc_at] ^ 0x55);
  fix_checksum(bad);
  write_file(arc, bad);
  EXPECT_EQ(_lha(1, arc.c_str(), out.c_str()), -3);
  EXPECT_EQ(read_file(out), data);
}

TEST_F(LhaEntry, MemoryRoundTripAndCapacity) {
  const std::string data = sample_text(40'000);
  std::string buf = data;
  buf.resize(data.size() + 300);
  int n = _lha_mem(0, buf.data(), static_cast<int>(data.size()), static_cast<int>(buf.size()));
  ASSERT_GT(n, 0);
  EXPECT_EQ(buf.substr(22, 12), "LHA_FILE.TMP");
  const std::string archive = buf.substr(0, static_cast<std::size_t>(n));

  // One byte short of the result: -1 and the buffer untouched.
  std::string small = archive;
  small.resize(data.size() + 300, '#');
  const std::string before = small;
  EXPECT_EQ(_lha_mem(1, small.data(), n, static_cast<int>(data.size()) - 1), -1);
  EXPECT_EQ(small, before);

  EXPECT_EQ(_lha_mem(1, small.data(), n, static_cast<int>(small.size())),
            static_cast<int>(data.size()));
  EXPECT_EQ(small.substr(0, data.size()), data);

  // A coding error leaves the buffer untouched too.
  std::string bad = archive;
  bad[1] = static_cast<char>(bad[1] ^ 1);
  bad.resize(data.size() + 300, '#');
  const std::string bad_before = bad;
  EXPECT_EQ(_lha_mem(1, bad.data(), n, static_cast<int>(bad.size())), -4);
  EXPECT_EQ(bad, bad_before);
}

TEST_F(LhaEntry, InputsOverTheSizeLimitAreLeftAsTheyAre) {
  // The limit is checked before the buffer is read, so a short buffer stands in.
  std::string buf = "0123456789ABCDEF";
  EXPECT_EQ(_lha_mem(0, buf.data(), 500'000'000, 16), 500'000'000);
  EXPECT_EQ(_lha_mem(1, buf.data(), 500'000'000, 16), 500'000'000);
  EXPECT_EQ(buf, "0123456789ABCDEF");
  const std::vector<std::string> expect = {
      "*** ZWLHA_MEM *** 圧縮するデータのサイズが５００ＭＢを超えました。(500000000 Byte) \n",
      "*** ZWLHA_MEM *** 圧縮せずに終了します！！！ ",
      "*** ZWLHA_MEM *** データが圧縮されていません！！！",
      "*** ZWLHA_MEM *** 解凍せずに終了します！！！ ",
  };
  EXPECT_EQ(trace(), expect);
}

}  // namespace
