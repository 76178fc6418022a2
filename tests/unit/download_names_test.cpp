// The checks of a download's file name: characters, folders, and the questions
// asked before a file is created or overwritten.
#include <filesystem>
#include <string>

#include "platform/platform.h"
#include "test_support.h"

namespace {

// Paths are given relative to the install folder, which is the current folder
// here: the characters of a temporary folder's own path are no concern of the
// name checks.
class DownloadNames : public qrt_test::AreasTest {
 protected:
  void SetUp() override {
    AreasTest::SetUp();
    ASSERT_TRUE(plat::current_dir(cwd_, sizeof cwd_));
    ASSERT_TRUE(plat::set_current_dir(dir.str().c_str()));
    std::filesystem::create_directory(dir.path() / "OUT");
  }
  void TearDown() override {
    plat::set_current_dir(cwd_);
    AreasTest::TearDown();
  }
  std::string path(const std::string& rel) const { return dir.join(rel); }
  std::size_t entries(const char* sub) const {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path() / sub))
      ++n;
    return n;
  }
  char cwd_[512] = "";
};

TEST_F(DownloadNames, NameCharactersAndFolder) {
  EXPECT_EQ(_dwnfnm_chk1(""), 102);
  EXPECT_EQ(_dwnfnm_chk1(" A.CSV"), 102);
  EXPECT_EQ(_dwnfnm_chk1("A$,-.:;_ 1.CSV"), 0);
  EXPECT_EQ(_dwnfnm_chk1("表.CSV"), 0);
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_EQ(_dwnfnm_chk1("A*.CSV"), 1);
  EXPECT_EQ(_dwnfnm_chk1("ｱ.CSV"), 1);  // a half-width katakana is a one-byte character
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[0].text, "ファイル名称として不適当な文字が指定されています。");

  boxes.boxes.clear();
  EXPECT_EQ(_dwnfnm_chk1("OUT\\A.CSV"), 0);
  EXPECT_EQ(_dwnfnm_chk1("NO_FOLDER\\A.CSV"), 1);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "ドライブ又はフォルダーがありません。");
}

TEST_F(DownloadNames, TheWriteTestsLeaveTheFolderAsItWas) {
  // A file of the test's own name is neither overwritten nor deleted.
  qrt_test::write_file(path("OUT\\tmp.wk"), "mine");
  qrt_test::write_file(path("OUT\\DMY.WK"), "mine too");
  const std::size_t before = entries("OUT");
  EXPECT_EQ(_dwnfnm_chk1("OUT\\A.CSV"), 0);
  EXPECT_EQ(_getdirectory_type1("OUT"), 1);
  EXPECT_EQ(entries("OUT"), before);
  EXPECT_EQ(qrt_test::read_file(path("OUT\\tmp.wk")), "mine");
  EXPECT_EQ(qrt_test::read_file(path("OUT\\DMY.WK")), "mine too");
  EXPECT_EQ(_getdirectory_type1(path("NO_FOLDER").c_str()), 0);
}

TEST_F(DownloadNames, QuestionsBeforeCreatingOrOverwriting) {
  const std::string missing = path("NEW.CSV"), existing = path("OLD.CSV");
  qrt_test::write_file(existing, "old");
  std::filesystem::create_directory(dir.path() / "SUB");
  const std::string folder = path("SUB");

  struct Case {
    std::string file;
    int mode, answer, result;
    const char* asked;  // the question, or null
  };
  const Case cases[] = {
      {missing, 1, plat::kIdNo, 3, "指定したファイルが存在しません。新規作成しますか？"},
      {missing, 1, plat::kIdYes, 0, "指定したファイルが存在しません。新規作成しますか？"},
      {missing, 0, plat::kIdYes, 0, nullptr},
      {existing, 0, plat::kIdNo, 2, "同じ名前のファイルが存在します。上書きしますか？"},
      {existing, 0, plat::kIdYes, 0, "同じ名前のファイルが存在します。上書きしますか？"},
      {existing, 1, plat::kIdYes, 0, nullptr},
      {folder, 0, plat::kIdYes, 1, "指定したファイルと同じ名前のフォルダーが存在します。"},
  };
  for (const Case& c : cases) {
    boxes.boxes.clear();
    boxes.answer = c.answer;
    EXPECT_EQ(_dwnfnm_chk2(c.file.c_str(), c.mode), c.result) << c.file << " " << c.mode;
    if (c.asked) {
      ASSERT_EQ(boxes.boxes.size(), 1u);
      EXPECT_EQ(boxes.boxes[0].text, c.asked);
    } else {
      EXPECT_TRUE(boxes.boxes.empty());
    }
  }
  // The tests changed nothing.
  EXPECT_FALSE(std::filesystem::exists(missing));
  EXPECT_EQ(qrt_test::read_file(existing), "old");

  boxes.answer = plat::kIdYes;
  boxes.boxes.clear();
  EXPECT_EQ(_dwnfnm_chk2(path("NO_FOLDER\\X.CSV").c_str(), 0), 4);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "指定したファイルは書き込み禁止です。");
}

TEST_F(DownloadNames, TheSameTestsWithoutMessages) {
  qrt_test::write_file(path("OLD.CSV"), "old");
  std::filesystem::create_directory(dir.path() / "SUB");
  EXPECT_EQ(_dwnfnm_chk2_ex(""), -1);
  EXPECT_EQ(_dwnfnm_chk2_ex(path("NEW.CSV").c_str()), 0);
  EXPECT_EQ(_dwnfnm_chk2_ex(path("OLD.CSV").c_str()), 0);
  EXPECT_EQ(_dwnfnm_chk2_ex(path("SUB").c_str()), 1);
  EXPECT_EQ(_dwnfnm_chk2_ex(path("NO_FOLDER\\X.CSV").c_str()), 3);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "NEW.CSV"));
  EXPECT_TRUE(boxes.boxes.empty());
}

}  // namespace
