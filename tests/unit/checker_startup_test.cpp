// The checker's start-up body and closing: the refusal of a second checker, the
// folders and logs it prepares, the control block, the replacement of an updated
// launcher (and the give-up when the launcher stays), and the closing banners.
#include <filesystem>
#include <string>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include <gmock/gmock.h>

#include "net/tls.h"
#include "platform/net.h"
#include "platform/platform.h"
#include "qrt100_app.h"
#include "schedule.h"
#include "session/settings.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using qrt_test::read_file;
using qrt_test::read_lines;
using qrt_test::write_file;

int g_sleeps = 0;
void counting_sleep(std::uint32_t) { ++g_sleeps; }
plat::LocalTime fixed_now() { return plat::LocalTime{2024, 5, 10, 9, 30, 15}; }

// The blocks "QRT100" and "QRT000" have fixed names; natively they are shared by
// every process, so the tests that create them run one at a time.
class CheckerStartupTest : public qrt_test::AreasTest {
 protected:
  void SetUp() override {
#if !defined(_WIN32)
    lock_fd_ = ::open("/tmp/qrt-checker-startup-test.lock", O_RDWR | O_CREAT, 0666);
    if (lock_fd_ >= 0) flock(lock_fd_, LOCK_EX);
#endif
    AreasTest::SetUp();
    char cwd[512];
    plat::current_dir(cwd, sizeof cwd);
    old_cwd_ = cwd;
    plat::set_current_dir(dir.str().c_str());
    write_file(dir.join("USER\\ZORAX.INI"),
               "//// ZORAX環境設定ファイル Version : 1.20 ////\r\n[Host]\r\n"
               "ホスト名            127.0.0.1:1\r\nオブジェクト名      /QRT/QRTSRV.EXE\r\n"
               "[Config]\r\nNO_SSL              ON\r\nリトライカウント    01\r\n"
               "リトライ間隔        00010\r\n");
    g_sleeps = 0;
    prev_sleep_ = checker::sleep_set(counting_sleep);
    prev_clock_ = checker::clock_set(fixed_now);
  }
  void TearDown() override {
    checker::State& s = checker::state();
    if (s.ctrl) _shm_close(s.ctrl);
    if (s.ctrl_handle) plat::shm_release_handle(s.ctrl_handle);
    s.ctrl = nullptr;
    s.ctrl_handle = nullptr;
    checker::sleep_set(prev_sleep_);
    checker::clock_set(prev_clock_);
    plat::set_current_dir(old_cwd_.c_str());
    AreasTest::TearDown();
#if !defined(_WIN32)
    if (lock_fd_ >= 0) ::close(lock_fd_);
#endif
  }
  std::string old_cwd_;
  checker::SleepFn prev_sleep_;
  checker::NowFn prev_clock_;
  int lock_fd_ = -1;
};

TEST_F(CheckerStartupTest, PreparesFoldersLogsAndTheControlBlock) {
  write_file(dir.join("DBGDATA"), "old trace\r\n");
  write_file(dir.join("ERRDATA"), "old errors\r\n");
  write_file(dir.join("DLV\\DLV_NO.FIL"), "KEEP");
  ASSERT_EQ(checker::startup_body(), 0);

  EXPECT_TRUE(fs::is_directory(dir.join("DLV\\MASTER")));
  EXPECT_TRUE(fs::is_directory(dir.join("DLV\\RESULT")));
  EXPECT_EQ(read_file(dir.join("DLV\\DLV_NO.FIL")), "KEEP");
  EXPECT_EQ(read_file(dir.join("ERRDATA")), "");
  auto lines = read_lines(dir.join("DBGDATA"));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "--- Install Folder : " + dir.str() + " ---");
  EXPECT_EQ(zr00->sys_date.ymd, 20240510);
  EXPECT_EQ(zr00->ver_no, 120);
  EXPECT_STREQ(zrsdi->check_time, "12:00:00");  // settings loaded (defaults)
  EXPECT_EQ(zrwork->kd_3, 51);

  checker::State& s = checker::state();
  ASSERT_NE(s.ctrl, nullptr);
  EXPECT_EQ(s.ctrl[checker::kRunSts], 1);
  EXPECT_EQ(s.ctrl[checker::kCfgChg], 0);
  EXPECT_EQ(g_sleeps, 0);  // no launcher to replace
}

