#include <string>

#include "qrt000_app.h"
#include "test_support.h"

namespace {

TEST(LauncherStartup, LaunchModeComesFromTheFirstCharacter) {
  const struct {
    const char* args;
    int mode;
  } cases[] = {{"0", 1}, {"V", 2}, {"S", 3}, {"S anything", 3}, {"Vx", 2},
               {"", 0},  {"s", 0}, {"X", 0}, {"1", 0},          {" S", 0}};
  for (const auto& c : cases) EXPECT_EQ(launch_mode_of(c.args), c.mode) << '"' << c.args << '"';
  EXPECT_EQ(launch_mode_of(nullptr), 0);
}

TEST(LauncherStartup, TerminalNameIsTheComputerNameCutOrPaddedToTwentyBytes) {
  char term[21];
  term_name_from("ABCDEFGHIJKLMNOPQRSTUVWXY", term, sizeof term);
  EXPECT_STREQ(term, "ABCDEFGHIJKLMNOPQRST");
  term_name_from("PC-01", term, sizeof term);
  EXPECT_EQ(std::string(term), "PC-01" + std::string(15, ' '));
  term_name_from("", term, sizeof term);
  EXPECT_EQ(std::string(term), std::string(20, ' '));
}

}  // namespace
