// The SDI checker menu's commands over the real HTTP tunnel against the
// reference server: the start command's checks, the connection, the program
// update (list, pieces, check blocks, .NEW targets), the swap of QRT100.NEW and
// the start of the checker; the stop command and the menu's control bytes.
#include <gmock/gmock.h>

#include <filesystem>
#include <string>
#include <vector>

#include "menu.h"
#include "platform/platform.h"
#include "refserver.h"
#include "test_support.h"
#include "update.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::string g_started;
std::uint32_t g_start_result = 0;
std::uint32_t record_start(const char* path) {
  g_started = path;
  return g_start_result;
}
void no_pause(std::uint32_t) {}

std::string world(const std::string& server_extra, const std::string& extra = "") {
  return R"(
[server]
)" + server_extra +
         R"(
db_code = 51
db_host = 127.0.0.1
db_obj = QRTSVR
vup_mode = 1
srv_txt = 本日は通常運用です。

[user USER01]
password = pass01
kinds = 22 51

[update]
piece_size = 64
file = QRT100.EXE 20241201 093000 text:THE NEW CHECKER
file = DLV\NOTE.TXT 20241115 120000 text:お知らせ
)" + extra;
}

class LauncherMenuRefServer : public qrt_test::AreasTest {
 protected:
  void SetUp() override {
    AreasTest::SetUp();
    previous_start_ = menu::start_fn(record_start);
    g_started.clear();
    g_start_result = 0;
    previous_sleep_ = zr_session_sleep_handler(no_pause);
    previous_net_sleep_ = zr_net_sleep_handler(no_pause);
  }
  void TearDown() override {
    checker_gone();
    menu::start_fn(previous_start_);
    zr_session_sleep_handler(previous_sleep_);
    zr_net_sleep_handler(previous_net_sleep_);
    AreasTest::TearDown();
  }
  // The launcher's state after its start-up, posting to the server as a proxy.
  void launcher_on(const qrt_test::RefServer& server) {
    std::filesystem::create_directories(dir.path() / "USER");
    zr::copy(zrenv->inst_dir, dir.str().c_str());
    zr::copy(zrconn->exe_dir, dir.str().c_str());
    zr::copy(zrconn->exe_dir2, dir.str().c_str());
    zr00->sys_kd = 2;
    zr00->ver_no = 120;
    zrwork->kd_1 = 22;
    zrwork->kd_3 = 51;
    zr::copy(zr00->pc_nm, "TESTPC");
    zrconn->host_cnt = 1;
    zr::copy(zrconn->host_nm[0], "h1.example");
    zr::copy(zrconn->obj_nm, "QRTSVR");
    zr::copy(zr01->http_host_nm, "h1.example");
    zr::copy(zr01->http_obj_nm, "QRTSVR");
    zrconn->vup_use = 1;
    qrt_test::post_through(server);
    qrt_test::write_file(dir.join("QRT100.EXE"), "THE OLD CHECKER");
  }
  void account(const char* user, const char* pass) {
    zr::copy(zr01->user_id, user);
    zr::copy(zr01->user_pass, pass);
    uid_fil_write(user, pass);
  }
  // A running checker's control block, and its end.
  std::uint8_t* checker() {
    handle_ = _shm_create("QRT100", 30);
    view_ = _shm_open("QRT100");
    return static_cast<std::uint8_t*>(view_);
  }
  void checker_gone() {
    if (view_) _shm_close(view_);
    if (handle_) plat::shm_release_handle(handle_);
    view_ = handle_ = nullptr;
  }
  std::string traced() const {
    std::string all;
    for (const std::string& l : trace()) all += l + "\n";
    return all;
  }

  void* handle_ = nullptr;
  void* view_ = nullptr;
  menu::StartFn previous_start_ = nullptr;
  ZR_SLEEP_FN previous_sleep_ = nullptr;
  ZR_NET_SLEEP_FN previous_net_sleep_ = nullptr;
};

