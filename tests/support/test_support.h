// Shared helpers of the unit tests: a fresh install folder with the common areas
// built over it, a recorder for message boxes, and readers for files and traces.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "zrlib.h"

namespace qrt_test {

// True in the child process of a death test.
bool is_death_test_child();

// A fresh empty folder below the system's temporary folder, removed at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  // The folder as the library writes paths (backslashes on Windows).
  std::string str() const { return path_.string(); }
  // A path below the folder; parts separated by "\\" are joined for this platform.
  std::string join(const std::string& rel) const;

 private:
  std::filesystem::path path_;
};

// Every message box shown while it lives: the text and the style; answers with
// the button set in `answer` (OK by default).
class MessageBoxRecorder {
 public:
  MessageBoxRecorder();
  ~MessageBoxRecorder();
  struct Box {
    std::string text;
    std::string title;
    unsigned style;
  };
  std::vector<Box> boxes;
  int answer = 1;

 private:
  ZR_MESSAGE_BOX_FN previous_;
};

// A message-box handler for death tests: writes "BOX[text]" to stderr (where
// the test can match it) and answers OK.
int box_to_stderr(const char* text, const char* title, unsigned style);

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);
// The lines of a CR LF text file, without their line ends.
std::vector<std::string> read_lines(const std::string& path);

// Builds the areas over a fresh install folder, names the trace file
// DBG_TEST.LST there, records message boxes, and frees everything afterwards.
class AreasTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::vector<std::string> trace() const { return read_lines(dbg_path()); }
  std::string dbg_path() const { return dir.join("DBG_TEST.LST"); }

  TempDir dir;
  MessageBoxRecorder boxes;
};

}  // namespace qrt_test
