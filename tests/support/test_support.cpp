#include "test_support.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace qrt_test {

TempDir::TempDir() {
  // The folder's name is the same in a death test's child process (which runs
  // the test again from the start) as in the parent, so both see one folder:
  // the run id comes from the environment the child inherits, the rest from
  // the test's name and the number of folders the test made so far.
  static std::string last_test;
  static int counter = 0;
  std::string test;
  if (const auto* info = ::testing::UnitTest::GetInstance()->current_test_info())
    test = std::string(info->test_suite_name()) + "." + info->name();
  if (test != last_test) counter = 0;
  last_test = test;
  const char* run = std::getenv("QRT_TEST_RUN_ID");
  std::string name =
      "qrt_test_" + std::string(run ? run : "0") + "_" + test + "_" + std::to_string(counter++);
  path_ = fs::temp_directory_path() / name;
  if (!is_death_test_child()) fs::remove_all(path_);
  fs::create_directories(path_);
}

bool is_death_test_child() { return !GTEST_FLAG_GET(internal_run_death_test).empty(); }

TempDir::~TempDir() {
  if (is_death_test_child()) return;
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string TempDir::join(const std::string& rel) const {
  fs::path p = path_;
  std::string part;
  for (char c : rel) {
    if (c == '\\' || c == '/') {
      if (!part.empty()) p /= part;
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) p /= part;
  return p.string();
}

static MessageBoxRecorder* g_recorder = nullptr;

MessageBoxRecorder::MessageBoxRecorder() {
  g_recorder = this;
  previous_ = zr_message_box_handler([](const char* text, const char* title, unsigned style) {
    g_recorder->boxes.push_back({text ? text : "", title ? title : "", style});
    return g_recorder->answer;
  });
}

MessageBoxRecorder::~MessageBoxRecorder() {
  zr_message_box_handler(previous_);
  g_recorder = nullptr;
}

int box_to_stderr(const char* text, const char*, unsigned) {
  std::fprintf(stderr, "BOX[%s]\n", text ? text : "");
  std::fflush(stderr);
  return 1;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void write_file(const std::string& path, const std::string& bytes) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> read_lines(const std::string& path) {
  std::string all = read_file(path);
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < all.size()) {
    std::size_t end = all.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(all.substr(start));
      break;
    }
    lines.push_back(all.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

void AreasTest::SetUp() {
  zr_program_set(ZR_PRG_QRT000);
  _zrcmna_make();
  zr::copy(zrenv->inst_dir, dir.str().c_str());
  zr::copy(zrenv->inst_dir2, dir.str().c_str());
  zr::copy(zr00->dbg_fnm, dbg_path().c_str());
}

void AreasTest::TearDown() {
  _fclose_all();
  _zrcmna_kill();
}

}  // namespace qrt_test
