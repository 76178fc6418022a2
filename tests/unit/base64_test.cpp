// Base64 of the credential files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "text/base64.h"

namespace {

std::string encode(const std::string& bytes) {
  std::string out(4 * ((bytes.size() + 2) / 3) + 4, '#');
  int n = _conv_base64(0, bytes.data(), out.data(), static_cast<int>(bytes.size()));
  EXPECT_EQ(out.substr(static_cast<std::size_t>(n)), std::string(4, '#'))
      << "wrote beyond the encoded text";
  return out.substr(0, static_cast<std::size_t>(n));
}

std::string decode(const std::string& text, int length) {
  std::string out(text.size() + 4, '#');
  int n = _conv_base64(1, text.c_str(), out.data(), length);
  return out.substr(0, static_cast<std::size_t>(n));
}
std::string decode(const std::string& text) { return decode(text, static_cast<int>(text.size())); }

TEST(Base64, EncodesWithPadding) {
  const struct {
    std::string bytes, text;
  } cases[] = {
      {"", ""},
      {"a", "YQ=="},
      {"ab", "YWI="},
      {"abc", "YWJj"},
      {"abcd", "YWJjZA=="},
      {"user:pass", "dXNlcjpwYXNz"},
      {std::string("\xFB\xFF\xFE", 3), "+//+"},
      {std::string(18, '\0'), std::string(24, 'A')},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(encode(c.bytes), c.text);
    EXPECT_EQ(decode(c.text), c.bytes) << c.text;
  }
}

TEST(Base64, DecodingStopsAtTheFirstCharacterOutsideTheAlphabet) {
  const struct {
    std::string text;
    std::string bytes;
  } cases[] = {
      {"YWJj", "abc"},
      {"YWI=YWJj", "ab"},       // padding ends the text
      {"YWJj\r\nYWJj", "abc"},  // so does a line break
      {"YWJj YWJj", "abc"},
      {"YQ", "a"},  // unpadded tail
      {"Y", ""},    // a lone character carries no whole byte
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(decode(c.text), c.bytes) << c.text;
}

TEST(Base64, DecodingReadsAtMostLengthCharacters) {
  EXPECT_EQ(decode("YWJjZGVm", 4), "abc");
  EXPECT_EQ(decode("YWJj", 0), "");
}

TEST(Base64, EveryByteValueRoundTrips) {
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  for (std::size_t len : {1u, 2u, 3u, 100u, 256u}) {
    std::string bytes = all.substr(0, len);
    std::string text = encode(bytes);
    EXPECT_EQ(text.size(), 4 * ((len + 2) / 3));
    EXPECT_EQ(
        text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
        std::string::npos);
    EXPECT_EQ(decode(text), bytes);
  }
}

}  // namespace