// The start-up reads the stored results (retention cleanup): a result with an
// over-long line, as the server may send one, does not stop the program.
TEST_F(CheckerStartupTest, ResultWithAnOverlongLineDoesNotStopTheStartUp) {
  write_file(dir.join("DLV\\RESULT\\LIST_NO.FIL"),
             "[COMMON]\r\nlist_no_f=1\r\nlist_no_t=1\r\nlist_no_cnt=1\r\n");
  write_file(dir.join("DLV\\RESULT\\00001.FIL"),
             "[LIST]\r\nrslt_cnt=1\r\nsdi_date=2024/05/01\r\n[00001]\r\nexp_nm=" +
                 std::string(70000, 'e') + "\r\n");
  ASSERT_EQ(checker::startup_body(), 0);
  EXPECT_EQ(checker::state().ctrl[checker::kRunSts], 1);
  EXPECT_TRUE(fs::exists(dir.join("DLV\\RESULT\\00001.FIL"))) << "a recent result is kept";
}

TEST_F(CheckerStartupTest, SecondCheckerIsRefused) {
  void* other = _shm_create("QRT100", 30);
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(checker::startup_body(), -1);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text,
            "【ＳＤＩチェッカー機能:QRT100】は既に起動されています。\n起動を中止します。");
  EXPECT_FALSE(fs::exists(dir.join("DBGDATA")));
  plat::shm_release_handle(other);
}

TEST_F(CheckerStartupTest, UpdatedLauncherReplacesTheOldOneWithItsTime) {
  write_file(dir.join("QRT000.EXE"), "old launcher");
  write_file(dir.join("QRT000.NEW"), "new launcher");
  // The start-up switches the process to Japan time; stamp the file in the same
  // zone so that the comparison does not depend on the machine's zone.
  plat::set_env("TZ", "JST-9");
  plat::tz_reset();
  _ftime_set(dir.join("QRT000.NEW").c_str(), 20240301, 101530);
  ASSERT_EQ(checker::startup_body(), 0);
  EXPECT_EQ(g_sleeps, 1);  // the first three-second wait only
  EXPECT_EQ(read_file(dir.join("QRT000.EXE")), "new launcher");
  EXPECT_FALSE(fs::exists(dir.join("QRT000.NEW")));
  std::int32_t date = 0, time = 0;
  _ftime_get(dir.join("QRT000.EXE").c_str(), &date, &time);
  EXPECT_EQ(date, 20240301);
  EXPECT_EQ(time, 101530);
}

TEST_F(CheckerStartupTest, LauncherThatStaysOpenEndsTheStartUpAfterAboutFiveMinutes) {
  void* launcher = _shm_create("QRT000", 30);
  ASSERT_NE(launcher, nullptr);
  write_file(dir.join("QRT000.EXE"), "old launcher");
  write_file(dir.join("QRT000.NEW"), "new launcher");
  EXPECT_EQ(checker::startup_body(), -1);
  EXPECT_EQ(g_sleeps, 102);  // 3 s, then 101 further waits
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(
      boxes.boxes[0].text,
      "ＳＤＩチェッカーの起動に失敗しました。\r\nＳＤＩチェッカーがバージョンアップしているので、"
      "\r\nバージョンアップを行ってください。");
  EXPECT_EQ(read_file(dir.join("QRT000.EXE")), "old launcher");
  EXPECT_EQ(read_file(dir.join("QRT000.NEW")), "new launcher");
  plat::shm_release_handle(launcher);
}

TEST_F(CheckerStartupTest, ClosingWritesBothBanners) {
  ASSERT_EQ(checker::startup_body(), 0);
  checker::closing();
  auto lines = read_lines(dir.join("DBGDATA"));
  ASSERT_GE(lines.size(), 3u);
  std::string stars(56, '*');
  EXPECT_EQ(lines[lines.size() - 3], stars);
  EXPECT_EQ(lines[lines.size() - 2], "*****   ＳＤＩチェッカー終了 [05/10/24 09:30:15]   *****");
  EXPECT_EQ(lines.back(), stars);
  EXPECT_EQ(read_lines(dir.join("ERRDATA")),
            (std::vector<std::string>{"***** QRT100 Finished DATE:05/10/24 TIME:09:30:15 *****"}));
}

