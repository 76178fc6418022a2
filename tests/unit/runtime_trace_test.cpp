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

TEST_F(TraceDeath, OverlongLineShowsTheLengthAndEndsTheProcess) {
  std::string too_long(2047, 'x');
  EXPECT_EXIT(
      {
        zr_message_box_handler(qrt_test::box_to_stderr);
        _dbg_print("%s", too_long.c_str());
      },
      ::testing::ExitedWithCode(0), ::testing::HasSubstr("BOX[Error of Length lng:2047]"));
}

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
