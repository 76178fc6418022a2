// The program update against a fake service: the update list, which files are
// downloaded (VERSION.QRT, stamps), the pieces with their check block, the
// targets (.NEW for the two programs, sub-folders), and the hostile answers a
// server could send (names leaving the install folder, pieces promising more
// than arrived, a check block that never matches).
#include <gmock/gmock.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fake_service.h"
#include "test_support.h"
#include "update.h"

namespace {

using qrt_test::FakeService;
using qrt_test::le16;
using qrt_test::le32;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// One list entry as the server sends it.
std::string entry(const std::string& name, std::int32_t date, std::int32_t time) {
  return le16(static_cast<int>(name.size())) + name + le32(date) + le32(time);
}

qrt_test::FakeAnswer list_answer(const std::string& entries) {
  qrt_test::FakeAnswer a;
  a.binary = entries;  // sts: the byte length of the sequence
  return a;
}

// The archive of a file's contents, made with the product's own compressor.
std::string archive_of(const std::string& contents) {
  std::vector<char> buf(contents.size() * 2 + 1024);
  std::memcpy(buf.data(), contents.data(), contents.size());
  int n = _lha_mem(0, buf.data(), static_cast<int>(contents.size()), static_cast<int>(buf.size()));
  EXPECT_GT(n, 0);
  return std::string(buf.data(), static_cast<std::size_t>(n > 0 ? n : 0));
}

std::string block_of(const std::string& archive) {
  unsigned char b[32];
  update::check_block(reinterpret_cast<const unsigned char*>(archive.data()), archive.size(), b);
  return std::string(reinterpret_cast<char*>(b), 32);
}

// The pieces of an archive (piece bytes each), the last with its check block
// and the version stamp.
std::vector<qrt_test::FakeAnswer> pieces(const std::string& archive, std::size_t piece,
                                         std::int32_t date, std::int32_t time,
                                         const std::string* block = nullptr) {
  std::vector<qrt_test::FakeAnswer> out;
  for (std::size_t at = 0;;) {
    std::size_t n = archive.size() - at < piece ? archive.size() - at : piece;
    bool last = at + n >= archive.size();
    std::string d = std::string(1, last ? '\1' : '\0') + le32(static_cast<std::int32_t>(n)) +
                    archive.substr(at, n);
    if (last) d += (block ? *block : block_of(archive)) + le32(date) + le32(time);
    out.push_back(qrt_test::answer(d));
    at += n;
    if (last) return out;
  }
}

class WindowLog : public DownloadWindow {
 public:
  bool file_started(const char* name) override {
    files.push_back(name);
    return cancel_before_next && files.size() > 1;
  }
  static inline std::vector<std::string> files;
  static inline int opened_for = 0;
  static inline bool cancel_before_next = false;
};

std::unique_ptr<DownloadWindow> make_window(int files) {
  WindowLog::opened_for = files;
  return std::make_unique<WindowLog>();
}

class LauncherUpdate : public qrt_test::AreasTest {
 protected:
  void SetUp() override {
    AreasTest::SetUp();
    fake.install();
    zr::copy(zrconn->exe_dir, dir.str().c_str());
    zr::copy(zrconn->exe_dir2, dir.str().c_str());
    zrwork->kd_1 = 22;
    zr_japan_time_set();
    WindowLog::files.clear();
    WindowLog::opened_for = 0;
    WindowLog::cancel_before_next = false;
    previous_ = update_window_maker(make_window);
  }
  void TearDown() override {
    update_window_maker(previous_);
    fake.uninstall();
    AreasTest::TearDown();
  }
  void serve(const std::string& entries) { fake.answer(list_answer(entries)); }
  void serve_file(const std::string& contents, std::int32_t date = 20241201,
                  std::int32_t time = 93000, std::size_t piece = 100) {
    for (auto& a : pieces(archive_of(contents), piece, date, time)) fake.answer(a);
  }
  std::string traced() const {
    std::string all;
    for (const std::string& l : trace()) all += l + "\n";
    return all;
  }