// A peer that takes every connection, keeps the first bytes it receives and
// closes: enough to see whether a client opens with a TLS handshake, a proxy
// CONNECT or a plain request.
class FirstBytesPeer {
 public:
  FirstBytesPeer() {
    plat::net_startup();
    listen_ = plat::tcp_socket();
    plat::bind_any(listen_, 0);
    plat::listen(listen_, 8);
    port_ = plat::local_port(listen_);
    worker_ = std::thread([this] { run(); });
  }
  ~FirstBytesPeer() {
    stop_ = true;
    worker_.join();
    plat::close(listen_);
  }
  std::uint16_t port() const { return port_; }
  std::vector<std::string> received() {
    std::lock_guard<std::mutex> lock(mu_);
    return got_;
  }

 private:
  void run() {
    while (!stop_) {
      if (plat::wait_readable(listen_, 50) <= 0) continue;
      plat::Sock s = plat::accept(listen_, nullptr);
      if (!s) continue;
      char buf[4096];
      long n = plat::wait_readable(s, 3000) > 0 ? plat::recv(s, buf, sizeof buf) : 0;
      {
        std::lock_guard<std::mutex> lock(mu_);
        got_.emplace_back(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
      }
      plat::close(s);
    }
  }
  plat::Sock listen_ = 0;
  std::uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex mu_;
  std::vector<std::string> got_;
  std::thread worker_;
};

// The start-up's user check carries the password: with NO_SSL OFF it goes out
// over TLS (through the proxy's CONNECT, or directly with SOCKS_USE on), never
// as a plain request.
struct StartupTransportCase {
  const char* name;
  const char* no_ssl;
  bool socks;
  const char* opening;  // how the first connection to the peer begins
};

class CheckerStartupTransportTest : public CheckerStartupTest,
                                    public ::testing::WithParamInterface<StartupTransportCase> {};

TEST_P(CheckerStartupTransportTest, UserCheckTravelsAsConfigured) {
  const StartupTransportCase& c = GetParam();
  FirstBytesPeer peer;
  const unsigned short previous_port = zrnet::tls_port_set(peer.port());
  std::string ini =
      "//// ZORAX環境設定ファイル Version : 1.20 ////\r\n[Host]\r\n"
      "ホスト名            127.0.0.1\r\nオブジェクト名      /QRT/QRTSRV.EXE\r\n"
      "[Config]\r\nNO_SSL              " +
      std::string(c.no_ssl) + "\r\nSOCKS_USE           " + (c.socks ? "ON" : "OFF") +
      "\r\nPROXY               127.0.0.1:" + std::to_string(peer.port()) +
      "\r\nリトライカウント    01\r\nリトライ間隔        00010\r\n";
  write_file(dir.join("USER\\ZORAX.INI"), ini);
  uid_fil_write("USER01", "secret01");

  ASSERT_EQ(checker::startup_body(), 0);
  zrnet::tls_port_set(previous_port);
  const std::vector<std::string> got = peer.received();
  ASSERT_FALSE(got.empty()) << "the user check reached nobody";
  for (const std::string& g : got) {
    EXPECT_EQ(g.rfind(c.opening, 0), 0u) << g;
    if (std::string(c.no_ssl) == "OFF") {
      EXPECT_THAT(g, ::testing::Not(::testing::HasSubstr("secret01")));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Settings, CheckerStartupTransportTest,
                         ::testing::Values(StartupTransportCase{"TlsThroughTheProxy", "OFF", false,
                                                                "CONNECT 127.0.0.1:"},
                                           StartupTransportCase{"TlsDirectWithSocks", "OFF", true,
                                                                "\x16\x03"},
                                           StartupTransportCase{"PlainThroughTheProxy", "ON", false,
                                                                "POST http://127.0.0.1/"}),
                         [](const ::testing::TestParamInfo<StartupTransportCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
