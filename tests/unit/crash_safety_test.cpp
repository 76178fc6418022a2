// Crash safety of the state files: the process is ended in the middle of every
// rewrite — after N bytes have gone through the platform's write path, N swept
// over the whole write, and once more just before the new file is put in place
// — and each file must then be either the old one or the new one, byte for byte.
// Natively only: the write path's fault hook is the POSIX platform's.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/platform.h"
#include "test_support.h"

#ifndef _WIN32

namespace {

using qrt_test::read_file;
using qrt_test::write_file;

class CrashSafetyTest : public qrt_test::AreasTest {
 protected:
  void SetUp() override {
    AreasTest::SetUp();
    // The child of each death test is this process forked at the statement,
    // so it writes into this test's folder.
    previous_style_ = GTEST_FLAG_GET(death_test_style);
    GTEST_FLAG_SET(death_test_style, "fast");
    _sdi_dir_make();
    std::filesystem::create_directories(dir.join("USER"));
    std::filesystem::create_directories(dir.join("DATA"));
  }
  void TearDown() override {
    GTEST_FLAG_SET(death_test_style, previous_style_);
    AreasTest::TearDown();
  }

  // One state file: `state(false)` then `write()` makes the old file,
  // `state(true)` then `write()` the new one.
  struct Case {
    const char* name;
    std::string file;
    std::function<void(bool)> state;
    std::function<void()> write;
  };

  void check(const Case& c) {
    c.state(false);
    c.write();
    const std::string old_bytes = read_file(c.file);
    c.state(true);
    c.write();
    const std::string new_bytes = read_file(c.file);
    ASSERT_NE(old_bytes, new_bytes) << c.name;
    const long long step = std::max<long long>(1, static_cast<long long>(new_bytes.size()) / 24);
    // The writes of one rewrite may pass more bytes than the file holds (a
    // backup copy first); the sweep goes on until a run is no longer ended.
    bool completed = false;
    int runs = 0;
    for (long long n = 0; !completed && n <= 8 * static_cast<long long>(new_bytes.size()) + 64;
         n += (n < 4 ? 1 : step)) {
      write_file(c.file, old_bytes);
      c.state(true);
      EXPECT_EXIT(
          {
            plat::write_fault_set(n);
            c.write();
            plat::write_fault_set(-1);
            std::exit(0);
          },
          [&](int status) {
            completed = ::testing::ExitedWithCode(0)(status);
            return completed || ::testing::ExitedWithCode(plat::kWriteFaultExit)(status);
          },
          "")
          << c.name << " ended after " << n << " bytes";
      const std::string now = read_file(c.file);
      EXPECT_TRUE(now == old_bytes || now == new_bytes)
          << c.name << " ended after " << n << " bytes holds " << now.size() << " bytes";
      if (completed) {
        EXPECT_EQ(now, new_bytes) << c.name << " with room for " << n << " bytes";
      }
      ++runs;
    }
    EXPECT_TRUE(completed) << c.name << ": no run completed";
    EXPECT_GE(runs, 5) << c.name;
  }

  std::string previous_style_;
  bool fresh_ = false;  // which of the two contents the writers write
};

TEST_F(CrashSafetyTest, EveryStateFileIsTheOldOrTheNewOne) {
  const std::string program(1500, 'p');
  const Case cases[] = {
      {"CONFIG.INI", dir.join("DLV\\CONFIG.INI"),
       [](bool fresh) {
         zrsdi->dlv_type = fresh ? 2 : 1;
         zr::copy(zrsdi->check_time, fresh ? "09:00:00" : "12:00:00");
       },
       [] { _sdi_config_write(); }},
      {"LIST_NO.FIL", dir.join("DLV\\RESULT\\LIST_NO.FIL"),
       [](bool fresh) {
         zrsdi->list_no_f = 1;
         zrsdi->list_no_t = fresh ? 12 : 11;
         zrsdi->list_no_cnt = fresh ? 12 : 11;
       },
       [] { _sdi_list_no_write(); }},
      {"result file", dir.join("DLV\\RESULT\\00007.FIL"), [this](bool f) { fresh_ = f; },
       [this] {
         const std::string text = std::string("[LIST]\r\nrslt_cnt=1\r\n") +
                                  (fresh_ ? "sdi_date=2024/01/19\r\n" : "sdi_date=2024/01/12\r\n") +
                                  std::string(1200, fresh_ ? 'n' : 'o') + "\r\n";
         _sdi_result_write(7, text.data(), static_cast<std::int32_t>(text.size()));
       }},
      {"_VWD file", dir.join("DLV\\RESULT\\00007_VWD.FIL"),
       [](bool fresh) {
         zrsdi->rslt_cnt = 3;
         for (int i = 0; i < 3; ++i) zrsdi->rslt[i].vwd_fg = fresh ? 1 : 0;
       },
       [] { _sdi_vwd_write(7); }},
      {"LAST_PD.FIL", dir.join("DLV\\LAST_PD.FIL"),
       [](bool fresh) { zrsdi->qrt100_svr_last_pd = fresh ? 20240119 : 20240112; },
       [] { _sdi_last_pd_write(zrsdi->qrt100_svr_last_pd); }},
      {"UPDATE_TM", dir.join("DLV\\UPDATE_TM"),
       [](bool fresh) { zrsdi->qrt100_svr_last_pd = fresh ? 1 : 0; },
       [] {
         const std::string text =
             zrsdi->qrt100_svr_last_pd
                 ? "20240112          20240112\r\n20240119          20240119\r\n"
                 : "20240105          20240105\r\n";
         _sdi_update_tm_write(text.data(), static_cast<std::int32_t>(text.size()));
       }},
      {"ZORAX.INI", dir.join("USER\\ZORAX.INI"),
       [](bool fresh) {
         zrconn->host_cnt = 1;
         zr::copy(zrconn->host_nm[0], fresh ? "new-host.example" : "old.example");
         zr::copy(zrconn->obj_nm, "QRTSVR");
       },
       [] { zrnet_ini_write(); }},
      {"UID_QRT.FIL", dir.join("USER\\UID_QRT.FIL"), [this](bool f) { fresh_ = f; },
       [this] { uid_fil_write(fresh_ ? "NEWID01" : "OLDID01", fresh_ ? "newpass" : "oldpass"); }},
      {"PROXY.FIL", dir.join("USER\\PROXY.FIL"), [this](bool f) { fresh_ = f; },
       [this] {
         char encoded[128];
         proxy_fil_write(fresh_ ? "DOM\\newuser" : "olduser", fresh_ ? "newsecret" : "old", encoded,
                         sizeof encoded);
       }},
      {"DISPSIZE.FIL", dir.join("DATA\\DISPSIZE.FIL"),
       [](bool fresh) {
         std::memset(zrsdi->disp_size, fresh ? 0x5A : 0x11, sizeof zrsdi->disp_size);
       },
       [] { _dspsize_write(); }},
      {"updated program file", dir.join("QRT100.EXE"),
       [this, &program](bool fresh) {
         write_file(dir.join("QRT100.NEW"), fresh ? "MZ new " + program : "MZ old " + program);
       },
       [this] { zr_copy_replace(dir.join("QRT100.NEW").c_str(), dir.join("QRT100.EXE").c_str()); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    check(c);
  }
}

}  // namespace

#else

// The fault hook lives in the POSIX platform and the sweep forks at each
// statement; under Wine the suite says so instead of running.
TEST(CrashSafetyTest, EveryStateFileIsTheOldOrTheNewOne) {
  GTEST_SKIP() << "the write path's fault hook is the native platform's";
}

#endif  // _WIN32
