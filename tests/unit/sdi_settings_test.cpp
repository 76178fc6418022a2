// The SDI settings file DLV\CONFIG.INI: defaults, the pop-up period, and storing
// into missing and populated files.
#include <filesystem>
#include <string>

#include "sdi/sdi.h"
#include "test_support.h"

namespace {

using qrt_test::read_file;
using qrt_test::read_lines;
using qrt_test::write_file;
using Lines = std::vector<std::string>;

class SdiSettingsTest : public qrt_test::AreasTest {
 protected:
  std::string config() const { return dir.join("DLV\\CONFIG.INI"); }
};

TEST_F(SdiSettingsTest, MissingFileGivesDefaults) {
  _sdi_config_read();
  EXPECT_STREQ(zrsdi->check_time, "12:00:00");
  EXPECT_EQ(+zrsdi->dlv_type, 1);
  EXPECT_EQ(+zrsdi->disp_cycle, 1);
  EXPECT_EQ(+zrsdi->disp_period, 600);
  EXPECT_EQ(+zrsdi->auto_start, 0);
  EXPECT_EQ(+zrsdi->zero_disp, 0);
  EXPECT_EQ(+zrsdi->disp_first, 0);
}

TEST_F(SdiSettingsTest, ReadsEveryKey) {
  write_file(config(),
             "[SYSTEM]\r\ncheck_time=07:30:00\r\ndlv_type=3\r\ndisp_cycle= 4\r\n"
             "auto_start=1\r\nzero_disp=1x\r\ndisp_first=1\r\n");
  _sdi_config_read();
  EXPECT_STREQ(zrsdi->check_time, "07:30:00");
  EXPECT_EQ(+zrsdi->dlv_type, 3);
  EXPECT_EQ(+zrsdi->disp_cycle, 4);
  EXPECT_EQ(+zrsdi->disp_period, 7200);
  EXPECT_EQ(+zrsdi->auto_start, 1);
  EXPECT_EQ(+zrsdi->zero_disp, 1);
  EXPECT_EQ(+zrsdi->disp_first, 1);
}

TEST_F(SdiSettingsTest, CheckTimeAndPeriodEdges) {
  struct Case {
    const char* cycle;
    std::int16_t want_cycle;
    std::int32_t want_period;
  } cases[] = {{"0", 0, 300}, {"2", 2, 1800}, {"3", 3, 3600},
               {"7", 7, 0},   {"-1", -1, 0},  {"abc", 0, 300}};
  for (const Case& c : cases) {
    zrsdi->disp_period = 0;  // a fresh record
    write_file(config(), std::string("[SYSTEM]\r\ncheck_time=\r\ndisp_cycle=") + c.cycle + "\r\n");
    _sdi_config_read();
    EXPECT_STREQ(zrsdi->check_time, "12:00:00") << c.cycle;
    EXPECT_EQ(+zrsdi->disp_cycle, c.want_cycle) << c.cycle;
    EXPECT_EQ(+zrsdi->disp_period, c.want_period) << c.cycle;
  }
  // An overlong check time fills the field only.
  write_file(config(), "[SYSTEM]\r\ncheck_time=12:34:56:78\r\n");
  _sdi_config_read();
  EXPECT_STREQ(zrsdi->check_time, "12:34:56");
}

TEST_F(SdiSettingsTest, StoreIntoMissingFileWritesOneSection) {
  _sdi_dir_make();
  zrsdi->dlv_type = 2;
  zr::copy(zrsdi->check_time, "23:30:00");
  zrsdi->disp_cycle = 3;
  zrsdi->auto_start = 1;
  zrsdi->zero_disp = 0;
  zrsdi->disp_first = 1;
  _sdi_config_write();
  EXPECT_EQ(read_file(config()),
            "[SYSTEM]\r\ndlv_type=2\r\ncheck_time=23:30:00\r\ndisp_cycle=3\r\n"
            "auto_start=1\r\nzero_disp=0\r\ndisp_first=1\r\n");
  EXPECT_FALSE(std::filesystem::exists(config() + ".OLD"));
}

TEST_F(SdiSettingsTest, StoreKeepsOtherContentsAndSavesOld) {
  const std::string before =
      ";options of the checker\r\n[OTHER]\r\nx=1\r\n[SYSTEM]\r\ndisp_first=1\r\nextra=keep\r\n"
      "dlv_type=9\r\n";
  write_file(config(), before);
  _sdi_config_read();
  EXPECT_EQ(+zrsdi->dlv_type, 9);  // out of range: kept and written back
  zrsdi->disp_first = 0;
  _sdi_config_write();
  EXPECT_EQ(
      read_lines(config()),
      (Lines{";options of the checker", "[OTHER]", "x=1", "[SYSTEM]", "disp_first=0", "extra=keep",
             "dlv_type=9", "check_time=12:00:00", "disp_cycle=1", "auto_start=0", "zero_disp=0"}));
  EXPECT_EQ(read_file(config() + ".OLD"), before);
}

}  // namespace
