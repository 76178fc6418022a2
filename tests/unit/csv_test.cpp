// CSV splitting, quoting and line ends, attributes of markup tags, and the
// addresses and network paths found in text.
#include <cstring>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

using qrt_test::AreasTest;

class CsvSplit : public AreasTest {};

std::vector<std::string> split(const std::string& line) {
  std::vector<std::string> fields;
  const int n = _csvdata_sep(line.c_str());
  for (int k = 0; k < n; ++k) fields.emplace_back(zr00->csv_fld[k]);
  return fields;
}

TEST_F(CsvSplit, CsvSplitsAtEveryCommaThatIsACharacter) {
  using F = std::vector<std::string>;
  const struct {
    std::string line;
    F fields;
  } cases[] = {
      {"a,b,c,d", {"a", "b", "c", "d"}},
      {"a,\"b,c\",d", {"a", "\"b", "c\"", "d"}},  // quotes have no meaning
      {"", {""}},
      {",,", {"", "", ""}},
      {"x\r\n", {"x\r\n"}},
      // A lead byte takes the next byte, whatever it is: 0x2C after 0x81 is no comma.
      {"\x81,a,\x95\x5C", {"\x81,a", "\x95\x5C"}},
      {"ｱ,イ", {"ｱ", "イ"}},  // a half-width katakana is one byte
  };
  for (const auto& c : cases) EXPECT_EQ(split(c.line), c.fields) << c.line;
  EXPECT_EQ(zr00->csv_fld_cnt, 2);
}

TEST_F(CsvSplit, CsvRefusesOverLongLinesAndTooManyFields) {
  EXPECT_EQ(_csvdata_sep(std::string(9999, 'x').c_str()), 1);
  EXPECT_EQ(_csvdata_sep(std::string(10000, 'x').c_str()), -1);
  EXPECT_EQ(zr00->csv_fld_cnt, 0);
  EXPECT_EQ(_csvdata_sep(std::string(99, ',').c_str()), 100);
  EXPECT_EQ(_csvdata_sep(std::string(100, ',').c_str()), -1);
  int refusals = 0;
  for (const auto& line : trace()) refusals += line.find("_csvdata_sep") != std::string::npos;
  EXPECT_EQ(refusals, 2);
}

TEST_F(CsvSplit, CsvTraceListsTheFields) {
  _csvdata_sep("a,表");
  _csvdata_disp();
  const auto lines = trace();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[lines.size() - 3].substr(lines[lines.size() - 3].find("**")),
            "** pcsvsep cnt:2 **");
  EXPECT_NE(lines[lines.size() - 2].find("  no:1, item:a"), std::string::npos);
  EXPECT_NE(lines[lines.size() - 1].find("  no:2, item:表"), std::string::npos);
}

TEST(Csv, LineEnds) {
  char out[64];
  EXPECT_EQ(_csv_conv_crlf("a\nb\r\nc\n", out), 9);
  EXPECT_STREQ(out, "a\r\nb\r\nc\r\n");
  EXPECT_EQ(_csv_conv_crlf("\n", out), 2);
  char text[] = "\na\nb\r\nc\r";
  EXPECT_EQ(_csv_cut_crlf(text), 6);
  EXPECT_STREQ(text, "ab\r\nc\r");
}

TEST(Csv, EveryFieldIsQuoted) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"a,\"b,c\"\r\n", "\"a\",\"b,c\"\r\n"},
      {"a,,b", "\"a\",\"\",\"b\""},
      {"a,", "\"a\",\"\""},
      {"\"x \"\"y\"\" z\",2\r\n3\r\n", "\"x \"\"y\"\" z\",\"2\"\r\n\"3\"\r\n"},
      {"\"\",x", "\"\",\"x\""},
      {"a\nb,c", "\"a\nb\",\"c\""},          // a lone LF is no record end
      {"\x81\x22,x", "\"\x81\x22\",\"x\""},  // a trail byte is not a quote
      {"", ""},
  };
  for (const auto& c : cases) {
    char out[64];
    EXPECT_EQ(_csv_conv_wq(c.in, out), int(std::strlen(c.out))) << c.in;
    EXPECT_STREQ(out, c.out);
  }
  char out[64];
  EXPECT_EQ(_csv_conv_wq("a,\"never closed", out), -1);
  EXPECT_EQ(_csv_conv_wq("\"closed\"inside,x", out), -1);  // a quote not followed by a separator
}

