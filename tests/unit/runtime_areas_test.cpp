#include <cstring>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include "test_support.h"

namespace {

bool all_zero(const void* p, std::size_t n) {
  const auto* b = static_cast<const unsigned char*>(p);
  for (std::size_t i = 0; i < n; ++i)
    if (b[i]) return false;
  return true;
}

TEST(Areas, LauncherBuildsEmptyAreasWithTheirBuffers) {
  zr_program_set(ZR_PRG_QRT000);
  _zrcmna_make();
  EXPECT_EQ(zrwork->p_msg, &zrwork->msg_area);
  EXPECT_EQ(zrwork->tnl_msg, &zrwork->tnl_area);
  EXPECT_EQ(zrwork->snd_msg, &zrwork->snd_area);
  EXPECT_EQ(zrwork->p_msg_cap, 16372);
  EXPECT_EQ(zrwork->tnl_msg_cap, 16372);
  EXPECT_NE(zrwork->io_buf, nullptr);
  EXPECT_EQ(zr00->csv_cap, 10000);
  EXPECT_EQ(zr00->csv_fld_cnt, 100);
  // The launcher puts no defaults in at construction.
  EXPECT_STREQ(zrwork->prg_nm, "");
  EXPECT_STREQ(zr01->cli_nm, "");
  EXPECT_EQ(zrwork->kd_1, 0);
  EXPECT_EQ(zr00->sys_kd, 0);
  EXPECT_TRUE(all_zero(zrenv->inst_dir, sizeof zrenv->inst_dir));
  EXPECT_TRUE(all_zero(zrfile, sizeof *zrfile));
  EXPECT_TRUE(all_zero(zrconn, sizeof *zrconn));
  EXPECT_TRUE(all_zero(zr01, sizeof *zr01));
  EXPECT_NE(zrcnst, nullptr);
  _zrcmna_kill();
  EXPECT_EQ(zrenv, nullptr);
  EXPECT_EQ(zrwork, nullptr);
  EXPECT_EQ(zrconn, nullptr);
}

TEST(Areas, CheckerPutsItsConstructionDefaults) {
  zr_program_set(ZR_PRG_QRT100);
  _zrcmna_make();
  EXPECT_EQ(zrwork->kd_1, 22);
  EXPECT_EQ(zrwork->kd_2, 22);
  EXPECT_EQ(zrwork->kd_3, 51);
  EXPECT_EQ(zrwork->kd_4, 51);
  EXPECT_EQ(zrwork->kd_5, 11);
  EXPECT_STREQ(zrwork->prg_nm, "QRT100");
  EXPECT_STREQ(zr01->cli_nm, "QRT100");
  EXPECT_EQ(zr00->sys_kd, 2);
  _zrcmna_kill();
  zr_program_set(ZR_PRG_QRT000);
}

TEST(Areas, HeapMessageBuffersAreFreedWithTheArea) {
  // A part that needs a larger message replaces the buffer by a heap block and
  // records the new capacity; the area then owns it (ASan reports a leak if not).
  zr_program_set(ZR_PRG_QRT000);
  _zrcmna_make();
  zrwork->p_msg = static_cast<PHMSG*>(std::calloc(1, 12 + 40000));
  zrwork->p_msg_cap = 40000;
  EXPECT_FALSE(zr_msg_builtin(zrwork->p_msg));
  EXPECT_TRUE(zr_msg_builtin(zrwork->tnl_msg));
  _zrcmna_kill();
  EXPECT_EQ(zrwork, nullptr);
#if defined(__SANITIZE_ADDRESS__)
  // The heap block went with the area: the leak checker finds nothing now.
  EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0);
#endif
}

struct OsCase {
  unsigned major, minor, build;
  bool workstation, nt;
  int code;
  const char* name;
};

TEST(PlatformProbe, CodesAndNamesOfTheVersionTable) {
  const OsCase cases[] = {
      {10, 0, 19045, true, true, 11, "Windows 10"},
      {10, 0, 22631, true, true, 12, "Windows 11"},
      {10, 0, 14393, false, true, 31, "Windows Server 2016"},
      {10, 0, 17763, false, true, 32, "Windows Server 2019"},
      {10, 0, 20348, false, true, 33, "Windows Server 2022"},
      {6, 1, 7601, true, true, 8, "Windows 7"},
      {6, 3, 9600, false, true, 30, "Windows Server 2012 R2"},
      {5, 1, 2600, true, true, 5, "Windows XP"},
      {5, 2, 3790, false, true, 26, "Windows Server 2003"},
      {4, 0, 1381, true, true, 4, "Windows NT"},
      {4, 10, 0, true, false, 2, "Windows 98"},
      {4, 90, 0, true, false, 3, "Windows ME"},
      {11, 0, 0, true, true, 0, "Illegal OS Version"},
  };
  for (const OsCase& c : cases) {
    int code = zr_os_code(true, c.major, c.minor, c.build, c.workstation, c.nt);
    EXPECT_EQ(code, c.code) << c.major << "." << c.minor << " build " << c.build;
    char name[64];
    _os_name_get(code, name);
    EXPECT_STREQ(name, c.name);
  }
  EXPECT_EQ(zr_os_code(false, 10, 0, 19045, true, true), 0);
  char name[64];
  _os_name_get(13, name);
  EXPECT_STREQ(name, "Illegal OS Version");
}

TEST(Fields, BoundedHelpersNeverRunPastTheField) {
  char field[8];
  EXPECT_TRUE(zr::copy(field, "ABCDEFG"));
  EXPECT_STREQ(field, "ABCDEFG");
  EXPECT_FALSE(zr::copy(field, "ABCDEFGH"));
  EXPECT_STREQ(field, "ABCDEFG");
  zr::copy(field, "AB");
  EXPECT_FALSE(zr::append(field, "CDEFGHIJ"));
  EXPECT_STREQ(field, "ABCDEFG");
  EXPECT_EQ(ZR_FMT(field, "%05d-%s", 42, "xyz"), 9);
  EXPECT_STREQ(field, "00042-x");
  EXPECT_TRUE(zr::copy_n(field, "ABCDEF", 3));
  EXPECT_STREQ(field, "ABC");
}

}  // namespace
