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
  if (GTEST_FLAG_GET(internal_run_death_test).empty())
    plat::set_env("QRT_TEST_RUN_ID", std::to_string(std::random_device{}() % 1000000000u).c_str());
  return RUN_ALL_TESTS();
}
