#include <string>
#include <vector>

#include <gmock/gmock.h>

#include "platform/platform.h"
#include "test_support.h"

namespace {

using qrt_test::AreasTest;

class TrackedMemory : public AreasTest {};

int used_slots() {
  int n = 0;
  for (int i = 0; i < kMemSlots; ++i)
    if (zrenv->mem_tbl.mem_ptr[i]) ++n;
  return n;
}

TEST_F(TrackedMemory, BlocksAreZeroFilledAndTakeTheLowestFreeSlot) {
  auto* a = static_cast<unsigned char*>(_malloc(100));
  auto* b = static_cast<unsigned char*>(_malloc(50));
  ASSERT_NE(a, nullptr);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(a[i], 0);
  EXPECT_EQ(zrenv->mem_tbl.mem_ptr[0], a);
  EXPECT_EQ(zrenv->mem_tbl.mem_sz[0], 100);
  EXPECT_EQ(zrenv->mem_tbl.mem_ptr[1], b);
  _free(a);
  EXPECT_EQ(zrenv->mem_tbl.mem_ptr[0], nullptr);
  EXPECT_EQ(zrenv->mem_tbl.mem_sz[0], 0);
  void* c = _malloc(10);
  EXPECT_EQ(zrenv->mem_tbl.mem_ptr[0], c);
  _free(b);
  _free(c);
  EXPECT_EQ(used_slots(), 0);
}

TEST_F(TrackedMemory, SizesBelowOneAreRefusedWithATraceLine) {
  EXPECT_EQ(_malloc(0), nullptr);
  EXPECT_EQ(_malloc(-5), nullptr);
  EXPECT_EQ(used_slots(), 0);
  auto t = trace();
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(t[0], "Size Error of _malloc sz:0");
  EXPECT_EQ(t[1], "Size Error of _malloc sz:-5");
}

TEST_F(TrackedMemory, SecondReleaseOfABlockIsTracedAndIgnored) {
  void* a = _malloc(8);
  _free(a);
  _free(a);
  _free(nullptr);
  auto t = trace();
  ASSERT_EQ(t.size(), 1u);
  EXPECT_EQ(t[0].rfind("*** Error of _free ptr:", 0), 0u);
}

TEST_F(TrackedMemory, ListingCountsBlocksAndSumsKilobytesPerBlock) {
  _malloc_disp("empty");
  void* a = _malloc(999);
  void* b = _malloc(999);
  void* c = _malloc(2500);
  _malloc_disp("three");
  auto t = trace();
  ASSERT_EQ(t.size(), 6u);
  EXPECT_EQ(t[0], "***** No of malloc (empty) CNT:0 *****");
  EXPECT_EQ(t[1], "***** No of malloc (three) CNT:3 *****");
  EXPECT_NE(t[2].find("   NO:001  PTR:"), std::string::npos);
  EXPECT_NE(t[2].find(" SIZE:      999 [B]"), std::string::npos);
  EXPECT_NE(t[4].find("   NO:003  PTR:"), std::string::npos);
  // 999 / 1000 + 999 / 1000 + 2500 / 1000
  EXPECT_EQ(t[5], "CNT:3, Total Size:2[KB]");
  _free(a);
  _free(b);
  _free(c);
}

TEST_F(TrackedMemory, FullTableListsEveryBlockAndEndsWithMessage950) {
  EXPECT_EXIT(
      {
        zr_message_box_handler(qrt_test::box_to_stderr);
        for (int i = 0; i < kMemSlots; ++i) _malloc(1);
        _malloc(1);
      },
      ::testing::ExitedWithCode(0), ::testing::HasSubstr("950 メモリーエラー"));
  auto t = trace();
  ASSERT_GE(t.size(), 4003u);
  EXPECT_EQ(t[0], "Not Memory table of _malloc  no:4000");
  EXPECT_EQ(t[1], "***** No of malloc (Not Memory table of _malloc) CNT:4000 *****");
  EXPECT_EQ(t[4002], "CNT:4000, Total Size:0[KB]");
}

TEST_F(TrackedMemory, MoreThanTheAvailableMemoryEndsWithMessage932) {
  // A 64-bit process has more address space than any 32-bit size asks for.
  if (plat::memory_status().avail_virtual > 0x7FFFFFFFull)
    GTEST_SKIP() << "more than 2 GiB of address space available";
  EXPECT_EXIT(
      {
        zr_message_box_handler(qrt_test::box_to_stderr);
        _malloc(0x7FFFFFFF);
      },
      ::testing::ExitedWithCode(0), ::testing::HasSubstr("932 メモリー不足（Ｓｙｓｔｅｍ）です。"));
  auto t = trace();
  ASSERT_FALSE(t.empty());
  EXPECT_EQ(t[0].rfind("Not Memory of _malloc  sz:2147483647, free:", 0), 0u);
}

}  // namespace
