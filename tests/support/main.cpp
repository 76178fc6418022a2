#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/platform.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Death tests re-run the binary ("threadsafe"), which works the same natively
  // and under Wine.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // One id per test run, inherited by death tests' child processes, so that
  // both name their temporary folders alike (see TempDir).
  if (GTEST_FLAG_GET(internal_run_death_test).empty()) {
    std::string id = std::to_string(std::random_device{}() % 1000000000u);
    plat::set_env("QRT_TEST_RUN_ID", id.c_str());
    // Named shared memory outlives a process natively and is shared by every
    // process of the user: tests run side by side keep theirs apart.
    plat::set_env("QRT_SHM_SCOPE", id.c_str());
  }
  return RUN_ALL_TESTS();
}