TEST_F(CsvSplit, CsvFilesAreConvertedWhole) {
  const std::string src = dir.join("IN.CSV"), dst = dir.join("OUT.CSV");
  qrt_test::write_file(src, "a,b\nc,\"d,e\"");
  EXPECT_EQ(_csv_conv_fil(src.c_str(), dst.c_str()), 0);
  EXPECT_EQ(qrt_test::read_file(dst), "\"a\",\"b\"\r\n\"c\",\"d,e\"\r\n");
  // Onto itself.
  EXPECT_EQ(_csv_conv_fil(dst.c_str(), dst.c_str()), 0);
  EXPECT_EQ(qrt_test::read_file(dst), "\"a\",\"b\"\r\n\"c\",\"d,e\"\r\n");

  EXPECT_EQ(_csv_conv_fil(dir.join("MISSING.CSV").c_str(), dst.c_str()), -1);
  qrt_test::write_file(src, "");
  EXPECT_EQ(_csv_conv_fil(src.c_str(), dst.c_str()), -1);
  qrt_test::write_file(src, "\"open,x\n");
  EXPECT_EQ(_csv_conv_fil(src.c_str(), dst.c_str()), -1);
  EXPECT_EQ(qrt_test::read_file(dst), "\"a\",\"b\"\r\n\"c\",\"d,e\"\r\n");  // untouched
}

TEST(Markup, AttributeValues) {
  const struct {
    const char* tag;
    const char* name;
    const char* value;
  } cases[] = {
      {"<a href=\"x.htm\" id=7>", "href", "x.htm"},
      {"<a href=\"x.htm\" id=7>", "id", "7"},
      {"<a id = 'q r'>", "id", "q r"},
      {"<a idx=1 id=2>", "id", "2"},           // the whole name only
      {"<a title=\"b id=3\" x=1>", "id", ""},  // not inside another value
      {"<a href=x>", "name", ""},
      {"a href=x", "href", ""},    // not a tag
      {"<a> href=x", "href", ""},  // after the tag's end
      {"<a alt=\"表\">", "alt", "表"},
      {"<a alt=\"open", "alt", "open"},
  };
  for (const auto& c : cases) {
    char out[64] = "stale";
    EXPECT_EQ(_attr_get(c.tag, c.name, out), int(std::strlen(c.value))) << c.tag;
    EXPECT_STREQ(out, c.value) << c.tag;
  }
}

TEST(Addresses, WebAddressesAndNetworkPaths) {
  const std::string text =
      "see http://host/p?a=1&b=[2] and \\\\srv\\share\\表 x|y "
      "or HTTPS://H/ but not http:// alone, nor \\\\";
  EXPECT_EQ(_url_pos_cnt(text.c_str(), int(text.size())), 3);
  int starts[2] = {}, lengths[2] = {};
  EXPECT_EQ(_url_pos_set(text.c_str(), int(text.size()), starts, lengths, 2), 2);
  EXPECT_EQ(text.substr(std::size_t(starts[0]), std::size_t(lengths[0])),
            "http://host/p?a=1&b=[2]");
  // A path goes on over spaces and two-byte characters (表 ends in a backslash
  // byte) up to a sign a path cannot hold.
  EXPECT_EQ(text.substr(std::size_t(starts[1]), std::size_t(lengths[1])), "\\\\srv\\share\\表 x");
  // Only the first length bytes are looked at.
  EXPECT_EQ(_url_pos_cnt(text.c_str(), 10), 0);
  EXPECT_EQ(_url_pos_cnt(text.c_str(), 12), 1);
  EXPECT_EQ(_url_pos_cnt("", 0), 0);
}

}  // namespace
