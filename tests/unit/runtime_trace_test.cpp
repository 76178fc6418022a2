#include <cstdio>
#include <string>

#include <gmock/gmock.h>

#include "test_support.h"

namespace {

using qrt_test::AreasTest;
using qrt_test::read_file;

class Trace : public AreasTest {};

TEST_F(Trace, EachLineEndsInCrLfAndIsAppended) {
  _dbg_print("first %d", 1);
  _dbg_print("%s", "二行目");
  EXPECT_EQ(read_file(dbg_path()), "first 1\r\n二行目\r\n");
}

TEST_F(Trace, EmptyFileNameSwitchesTheLogOff) {
  zr00->dbg_fnm[0] = '\0';
  _dbg_print("nothing %s", "here");
  _err_print("nor here");
  EXPECT_FALSE(std::filesystem::exists(dbg_path()));
}

TEST_F(Trace, ErrorLogHasItsOwnFile) {
  std::string err = dir.join("ERRDATA");
  zr::copy(zr00->err_fnm, err.c_str());
  _err_print("***** QRT100 Finished DATE:%s TIME:%s *****", "12/10/26", "09:00:00");
  EXPECT_EQ(read_file(err), "***** QRT100 Finished DATE:12/10/26 TIME:09:00:00 *****\r\n");
  EXPECT_FALSE(std::filesystem::exists(dbg_path()));
}

TEST_F(Trace, LineOfTheLongestLengthIsWritten) {
  std::string longest(2046, 'x');
  _dbg_print("%s", longest.c_str());
  EXPECT_EQ(read_file(dbg_path()).size(), 2048u);
}

// A text from outside can be of any length: the line is cut to 2046 bytes,
// marked with the full length, on a character boundary, and the program goes on.
TEST_F(Trace, OverlongLineIsCutAndTheProcessGoesOn) {
  struct Case {
    const char* name;
    std::string text;
    std::string kept;  // the start of the line that is kept
  } cases[] = {
      {"OneByOver", std::string(2047, 'x'), std::string(2046 - 14, 'x')},
      {"Huge", std::string(5000000, 'y'), std::string(2046 - 17, 'y')},
      // 'a' then two-byte characters: the cut falls between two of them.
      {"TwoByteCharacters",
       "a" +
           [] {
             std::string s;
             for (int i = 0; i < 1500; ++i) s += "表";
             return s;
           }(),
       "a" +
           [] {
             std::string s;
             for (int i = 0; i < 1015; ++i) s += "表";
             return s;
           }()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::remove(dbg_path().c_str());
    _dbg_print("%s", c.text.c_str());
    _dbg_print("next line");
    const std::string mark = " ...(lng:" + std::to_string(c.text.size()) + ")";
    EXPECT_EQ(read_file(dbg_path()), c.kept + mark + "\r\n" + "next line\r\n");
  }
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(Trace, UnopenableFileDropsTheLine) {
  const std::string good = dbg_path();
  zr::copy(zr00->dbg_fnm, dir.join("NO_SUCH_DIR\\DBG.LST").c_str());
  _dbg_print("dropped");
  // Nothing was created for the line, and the program goes on tracing.
  EXPECT_FALSE(std::filesystem::exists(dir.join("NO_SUCH_DIR")));
  zr::copy(zr00->dbg_fnm, good.c_str());
  _dbg_print("kept");
  EXPECT_EQ(read_file(good), "kept\r\n");
}

using TraceDeath = AreasTest;

TEST_F(TraceDeath, OverlongMessageBoxTextEndsTheProcess) {
  std::string too_long(3000, 'y');
  EXPECT_EXIT(
      {
        zr_message_box_handler(qrt_test::box_to_stderr);
        _mes_print("%s", too_long.c_str());
      },
      ::testing::ExitedWithCode(0), ::testing::HasSubstr("BOX[Error of Length lng:3000]"));
}

}  // namespace
