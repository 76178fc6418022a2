#include <gmock/gmock.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "session/settings.h"
#include "test_support.h"

namespace {

using qrt_test::AreasTest;
using qrt_test::read_file;
using qrt_test::write_file;

class FileTable : public AreasTest {};

TEST_F(FileTable, SixteenFilesOpenAndAFreedSlotIsReusedLowestFirst) {
  std::vector<std::FILE*> open;
  for (int i = 0; i < 16; ++i) {
    std::string name = dir.join("F" + std::to_string(i) + ".TXT");
    open.push_back(_fopen(name.c_str(), "wb"));
  }
  EXPECT_STREQ(zrfile->slot[15].mode, "wb");
  _fclose(open[3]);
  _fclose(open[7]);
  EXPECT_STREQ(zrfile->slot[3].fnm, "");
  std::FILE* again = _fopen(dir.join("AGAIN.TXT").c_str(), "wb");
  EXPECT_EQ(zrfile->slot[3].fp, again);
  EXPECT_EQ(std::string(zrfile->slot[3].fnm), dir.join("AGAIN.TXT"));
  _fclose_all();
  for (const ZR_FILE_SLOT& s : zrfile->slot) EXPECT_STREQ(s.fnm, "");
}

TEST_F(FileTable, MissingFileOpensAsNullWithoutASlot) {
  EXPECT_EQ(_fopen_ext(dir.join("NONE.TXT").c_str(), "rb"), nullptr);
  for (const ZR_FILE_SLOT& s : zrfile->slot) EXPECT_EQ(s.fp, nullptr);
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(FileTable, OpenFileListingNamesEverySlot) {
  _fopen_disp();
  std::FILE* fp = _fopen(dir.join("A.TXT").c_str(), "wb");
  _fopen_disp();
  _fclose(fp);
  auto t = trace();
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(t[0], "**** Open File Display ****\n** Not in Open File **");
  EXPECT_THAT(t[1], ::testing::StartsWith("**** Open File Display ****\ni:00, fp:"));
  EXPECT_THAT(t[1], ::testing::EndsWith("fnm:" + dir.join("A.TXT") + " (wb)\n"));
}

struct LineCase {
  const char* name;
  std::string bytes;
  std::vector<std::string> lines;
};

TEST_F(FileTable, TextLinesSkipEmptyLinesAndStopAtTheEndMark) {
  const LineCase cases[] = {
      {"crlf", "AB\r\n\r\nCD", {"AB", "CD"}},
      {"end mark",
       std::string("AB\x1A"
                   "more\r\n",
                   9),
       {"AB"}},
      {"lf only and trailing", "\n\nX\nYZ\n\n", {"X", "YZ"}},
      {"longest line", "ABC\r\n", {"ABC"}},
      {"empty", "", {}},
  };
  for (const LineCase& c : cases) {
    std::string path = dir.join("LINES.TXT");
    write_file(path, c.bytes);
    std::FILE* fp = _fopen(path.c_str(), "rb");
    char buf[4];
    std::vector<std::string> got;
    int n;
    while ((n = fread_txt(buf, sizeof buf, fp)) > 0) {
      EXPECT_EQ(n, static_cast<int>(std::strlen(buf)));
      got.push_back(buf);
    }
    _fclose(fp);
    EXPECT_EQ(got, c.lines) << c.name;
  }
}

// The reader for the server's text files cuts a line that does not fit, never
// in the middle of a two-byte character, and goes on with the next line.
TEST_F(FileTable, LineReaderForOutsideTextCutsLongLines) {
  std::string path = dir.join("LINES.TXT");
  write_file(path,
             "ABC\x95\x5C"
             "DEF\r\nAB\x95\x5C\r\nXYZW\r\nQ");
  std::FILE* fp = _fopen(path.c_str(), "rb");
  char buf[5];
  std::vector<std::pair<std::string, bool>> got;
  bool cut = false;
  while (zr_fread_txt_cut(buf, sizeof buf, fp, &cut) > 0) got.emplace_back(buf, cut);
  _fclose(fp);
  EXPECT_EQ(got, (std::vector<std::pair<std::string, bool>>{
                     {"ABC", true}, {"AB\x95\x5C", false}, {"XYZW", false}, {"Q", false}}));
}

TEST_F(FileTable, ReadWriteSeekAndSize) {
  std::string path = dir.join("DATA.BIN");
  std::FILE* fp = _fopen(path.c_str(), "wb");
  _fwrite("0123456789", 1, 10, fp);
  _fclose(fp);
  fp = _fopen(path.c_str(), "rb");
  EXPECT_EQ(_fsize(fp), 10);
  _fseek(fp, 4, SEEK_SET);
  EXPECT_EQ(_ftell(fp), 4);
  char buf[8] = {};
  EXPECT_EQ(_fread(buf, 1, 3, fp), 3u);
  EXPECT_STREQ(buf, "456");
  _fseek(fp, 2, SEEK_CUR);
  EXPECT_EQ(_fread(buf, 1, 8, fp), 1u);
  EXPECT_EQ(buf[0], '9');
  EXPECT_EQ(_fread(buf, 1, 8, fp), 0u);
  _fclose(fp);
  EXPECT_EQ(_fsize(nullptr), -1);
}

using FileTableDeath = AreasTest;

TEST_F(FileTableDeath, SeventeenthOpenShowsTheOverLimitReport) {
  std::string base = dir.join("F");
  EXPECT_EXIT(
      {
        zr_message_box_handler(qrt_test::box_to_stderr);
        for (int i = 0; i < 17; ++i) _fopen((base + std::to_string(i)).c_str(), "wb");
      },
      ::testing::ExitedWithCode(0),
      ::testing::HasSubstr("********** Over file no 16 *********\r\n"
                           "オープンファイル数が１６を越えました\r\n"
                           "         処理を中断します           \r\n"
                           "**********   fnm:" +
                           base + "16    *****]"));
  auto t = trace();
  ASSERT_EQ(t.size(), 1u);
  EXPECT_EQ(t[0], "Over file no 16 fnm:" + base + "16");
}

TEST_F(FileTableDeath, FailedOpenShowsTheIoReport) {
  std::string missing = dir.join("NO_DIR\\X.TXT");
  zr::copy(zrwork->rtn_nm, "_test_routine");
  zr::copy(zrwork->mes_buf, "comment");
  EXPECT_EXIT(
      {
        zr_message_box_handler(qrt_test::box_to_stderr);
        _fopen(missing.c_str(), "rb");
      },
      ::testing::ExitedWithCode(0),
      ::testing::HasSubstr("BOX[　＊＊＊ファイルＩ／Ｏ障害＊＊＊\n\n"
                           "ファイル名称： " +
                           missing +
                           "\n"
                           "Ｉ／Ｏ種類　： fopen\n"
                           "オープン種類： rb\n"
                           "プログラム名： \n"
                           "ルーチン名　： _test_routine\n"
                           "コメント　　： comment\n"
                           "エラーコード： "));
}

TEST_F(FileTableDeath, OverlongLineEndsTheProcessAsAReadFailure) {
  std::string path = dir.join("LONG.TXT");
  write_file(path, "ABCD\r\n");
  EXPECT_EXIT(
      {
        zr_message_box_handler(qrt_test::box_to_stderr);
        std::FILE* fp = _fopen(path.c_str(), "rb");
        char buf[4];
        fread_txt(buf, sizeof buf, fp);
      },
      ::testing::ExitedWithCode(0),
      ::testing::AllOf(::testing::HasSubstr("Ｉ／Ｏ種類　： fread\n"),
                       ::testing::HasSubstr("オープン種類： rb\n"),
                       ::testing::HasSubstr("コメント　　： fread_txt read length over\n")));
}

TEST_F(FileTableDeath, StreamOutsideTheTableIsReportedWithStars) {
  std::string path = dir.join("RAW.TXT");
  write_file(path, "x");
  EXPECT_EXIT(
      {
        zr_message_box_handler(qrt_test::box_to_stderr);
        std::FILE* raw = std::fopen(path.c_str(), "rb");
        char c;
        _fread(&c, 1, 1, raw);
      },
      ::testing::ExitedWithCode(0),
      ::testing::AllOf(::testing::HasSubstr("ファイル名称： ****************\n"),
                       ::testing::HasSubstr("オープン種類： *****\n")));
}

struct SplitCase {
  const char* path;
  const char* drive;
  const char* dir;
  const char* base;
  const char* ext;
};

TEST(PathSplit, DriveFolderBaseAndExtension) {
  const SplitCase cases[] = {
      {"C:\\DIR\\表.TXT", "C:", "\\DIR\\", "表", ".TXT"},
      {"表\\ソ.A.B", "", "表\\", "ソ.A", ".B"},  // 表 and ソ end in the byte 0x5C
      {"NAME", "", "", "NAME", ""},
      {"D:X.Y.Z", "D:", "", "X.Y", ".Z"},
      {"a/b.c/d", "", "a/b.c/", "d", ""},
      {"", "", "", "", ""},
  };
  for (const SplitCase& c : cases) {
    char drive[4], folder[261], base[261], ext[261];
    _fnm_split(c.path, drive, folder, base, ext);
    EXPECT_STREQ(drive, c.drive) << c.path;
    EXPECT_STREQ(folder, c.dir) << c.path;
    EXPECT_STREQ(base, c.base) << c.path;
    EXPECT_STREQ(ext, c.ext) << c.path;
  }
  std::string too_long(261, 'a');
  char base[261] = "x";
  _fnm_split(too_long.c_str(), nullptr, nullptr, base, nullptr);
  EXPECT_STREQ(base, "");
}

class Folders : public AreasTest {};

TEST_F(Folders, MakeAllCreatesEveryLevel) {
  std::string deep = dir.str() + "\\DLV\\RESULT\\SUB";
  EXPECT_EQ(_mkdir_all(deep.c_str()), 0);
  EXPECT_TRUE(std::filesystem::is_directory(dir.join("DLV\\RESULT\\SUB")));
  EXPECT_NE(_mkdir_all(deep.c_str()), 0);  // exists already
}

TEST_F(Folders, WildcardDeletionSkipsFoldersAndReportsNoMatch) {
  write_file(dir.join("R\\00001.FIL"), "1");
  write_file(dir.join("R\\00002.FIL"), "2");
  write_file(dir.join("R\\KEEP.TXT"), "k");
  std::filesystem::create_directories(dir.join("R\\SUB.FIL"));
  std::string pattern = dir.str() + "\\R\\*.FIL";
  EXPECT_EQ(_fdelete(pattern.c_str()), 0);
  EXPECT_FALSE(std::filesystem::exists(dir.join("R\\00001.FIL")));
  EXPECT_FALSE(std::filesystem::exists(dir.join("R\\00002.FIL")));
  EXPECT_TRUE(std::filesystem::exists(dir.join("R\\KEEP.TXT")));
  EXPECT_TRUE(std::filesystem::is_directory(dir.join("R\\SUB.FIL")));
  EXPECT_EQ(_fdelete(pattern.c_str()), 1);
}

TEST_F(Folders, FileTimesRoundTripAsLocalNumbers) {
  std::string path = dir.join("T.TXT");
  write_file(path, "t");
  ASSERT_EQ(_ftime_set(path.c_str(), 20240510, 93015), 0);
  std::int32_t date = 0, time = 0;
  ASSERT_EQ(_ftime_get(path.c_str(), &date, &time), 0);
  EXPECT_EQ(date, 20240510);
  EXPECT_EQ(time, 93015);
  EXPECT_EQ(_ftime_get(dir.join("NONE").c_str(), &date, &time), -1);
  EXPECT_EQ(_ftime_set(dir.join("NONE").c_str(), 20240510, 0), -1);
}

TEST_F(Folders, ProgramLinkTimeIsReadFromThePeHeader) {
  // A minimal PE image: DOS header pointing at offset 64, PE signature, i386
  // machine and the link time 2024-01-17 00:00:00 UTC.
  std::string image(64 + 24, '\0');
  image[0] = 'M';
  image[1] = 'Z';
  image[60] = 64;
  image.replace(64, 4, std::string("PE\0\0", 4));
  image[68] = 0x4C;
  image[69] = 0x01;
  std::uint32_t stamp = 1705449600u;
  for (int i = 0; i < 4; ++i) image[72 + i] = static_cast<char>(stamp >> (8 * i));
  std::string path = dir.join("QRT000.EXE");
  write_file(path, image);
  std::int32_t date = 0, time = 0;
  EXPECT_EQ(_exe_time_get(path.c_str(), &date, &time), 0);
  // Local time of the stamp (the programs run with TZ=JST-9; the test with
  // whatever zone the machine has), so only the date range is certain.
  EXPECT_TRUE(date == 20240116 || date == 20240117) << date;

  std::string text_file = dir.join("NOTEXE.TXT");
  write_file(text_file, "just text");
  EXPECT_EQ(_exe_time_get(text_file.c_str(), &date, &time), 1);
  EXPECT_EQ(_exe_time_get(dir.join("NONE.EXE").c_str(), &date, &time), -1);
  for (const ZR_FILE_SLOT& s : zrfile->slot) EXPECT_EQ(s.fp, nullptr);
}

TEST_F(Folders, CopiesReportAMissingSource) {
  std::string src = dir.join("SRC.BIN"), dst = dir.join("DST.BIN");
  std::string data(10000, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
  write_file(src, data);
  EXPECT_EQ(_copy(src.c_str(), dst.c_str()), 0);
  EXPECT_EQ(read_file(dst), data);
  EXPECT_EQ(_file_copy(src.c_str(), dst.c_str(), 0), 0);
  EXPECT_EQ(read_file(dst), data);
  EXPECT_EQ(_fcopy(src.c_str(), dst.c_str()), 10000);
  EXPECT_EQ(_file_copy_ext(src.c_str(), dst.c_str()), 0);
  EXPECT_EQ(read_file(dst), data);
  std::string none = dir.join("NONE");
  EXPECT_EQ(_copy(none.c_str(), dst.c_str()), 1);
  EXPECT_EQ(_fcopy(none.c_str(), dst.c_str()), -1);
  EXPECT_EQ(_file_copy_ext(none.c_str(), dst.c_str()), 1);
  for (int i = 0; i < kMemSlots; ++i) EXPECT_EQ(zrenv->mem_tbl.mem_ptr[i], nullptr);
}

TEST_F(Folders, TreeCopyAsksBeforeCopyingOntoAnExistingFolder) {
  write_file(dir.join("SRC\\A.TXT"), "a");
  write_file(dir.join("SRC\\SUB\\B.TXT"), "b");
  std::string src = dir.str() + "\\SRC", dst = dir.str() + "\\DST";
  EXPECT_EQ(_xcopy(src.c_str(), dst.c_str(), 0), 0);
  EXPECT_EQ(read_file(dir.join("DST\\A.TXT")), "a");
  EXPECT_EQ(read_file(dir.join("DST\\SUB\\B.TXT")), "b");

  write_file(dir.join("SRC\\C.TXT"), "c");
  boxes.answer = 7;  // No
  EXPECT_EQ(_xcopy(src.c_str(), dst.c_str(), 1), 9);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "既にﾌｫﾙﾀﾞｰ [" + dst + "] が存在します。\n続行しますか？");
  EXPECT_FALSE(std::filesystem::exists(dir.join("DST\\C.TXT")));

  std::string none = dir.str() + "\\NONE";
  EXPECT_EQ(_xcopy(none.c_str(), dst.c_str(), 1), -1);
  EXPECT_EQ(boxes.boxes.back().text, "指定したフォルダー又はファイルが見つかりません。\r\n" + none);
  EXPECT_EQ(_xcopy(none.c_str(), dst.c_str(), 2), -1);
  EXPECT_EQ(boxes.boxes.size(), 2u);

  // A silent type copies with the operating system's copy.
  std::string one = dir.str() + "\\SRC\\C.TXT", target = dir.str() + "\\C2.TXT";
  EXPECT_EQ(_xcopy(one.c_str(), target.c_str(), 2), 0);
  EXPECT_EQ(read_file(dir.join("C2.TXT")), "c");
  // A copy that fails every attempt (the target is a folder) is reported.
  EXPECT_EQ(_xcopy(one.c_str(), dst.c_str(), 2), -1);
  std::string traced;
  for (const std::string& line : trace()) traced += line + "\n";
  EXPECT_THAT(traced, ::testing::HasSubstr("copy failed: " + one));
}

TEST_F(Folders, ReplaceFileLeavesTheOldFileWhenTheWriteFails) {
  std::string path = dir.join("CONFIG.INI");
  write_file(path, "old");
  EXPECT_EQ(zr_replace_file(path.c_str(), "new contents", 12), 0);
  EXPECT_EQ(read_file(path), "new contents");
  std::string in_missing_folder = dir.join("NO_DIR\\CONFIG.INI");
  EXPECT_EQ(zr_replace_file(in_missing_folder.c_str(), "x", 1), -1);
  // No temporary file is left behind.
  for (auto& e : std::filesystem::directory_iterator(dir.path()))
    EXPECT_TRUE(e.path().filename() == "CONFIG.INI" || e.path().filename() == "DBG_TEST.LST")
        << e.path();
}

// Two writers replacing the same file at once (the launcher and the checker
// both rewrite ZORAX.INI): every replacement succeeds, a reader only ever sees
// one writer's complete file, and no temporary file is left.
TEST_F(Folders, ConcurrentReplacementsNeverTearTheFile) {
  const std::string path = dir.join("ZORAX.INI");
  const std::string a(20000, 'a'), b(30000, 'b');
  write_file(path, a);
  std::atomic<bool> done{false};
  std::atomic<int> failures{0}, torn{0};
  auto writer = [&](const std::string& text) {
    for (int i = 0; i < 150; ++i)
      if (zr_replace_file(path.c_str(), text.data(), text.size()) != 0) ++failures;
  };
  std::thread reader([&] {
    while (!done) {
      const std::string got = read_file(path);
      if (!got.empty() && got != a && got != b) ++torn;
      plat::sleep_ms(1);
    }
  });
  std::thread wa(writer, a), wb(writer, b);
  wa.join();
  wb.join();
  done = true;
  reader.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(torn.load(), 0);
  const std::string last = read_file(path);
  EXPECT_TRUE(last == a || last == b);
  for (auto& e : std::filesystem::directory_iterator(dir.path()))
    EXPECT_TRUE(e.path().filename() == "ZORAX.INI" || e.path().filename() == "DBG_TEST.LST")
        << e.path();
}

#if !defined(_WIN32)
// A link planted where the temporary file used to be written ("<name>.$$$")
// or at any other name beside the file is never written through; the file
// itself is replaced, a link in its place included, not the file it points to.
TEST_F(Folders, PlantedLinksAreNotFollowed) {
  const std::string path = dir.join("ZORAX.INI");
  const std::string victim = dir.join("VICTIM.TXT");
  write_file(path, "old");
  write_file(victim, "precious");
  std::filesystem::create_symlink(victim, path + ".$$$");
  EXPECT_EQ(zr_replace_file(path.c_str(), "new", 3), 0);
  EXPECT_EQ(read_file(path), "new");
  EXPECT_EQ(read_file(victim), "precious");

  std::filesystem::remove(path);
  std::filesystem::create_symlink(victim, path);
  EXPECT_EQ(zr_replace_file(path.c_str(), "newer", 5), 0);
  EXPECT_FALSE(std::filesystem::is_symlink(path));
  EXPECT_EQ(read_file(path), "newer");
  EXPECT_EQ(read_file(victim), "precious");
}

// The credential files are readable by their owner only, also when an older
// copy was readable by others; other files keep the usual permissions.
TEST_F(Folders, CredentialFileIsOwnerOnly) {
  std::filesystem::create_directories(dir.path() / "USER");
  const std::string uid = dir.join("USER\\UID_QRT.FIL");
  write_file(uid, "AAAAAAAAAAAAAAAAAAAAAAAA");
  std::filesystem::permissions(uid, std::filesystem::perms::all);
  uid_fil_write("USER01", "secret01");
  EXPECT_EQ(std::filesystem::status(uid).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  uid_fil_read();
  EXPECT_STREQ(zr01->user_pass, "secret01");

  const std::string other = dir.join("CONFIG.INI");
  EXPECT_EQ(zr_replace_file(other.c_str(), "x", 1), 0);
  EXPECT_NE(std::filesystem::status(other).permissions() & std::filesystem::perms::group_read,
            std::filesystem::perms::none);
}
#endif

}  // namespace
