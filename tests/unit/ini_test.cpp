// The INI engine: loading and writing back documents, the odd rules of the
// format, direct reads, growth of the document and the fatal paths.
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "runtime/ini.h"
#include "test_support.h"

#if !defined(_WIN32)
#include <sys/resource.h>
#endif

namespace {

using qrt_test::read_file;
using qrt_test::read_lines;
using qrt_test::write_file;
using Lines = std::vector<std::string>;

class IniTest : public qrt_test::AreasTest {
 protected:
  std::string fnm() const { return dir.join("TEST.INI"); }
  static std::string shown(int rc, const char* out) {
    return rc == 0 ? std::string(out) : "<" + std::to_string(rc) + ":" + out + ">";
  }
  // A read straight from the file; the same read from the file read once must
  // give the same.
  std::string read(const char* section, const char* key) {
    char out[kConfigValueMax];
    std::strcpy(out, "garbage");
    std::string direct = shown(_config_read(fnm().c_str(), section, key, out), out);
    const ZrIniFile file(fnm().c_str());
    std::strcpy(out, "garbage");
    EXPECT_EQ(shown(file.read(section, key, out), out), direct)
        << "read once: [" << (section ? section : "(null)") << "] " << (key ? key : "(null)");
    return direct;
  }
};

TEST_F(IniTest, RoundTripKeepsLinesAndOrderAndSavesOld) {
  const std::string original =
      ";head comment\r\n"
      "\r\n"
      "[ONE]\r\n"
      "a = 1\r\n"
      " b=two words \r\n"
      ";inside\r\n"
      "\r\n"
      "no equals sign\r\n"
      "[TWO]\r\n"
      "c=\r\n"
      "d=x=y\n";  // a LF-only line end is read too
  write_file(fnm(), original);
  _config_open(fnm().c_str());
  _config_write("TWO", "d", "x=y");  // same value: the document is written back as is
  _config_close();

  EXPECT_EQ(
      read_file(fnm()),
      ";head comment\r\n[ONE]\r\na = 1\r\n b=two words \r\n;inside\r\n[TWO]\r\nc=\r\nd=x=y\r\n");
  EXPECT_EQ(read_file(fnm() + ".OLD"), original);
}

TEST_F(IniTest, CloseWithoutChangesWritesNothing) {
  write_file(fnm(), "[S]\r\n\r\nk=1\r\n");
  _config_open(fnm().c_str());
  _config_write("S", "k", "");  // an empty value changes nothing
  _config_write("S", "", "v");
  _config_write("", "k", "v");
  _config_write("S", "missing", nullptr);
  _config_write("MISSING", nullptr, nullptr);
  _config_close();
  EXPECT_EQ(read_file(fnm()), "[S]\r\n\r\nk=1\r\n");
  EXPECT_FALSE(std::filesystem::exists(fnm() + ".OLD"));
}

TEST_F(IniTest, RepeatedSectionAndOneLetterSectionDropTheirKeys) {
  write_file(fnm(),
             "key=before any section\r\n"
             "[A]\r\na=1\r\na=2\r\n"
             "[B]\r\nb=1\r\n"
             "[A]\r\na=3\r\nc=3\r\n;goes to B\r\n"
             "[x\r\nq=1\r\n"
             "[]\r\nr=1\r\n"
             "[C]\r\nc=1\r\n");
  _config_open(fnm().c_str());
  _config_write("C", "c", "2");
  _config_close();
  EXPECT_EQ(read_lines(fnm()), (Lines{"[A]", "a=1", "[B]", "b=1", ";goes to B", "[C]", "c=2"}));
}

TEST_F(IniTest, NullSectionClearsTheDocument) {
  write_file(fnm(), ";c\r\n[S]\r\nk=1\r\n");
  _config_open(fnm().c_str());
  _config_write(nullptr, nullptr, nullptr);
  _config_close();
  EXPECT_EQ(read_file(fnm()), "");
  EXPECT_EQ(read_file(fnm() + ".OLD"), ";c\r\n[S]\r\nk=1\r\n");
}

TEST_F(IniTest, WriteAddsReplacesAndDeletes) {
  write_file(fnm(), "[S]\r\nk=1\r\nm=2\r\n[T]\r\nt=1\r\n[U]\r\nu=1\r\n");
  _config_open(fnm().c_str());
  _config_write("S", "k", "changed");
  _config_write("S", "new", "3");
  _config_write("NEW", "n", "4");
  _config_write_int("S", "m", -15);
  _config_write_int("S", "", 1);     // nothing
  _config_write("T", "t", nullptr);  // last key: the section goes too
  _config_write("U", nullptr, nullptr);
  _config_close();
  EXPECT_EQ(read_lines(fnm()), (Lines{"[S]", "k=changed", "m=-15", "new=3", "[NEW]", "n=4"}));

  // A section deleted at the end and added again goes after the ones added in
  // between; a cleared document starts from nothing.
  _config_open(fnm().c_str());
  _config_write("NEW", "n", nullptr);
  _config_write("LATER", "a", "1");
  _config_write("NEW", "b", "2");
  _config_write("S", nullptr, nullptr);
  _config_write("FIRST", "c", "3");
  _config_close();
  EXPECT_EQ(read_lines(fnm()), (Lines{"[LATER]", "a=1", "[NEW]", "b=2", "[FIRST]", "c=3"}));
  _config_open(fnm().c_str());
  _config_write(nullptr, nullptr, nullptr);
  _config_write("NEW", "d", "4");
  _config_write("LATER", "e", "5");
  _config_close();
  EXPECT_EQ(read_lines(fnm()), (Lines{"[NEW]", "d=4", "[LATER]", "e=5"}));
}

TEST_F(IniTest, MissingFileStartsEmptyAndIsCreated) {
  _config_open(fnm().c_str());
  _config_write("SYSTEM", "k", "v");
  _config_close();
  EXPECT_EQ(read_file(fnm()), "[SYSTEM]\r\nk=v\r\n");
  EXPECT_FALSE(std::filesystem::exists(fnm() + ".OLD"));
}

TEST_F(IniTest, ReadFindsExactKeyInFirstMatchingSection) {
  write_file(fnm(),
             "[S]\r\nKEY =1\r\nK=first\r\nK=second\r\nempty=\r\nsp= v \r\n"
             "[SS]\r\nx=1\r\n[T]\r\ny=2\r\n[S]\r\nlate=1\r\n");
  EXPECT_EQ(read("S", "KEY"), "<-1:>");  // the key is "KEY " with the space
  EXPECT_EQ(read("S", "KEY "), "1");
  EXPECT_EQ(read("S", "K"), "first");
  EXPECT_EQ(read("S", "empty"), "");
  EXPECT_EQ(read("S", "sp"), " v ");
  EXPECT_EQ(read("S", "x"), "<-1:>");     // next section ends the search
  EXPECT_EQ(read("S", "late"), "<-1:>");  // only the first [S] is read
  EXPECT_EQ(read("T", "y"), "2");
  EXPECT_EQ(read("s", "K"), "<-1:>");  // case-sensitive
  EXPECT_EQ(read("", "K"), "<-1:>");
  EXPECT_EQ(read("S", ""), "<-1:>");
  EXPECT_EQ(_config_read(dir.join("NONE.INI").c_str(), "S", "K", nullptr), -1);

  // The open document stores "KEY " too.
  _config_open(fnm().c_str());
  _config_write("S", "KEY ", "9");
  _config_close();
  EXPECT_EQ(read("S", "KEY "), "9");
}

// Files whose lines bend the rules: both readers find the same values in them.
TEST_F(IniTest, FileReadOnceGivesTheDirectReadsValues) {
  const std::string docs[] = {
      "[S]\r\n[S\r\nk=after an unclosed header\r\n",
      "[]\r\nk=1\r\n[S]]\r\nk=2\r\n[S]\r\nk=3\r\n",
      std::string("[S]\r\nk=a\0b\r\nj=2\r\n", 17),
      "[S]\r\nk=1\x1a\r\nj=2\r\n",
      "\r\n\r\n[S]\rk=cr only\r\n\n\nj=blank lines\n",
      "[S]\r\n=no key\r\nk==2\r\nk\r\n",
      "[S]\r\nk=" + std::string(700, 'v') + "\r\nj=after a cut line\r\n",
      "k=before any section\r\n[S]\r\n;k=comment\r\n",
      "",
  };
  const char* keys[][2] = {{"S", "k"}, {"S", "j"},  {"S", ""},    {"S", "k="},
                           {"", "k"},  {"S]", "k"}, {"[S]", "k"}, {"T", "k"}};
  for (const std::string& doc : docs) {
    write_file(fnm(), doc);
    const ZrIniFile file(fnm().c_str());
    for (const auto& k : keys) {
      read(k[0], k[1]);
      char direct[4];
      char once[4];
      EXPECT_EQ(zr_config_read(fnm().c_str(), k[0], k[1], direct, sizeof direct),
                file.read(k[0], k[1], once));
      EXPECT_STREQ(direct, once) << "cut: [" << k[0] << "] " << k[1];
    }
  }
  const ZrIniFile missing(dir.join("NONE.INI").c_str());
  EXPECT_EQ(missing.read_int("S", "k", 5), 5);
}

// The file read once is what the reads see, whatever happens to it afterwards,
// and its over-long lines are traced once.
TEST_F(IniTest, FileReadOnceKeepsWhatItRead) {
  write_file(fnm(), "[S]\r\nk=" + std::string(700, 'v') + "\r\nn=42\r\n");
  const ZrIniFile file(fnm().c_str());
  write_file(fnm(), "[S]\r\nn=7\r\n");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(file.read_int("S", "n", 0), 42);
  int cuts = 0;
  for (const std::string& line : trace())
    cuts += line.find("line longer than 599") != std::string::npos;
  EXPECT_EQ(cuts, 1);
  char small[4];
  EXPECT_EQ(file.read("S", "k", small), 0);
  EXPECT_STREQ(small, "vvv");
  EXPECT_NE(trace().back().find("value cut to 3 bytes"), std::string::npos);
}

TEST_F(IniTest, ReadIntConvertsLeadingDecimal) {
  write_file(fnm(),
             "[N]\r\na= 42\r\nb=-7x\r\nc=abc\r\nd=+99999999999\r\ne=\r\nf=\t-2147483648\r\n");
  struct Case {
    const char* key;
    int want;
  } cases[] = {{"a", 42}, {"b", -7},      {"c", 0},      {"d", INT_MAX},
               {"e", 0},  {"f", INT_MIN}, {"missing", 5}};
  for (const Case& c : cases) {
    EXPECT_EQ(_config_read_int(fnm().c_str(), "N", c.key, 5), c.want) << c.key;
  }
}

TEST_F(IniTest, BoundedReadCutsLongValueAndTraces) {
  write_file(fnm(), "[L]\r\nexp=" + std::string(100, 'x') + "\r\n");
  char out[10];
  EXPECT_EQ(zr_config_read(fnm().c_str(), "L", "exp", out, sizeof out), 0);
  EXPECT_EQ(std::string(out), std::string(9, 'x'));
  bool traced = false;
  for (const std::string& line : trace()) traced |= line.find("value cut") != std::string::npos;
  EXPECT_TRUE(traced);
}

TEST_F(IniTest, DocumentGrowsBeyondInitialCapacity) {
  // 50 sections of 210 keys: more than 10000 nodes and far more than 10000 text bytes.
  _config_open(fnm().c_str());
  std::string expected;
  for (int s = 0; s < 50; ++s) {
    std::string sec = "SECTION" + std::to_string(s);
    expected += "[" + sec + "]\r\n";
    for (int k = 0; k < 210; ++k) {
      std::string key = "key" + std::to_string(k);
      std::string value = "value " + std::to_string(s * 1000 + k);
      _config_write(sec.c_str(), key.c_str(), value.c_str());
      expected += key + "=" + value + "\r\n";
    }
  }
  _config_close();
  ASSERT_EQ(read_file(fnm()), expected);

  // Loading grows the same way; the rewrite gives the same bytes.
  _config_open(fnm().c_str());
  _config_write("SECTION49", "key209", "value 49209");
  _config_close();
  EXPECT_EQ(read_file(fnm()), expected);
  EXPECT_EQ(read("SECTION37", "key123"), "value 37123");
}

TEST_F(IniTest, UnwritableFileDropsChangesAfterThreeAttempts) {
  std::string target = dir.join("NO_SUCH_FOLDER\\TEST.INI");
  _config_open(target.c_str());
  _config_write("S", "k", "v");
  _config_close();
  EXPECT_FALSE(std::filesystem::exists(target));
  bool traced = false;
  for (const std::string& line : trace())
    traced |= line.find("changes not written") != std::string::npos;
  EXPECT_TRUE(traced);
  // The engine is usable afterwards.
  _config_open(fnm().c_str());
  _config_write("S", "k", "v");
  _config_close();
  EXPECT_EQ(read_file(fnm()), "[S]\r\nk=v\r\n");
}

TEST_F(IniTest, FailedReplacementKeepsThePreviousFile) {
  // Every attempt to write the new contents fails after the .OLD copy was
  // taken: natively the file size limit lets the 12-byte copy through but not
  // the longer new file; on Windows the file is held open, so it cannot be
  // replaced.
  write_file(fnm(), "[S]\r\nk=old\r\n");
#if defined(_WIN32)
  std::FILE* hold = std::fopen(fnm().c_str(), "rb");
  ASSERT_NE(hold, nullptr);
#else
  struct rlimit previous {};
  getrlimit(RLIMIT_FSIZE, &previous);
  struct rlimit small = previous;
  small.rlim_cur = 16;
  void (*previous_handler)(int) = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
#endif
  _config_open(fnm().c_str());
  _config_write("S", "k", "a value longer than the limit");
  _config_close();
#if defined(_WIN32)
  std::fclose(hold);
#else
  setrlimit(RLIMIT_FSIZE, &previous);
  std::signal(SIGXFSZ, previous_handler);
#endif
  EXPECT_EQ(read_file(fnm()), "[S]\r\nk=old\r\n");
  EXPECT_EQ(read_file(fnm() + ".OLD"), "[S]\r\nk=old\r\n");
}

TEST_F(IniTest, WriteOrCloseWithoutDocumentEndsTheProcess) {
  EXPECT_EXIT(_config_write("S", "k", "v"), ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(_config_close(), ::testing::ExitedWithCode(0), "");
}

// Lines longer than the readers take (499 bytes for a document, 599 for a
// direct read) are cut with a trace line; the program goes on.
TEST_F(IniTest, OverlongLinesAreCut) {
  write_file(fnm(), "[S]\r\nk=" + std::string(497, 'v') + "\r\n");  // 499 bytes: fits
  _config_open(fnm().c_str());
  _config_close();
  EXPECT_EQ(read("S", "k"), std::string(497, 'v'));

  write_file(fnm(), "[S]\r\nk=" + std::string(498, 'v') + "\r\nj=2\r\n");  // 500 bytes
  _config_open(fnm().c_str());
  _config_write("S", "j", "3");
  _config_close();
  EXPECT_EQ(read_file(fnm()), "[S]\r\nk=" + std::string(497, 'v') + "\r\nj=3\r\n");
  EXPECT_EQ(trace().back(), "_config_open line longer than 499 bytes, cut fnm:" + fnm());

  write_file(fnm(), "[S]\r\nk=" + std::string(598, 'v') + "\r\nj=2\r\n");  // 600 bytes
  EXPECT_EQ(read("S", "k"), std::string(597, 'v'));
  EXPECT_EQ(read("S", "j"), "2");
  EXPECT_EQ(trace().back(), "_config_read line longer than 599 bytes, cut fnm:" + fnm());
}

}  // namespace
