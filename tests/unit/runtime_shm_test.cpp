#include <cstring>

#include "platform/platform.h"
#include "test_support.h"

namespace {

using qrt_test::AreasTest;

class SharedMemory : public AreasTest {
 protected:
  void SetUp() override {
    AreasTest::SetUp();
    plat::current_dir(saved_cwd_, sizeof saved_cwd_);
  }
  void TearDown() override {
    _single_ins("QRT000", 0);
    plat::set_current_dir(saved_cwd_);
    AreasTest::TearDown();
  }
  // A name unique to this test run, so parallel test processes do not meet.
  std::string unique(const char* word) {
    return std::string(word) + "_" + dir.path().filename().string();
  }

 private:
  char saved_cwd_[1024] = {};
};

TEST_F(SharedMemory, BlockExistsWhileItsCreatorHoldsIt) {
  std::string name = unique("QRT100");
  EXPECT_EQ(_shm_open(name.c_str()), nullptr);
  void* handle = _shm_create(name.c_str(), 30);
  ASSERT_NE(handle, nullptr);
  auto* view = static_cast<unsigned char*>(_shm_open(name.c_str()));
  ASSERT_NE(view, nullptr);
  for (int i = 0; i < 30; ++i) EXPECT_EQ(view[i], 0);
  view[0] = 9;
  auto* second = static_cast<unsigned char*>(_shm_open(name.c_str()));
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second[0], 9);  // both views see the same bytes
  _shm_close(second);
  _shm_close(view);
  plat::shm_release_handle(handle);
  EXPECT_EQ(_shm_open(name.c_str()), nullptr);
}

TEST_F(SharedMemory, InstanceNameUpperCasesSingleByteLettersAndTurnsBackslashes) {
  ASSERT_TRUE(plat::set_current_dir(dir.str().c_str()));
  char name[300];
  zr_instance_name("main", name, sizeof name);
  char cwd[1024];
  plat::current_dir(cwd, sizeof cwd);
  std::string expected = std::string(cwd) + "_MAIN";
  for (char& c : expected) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c == '\\') c = '_';
  }
  EXPECT_EQ(std::string(name), expected);
  EXPECT_EQ(std::string(name).find('\\'), std::string::npos);
}

TEST_F(SharedMemory, SecondLauncherOfTheSameFolderIsRefused) {
  ASSERT_TRUE(plat::set_current_dir(dir.str().c_str()));
  EXPECT_EQ(_single_ins("QRT000", 1), 0);
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_EQ(_single_ins("QRT000", 1), -1);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  char cwd[1024];
  plat::current_dir(cwd, sizeof cwd);
  EXPECT_EQ(boxes.boxes[0].text,
            "アプリケーションは、 【" + std::string(cwd) + "】 で既に起動されています。(QRT000)");
  // Releasing the lock lets the next launcher in.
  _single_ins("QRT000", 0);
  EXPECT_EQ(_single_ins("QRT000", 1), 0);
}

TEST_F(SharedMemory, LauncherOfAnotherFolderIsNotRefused) {
  qrt_test::TempDir other;
  ASSERT_TRUE(plat::set_current_dir(dir.str().c_str()));
  EXPECT_EQ(_single_ins("QRT000", 1), 0);
  ASSERT_TRUE(plat::set_current_dir(other.str().c_str()));
  EXPECT_EQ(_shm_open_ins("MAIN"), nullptr);
  EXPECT_TRUE(boxes.boxes.empty());
}

}  // namespace