  FakeService fake{false};
  DownloadWindowMaker previous_ = nullptr;
};

TEST_F(LauncherUpdate, ListIsReadFromTheAnswer) {
  serve(entry("QRT100.EXE", 20241201, 93000) + entry("DLV\\SDI.TXT", 20241115, 120000));
  ASSERT_EQ(update_list_get(), 0);
  ASSERT_EQ(fake.sent.size(), 1u);
  EXPECT_EQ(fake.sent[0].mid, 1100);
  EXPECT_EQ(fake.sent[0].kd00, 22);
  EXPECT_EQ(fake.sent[0].text, "QRT       ");
  int n = 0;
  const UpdateEntry* list = update_list(&n);
  ASSERT_EQ(n, 2);
  EXPECT_STREQ(list[0].name, "QRT100.EXE");
  EXPECT_EQ(list[0].date, 20241201);
  EXPECT_EQ(list[0].time, 93000);
  EXPECT_STREQ(list[1].name, "DLV\\SDI.TXT");
}

// Hostile lists: an entry whose length reaches beyond the list ends it; a name
// too long for the table and entries beyond 300 are left out with a trace line.
TEST_F(LauncherUpdate, HostileListsAreCutWithATraceLine) {
  std::string beyond = entry("A.TXT", 1, 1) + le16(500) + "B.TXT";
  serve(beyond);
  ASSERT_EQ(update_list_get(), 0);
  int n = 0;
  update_list(&n);
  EXPECT_EQ(n, 1);
  EXPECT_THAT(traced(), HasSubstr("reaches beyond the list"));

  std::string many = entry(std::string(300, 'N'), 1, 1);
  for (int i = 0; i < 310; ++i) many += entry("F" + std::to_string(i) + ".TXT", 1, 1);
  serve(many);
  ASSERT_EQ(update_list_get(), 0);
  const UpdateEntry* list = update_list(&n);
  EXPECT_EQ(n, kUpdateListMax);
  EXPECT_STREQ(list[0].name, "F0.TXT");
  EXPECT_THAT(traced(), HasSubstr("a name of 300 bytes is left out"));
  EXPECT_THAT(traced(), HasSubstr("more than 300 entries"));
}

TEST_F(LauncherUpdate, WithoutVersionQrtEveryFileIsDownloadedIntoItsTarget) {
  const std::string exe(5000, 'x');
  serve(entry("qrt100.exe", 20241201, 93000) + entry("DLV\\SDI.TXT", 20241115, 120000));
  ASSERT_EQ(update_list_get(), 0);
  // The installed files are newer than the list: without VERSION.QRT they are
  // downloaded all the same.
  qrt_test::write_file(dir.join("QRT100.EXE"), "installed");
  serve_file(exe, 20241201, 93000, 20);  // several pieces
  serve_file("sdi text", 20241115, 120000);
  ASSERT_EQ(update_download(), 0) << traced();

  EXPECT_EQ(qrt_test::read_file(dir.join("QRT100.NEW")), exe);
  EXPECT_EQ(qrt_test::read_file(dir.join("QRT100.EXE")), "installed");
  EXPECT_EQ(qrt_test::read_file(dir.join("DLV\\SDI.TXT")), "sdi text");
  EXPECT_FALSE(std::filesystem::exists(dir.join("QRT100.NEW.LZH")));
  EXPECT_FALSE(std::filesystem::exists(dir.join("qrt100.exe.LZH")));
  std::int32_t date = 0, time = 0;
  _ftime_get(dir.join("QRT100.NEW").c_str(), &date, &time);
  EXPECT_EQ(date, 20241201);
  EXPECT_EQ(time, 93000);
  EXPECT_EQ(qrt_test::read_file(dir.join("VERSION.QRT")), "qrt100.exe\r\nDLV\\SDI.TXT\r\n");
  EXPECT_EQ(WindowLog::opened_for, 2);
  EXPECT_THAT(WindowLog::files, ElementsAre("qrt100.exe", "DLV\\SDI.TXT"));

  // The pieces named the file and counted up from 0.
  std::vector<std::string> requests;
  for (const auto& r : fake.sent)
    if (r.mid == 1101) requests.push_back(r.text);
  ASSERT_GE(requests.size(), 2u);
  EXPECT_EQ(requests[0], "QRT       010qrt100.exe0000");
  EXPECT_EQ(requests[1], "QRT       010qrt100.exe0001");
}

// With VERSION.QRT present, only files older than the list's stamp come.
TEST_F(LauncherUpdate, StampsDecideWithVersionQrt) {
  qrt_test::write_file(dir.join("VERSION.QRT"), "OLD.TXT\r\n");
  qrt_test::write_file(dir.join("SAME.TXT"), "same");
  qrt_test::write_file(dir.join("OLD.TXT"), "old");
  _ftime_set(dir.join("SAME.TXT").c_str(), 20241201, 93000);
  _ftime_set(dir.join("OLD.TXT").c_str(), 20241201, 92959);
  serve(entry("SAME.TXT", 20241201, 93000) + entry("OLD.TXT", 20241201, 93000));
  ASSERT_EQ(update_list_get(), 0);
  serve_file("new old");
  ASSERT_EQ(update_download(), 0) << traced();
  EXPECT_EQ(qrt_test::read_file(dir.join("SAME.TXT")), "same");
  EXPECT_EQ(qrt_test::read_file(dir.join("OLD.TXT")), "new old");
  EXPECT_THAT(WindowLog::files, ElementsAre("OLD.TXT"));
}

// An installed executable is judged by its link time, taken as Japan time: the
// same stamp as the list's is not downloaded, one a second earlier is.
TEST_F(LauncherUpdate, ExecutablesAreJudgedByTheirLinkTime) {
  // A minimal PE image linked at 2024-12-01 00:30:00 UTC (09:30:00 in Japan).
  std::string pe(128, '\0');
  pe[0] = 'M';
  pe[1] = 'Z';
  pe[60] = 64;
  pe.replace(64, 4, std::string("PE\0\0", 4));
  pe[68] = 0x4C;
  pe[69] = 0x01;
  const std::string stamp = le32(1733013000);
  pe.replace(72, 4, stamp);
  qrt_test::write_file(dir.join("VERSION.QRT"), "X\r\n");
  qrt_test::write_file(dir.join("SAME.EXE"), pe);
  qrt_test::write_file(dir.join("OLDER.EXE"), pe);
  serve(entry("SAME.EXE", 20241201, 93000) + entry("OLDER.EXE", 20241201, 93001));
  ASSERT_EQ(update_list_get(), 0);
  serve_file("newer program");
  ASSERT_EQ(update_download(), 0) << traced();
  EXPECT_EQ(qrt_test::read_file(dir.join("SAME.EXE")), pe);
  EXPECT_EQ(qrt_test::read_file(dir.join("OLDER.EXE")), "newer program");
  EXPECT_THAT(WindowLog::files, ElementsAre("OLDER.EXE"));
}

TEST_F(LauncherUpdate, AnEmptyListLeavesVersionQrtAsItIs) {
  qrt_test::write_file(dir.join("VERSION.QRT"), "KEEP\r\n");
  serve("");
  ASSERT_EQ(update_list_get(), 0);
  EXPECT_EQ(update_download(), 0);
  EXPECT_EQ(qrt_test::read_file(dir.join("VERSION.QRT")), "KEEP\r\n");
  EXPECT_EQ(WindowLog::opened_for, 0);
}

// Names that would leave the install folder are refused: nothing is written for
// them, the download counts as failed, and VERSION.QRT keeps its old state.
TEST_F(LauncherUpdate, NamesLeavingTheInstallFolderAreRefused) {
  const char* names[] = {"..\\EVIL.TXT", "C:\\EVIL.TXT", "\\EVIL.TXT",   "DLV\\..\\..\\EVIL.TXT",
                         "/etc/EVIL",    "A:B.TXT",      "DLV\\\\X.TXT", "EVIL\r\nX.TXT"};
  for (const char* name : names) {
    EXPECT_FALSE(update::safe_name(name)) << name;
    boxes.boxes.clear();
    serve(entry(name, 20241201, 93000));
    ASSERT_EQ(update_list_get(), 0);
    EXPECT_EQ(update_download(), -1) << name;
    ASSERT_EQ(boxes.boxes.size(), 1u) << name;
    EXPECT_THAT(boxes.boxes[0].text, HasSubstr("のダウンロードに失敗しました。"));
    EXPECT_FALSE(std::filesystem::exists(dir.path().parent_path() / "EVIL.TXT"));
    EXPECT_FALSE(std::filesystem::exists(dir.join("VERSION.QRT")));
  }
  EXPECT_TRUE(update::safe_name("DLV\\MASTER\\A.TXT"));
  EXPECT_TRUE(update::safe_name("QRT100.EXE"));
  EXPECT_TRUE(update::safe_name("漫表.TXT"));  // a trail byte 0x5C is not a separator
}

// A piece whose lengths promise more than arrived ends the download as failed.
TEST_F(LauncherUpdate, PieceLongerThanItsAnswerFails) {
  serve(entry("A.TXT", 20241201, 93000));
  ASSERT_EQ(update_list_get(), 0);
  fake.answer(qrt_test::answer(std::string(1, '\1') + le32(5000) + "short"));
  EXPECT_EQ(update_download(), -1);
  EXPECT_FALSE(std::filesystem::exists(dir.join("A.TXT")));
  EXPECT_THAT(traced(), HasSubstr("piece 0 of 5000 bytes"));
}

// A wrong check block fetches the file again; three wrong ones end the download
// with the failure message.
TEST_F(LauncherUpdate, WrongCheckBlocksAreFetchedAgainThreeTimesAtMost) {
  const std::string archive = archive_of("contents");
  const std::string wrong(32, '\x55');
  serve(entry("A.TXT", 20241201, 93000));
  ASSERT_EQ(update_list_get(), 0);
  for (auto& a : pieces(archive, 1000, 20241201, 93000, &wrong)) fake.answer(a);
  for (auto& a : pieces(archive, 1000, 20241201, 93000)) fake.answer(a);
  ASSERT_EQ(update_download(), 0);
  EXPECT_EQ(qrt_test::read_file(dir.join("A.TXT")), "contents");

  std::filesystem::remove(dir.join("VERSION.QRT"));
  serve(entry("B.TXT", 20241201, 93000));
  ASSERT_EQ(update_list_get(), 0);
  for (int i = 0; i < 3; ++i)
    for (auto& a : pieces(archive, 1000, 20241201, 93000, &wrong)) fake.answer(a);
  fake.answer(qrt_test::answer("not asked for"));
  boxes.boxes.clear();
  EXPECT_EQ(update_download(), -1);
  EXPECT_EQ(boxes.boxes.size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(dir.join("B.TXT")));
  EXPECT_FALSE(std::filesystem::exists(dir.join("B.TXT.LZH")));
  EXPECT_EQ(fake.queued.size(), 1u) << "a fourth download was asked for";
}

// ｷｬﾝｾﾙ during a file stops the downloads before the next one; VERSION.QRT is
// not rewritten, so the next start fetches what is still missing.
TEST_F(LauncherUpdate, CancelStopsAfterTheCurrentFile) {
  WindowLog::cancel_before_next = true;
  serve(entry("A.TXT", 20241201, 93000) + entry("B.TXT", 20241201, 93000));
  ASSERT_EQ(update_list_get(), 0);
  serve_file("a");
  EXPECT_EQ(update_download(), 0);
  EXPECT_EQ(qrt_test::read_file(dir.join("A.TXT")), "a");
  EXPECT_FALSE(std::filesystem::exists(dir.join("B.TXT")));
  EXPECT_FALSE(std::filesystem::exists(dir.join("VERSION.QRT")));
  EXPECT_THAT(traced(), HasSubstr("cancelled by the user before B.TXT"));
}

TEST(LauncherUpdateBlock, CheckBlockSumsRowsOf32Bytes) {
  std::string data(70, '\0');
  for (int i = 0; i < 70; ++i) data[i] = static_cast<char>(i);
  unsigned char b[32];
  update::check_block(reinterpret_cast<const unsigned char*>(data.data()), data.size(), b);
  EXPECT_EQ(b[0], 0 + 32 + 64);
  EXPECT_EQ(b[5], 5 + 37 + 69);
  EXPECT_EQ(b[6], 6 + 38);  // the last row is shorter
  EXPECT_TRUE(update::older(20241201, 92959, 20241201, 93000));
  EXPECT_FALSE(update::older(20241201, 93000, 20241201, 93000));
  EXPECT_TRUE(update::older(20241130, 235959, 20241201, 0));
}

}  // namespace