TEST_F(LauncherMenuRefServer, StartConnectsUpdatesSwapsAndStartsTheChecker) {
  qrt_test::RefServer server(world(""));
  launcher_on(server);
  account("USER01", "pass01");
  menu::prepare();
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "DLV" / "MASTER"));
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "DLV" / "RESULT"));
  menu::Buttons b = menu::on_open();
  EXPECT_TRUE(b.start);
  EXPECT_FALSE(b.stop);
  EXPECT_FALSE(b.history) << "no result yet";

  EXPECT_EQ(menu::start(), menu::After::kClose) << traced();
  EXPECT_EQ(g_started, dir.str() + "\\QRT100.EXE");
  // QRT100.NEW came with the update and replaced QRT100.EXE with its time.
  EXPECT_EQ(qrt_test::read_file(dir.join("QRT100.EXE")), "THE NEW CHECKER");
  EXPECT_FALSE(std::filesystem::exists(dir.join("QRT100.NEW")));
  std::int32_t date = 0, time = 0;
  _ftime_get(dir.join("QRT100.EXE").c_str(), &date, &time);
  EXPECT_EQ(date, 20241201);
  EXPECT_EQ(time, 93000);
  EXPECT_EQ(qrt_test::read_file(dir.join("DLV\\NOTE.TXT")), "お知らせ");
  EXPECT_EQ(qrt_test::read_file(dir.join("VERSION.QRT")), "QRT100.EXE\r\nDLV\\NOTE.TXT\r\n");
  EXPECT_TRUE(boxes.boxes.empty()) << boxes.boxes[0].text;
  menu::closed();
}

// Each failed step leaves the menu open with its message.
TEST_F(LauncherMenuRefServer, FailedStepsKeepTheMenuOpen) {
  qrt_test::RefServer server(world(""));
  launcher_on(server);
  struct Case {
    const char* what;
    const char* user;
    const char* pass;
    bool running;
    const char* box;
  } cases[] = {
      {"checker running", "USER01", "pass01", true, "は既に起動されています。"},
      {"no account", "", "", false, "ＩＤ，ＰＡＳＳを設定して下さい。"},
      {"user check refused", "USER01", "wrong", false, "Ｏｒｖａｎｔａに接続できません。"},
  };
  for (const Case& c : cases) {
    boxes.boxes.clear();
    zr::copy(zr01->user_id, c.user);
    zr::copy(zr01->user_pass, c.pass);
    if (c.running) checker();
    EXPECT_EQ(menu::start(), menu::After::kStay) << c.what;
    ASSERT_FALSE(boxes.boxes.empty()) << c.what;
    EXPECT_THAT(boxes.boxes.back().text, HasSubstr(c.box)) << c.what;
    EXPECT_TRUE(g_started.empty()) << c.what;
    checker_gone();
  }
}

TEST_F(LauncherMenuRefServer, SuspendedServiceAndVersionUpOffDoNotStartTheChecker) {
  {
    qrt_test::RefServer server(world("sdi_stop = 1"));
    launcher_on(server);
    account("USER01", "pass01");
    EXPECT_EQ(menu::start(), menu::After::kStay);
    ASSERT_FALSE(boxes.boxes.empty());
    EXPECT_EQ(boxes.boxes.back().text, "現在ＳＤＩチェッカー機能を停止しております。");
  }
  qrt_test::RefServer server(world(""));
  launcher_on(server);
  account("USER01", "pass01");
  zrconn->vup_use = 0;
  EXPECT_EQ(menu::start(), menu::After::kClose);
  EXPECT_TRUE(g_started.empty());
  EXPECT_EQ(qrt_test::read_file(dir.join("QRT100.EXE")), "THE OLD CHECKER");
}

// A piece whose check block is wrong is downloaded again; when it stays wrong
// the download fails with its message and the checker still starts.
TEST_F(LauncherMenuRefServer, WrongCheckBlocksEndWithTheMessageAndTheCheckerStillStarts) {
  qrt_test::RefServer server(world("", "\n[faults]\nmid=1101 badsum count=*\n"));
  launcher_on(server);
  account("USER01", "pass01");
  EXPECT_EQ(menu::start(), menu::After::kClose) << traced();
  ASSERT_FALSE(boxes.boxes.empty());
  EXPECT_THAT(boxes.boxes.back().text,
              HasSubstr("プログラム(QRT100.EXE)のダウンロードに失敗しました。"));
  EXPECT_EQ(qrt_test::read_file(dir.join("QRT100.EXE")), "THE OLD CHECKER");
  EXPECT_EQ(g_started.empty(), false);
  EXPECT_THAT(traced(), HasSubstr("check block differs (download 3)"));
}

TEST_F(LauncherMenuRefServer, MenuWithARunningCheckerAndTheStopCommand) {
  qrt_test::RefServer server(world(""));
  launcher_on(server);
  std::uint8_t* block = checker();
  ASSERT_NE(block, nullptr);
  menu::prepare();
  EXPECT_EQ(block[2], 1) << "the checker holds its checks while the menu is open";
  menu::Buttons b = menu::on_open();
  EXPECT_FALSE(b.start);
  EXPECT_TRUE(b.stop);
  EXPECT_FALSE(b.options);
  EXPECT_FALSE(b.history);
  EXPECT_TRUE(b.account);
  EXPECT_EQ(menu::stop(), menu::After::kClose);
  EXPECT_EQ(block[0], 9);
  menu::closed();
  EXPECT_EQ(block[2], 0);
}

}  // namespace
