// The HTTP tunnel through a real HTTP proxy (squid on a loopback port) to the
// reference server: plain forwarding with HTTP/1.0 and HTTP/1.1 request lines,
// and Basic proxy authentication with and without stored credentials.
#include <gmock/gmock.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "net/transport.h"
#include "platform/net.h"
#include "platform/platform.h"
#include "refserver.h"
#include "session/envelope.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

const char* kSquid = "/usr/sbin/squid";
const char* kNcsa = "/usr/lib/squid/basic_ncsa_auth";

int free_port() {
  plat::Sock s = plat::tcp_socket();
  plat::bind_any(s, 0);
  int port = plat::local_port(s);
  plat::close(s);
  return port;
}

// squid in the foreground with its own small configuration in a temporary
// folder; stopped (by its process id) when the object goes.
class Squid {
 public:
  explicit Squid(bool basic_auth) {
    dir_ = fs::temp_directory_path() / ("qrt_squid_" + std::to_string(free_port()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    port_ = free_port();
    std::string d = dir_.string();
    std::ofstream conf(dir_ / "squid.conf");
    conf << "http_port 127.0.0.1:" << port_ << "\n"
         << "pid_filename " << d << "/squid.pid\n"
         << "cache_log " << d << "/cache.log\n"
         << "access_log " << d << "/access.log\n"
         << "coredump_dir " << d << "\n"
         << "cache deny all\n"
         << "shutdown_lifetime 0 seconds\n"
         << "dns_v4_first on\n";
    if (basic_auth) {
      std::system(("htpasswd -bc " + d + "/passwd proxyuser proxypass >/dev/null 2>&1").c_str());
      conf << "auth_param basic program " << kNcsa << " " << d << "/passwd\n"
           << "auth_param basic realm qrt-test\n"
           << "acl authed proxy_auth REQUIRED\n"
           << "http_access allow authed\n";
    } else {
      conf << "http_access allow localhost\n";
    }
    conf << "http_access deny all\n";
    conf.close();
    std::system(("chown -R proxy:proxy " + d + " 2>/dev/null").c_str());
    std::system((std::string(kSquid) + " -f " + d + "/squid.conf -N >" + d +
                 "/stdout.log 2>&1 & echo $! >" + d + "/started.pid")
                    .c_str());
    // Ready once it accepts connections.
    for (int i = 0; i < 200 && !ready_; ++i) {
      plat::sleep_ms(50);
      plat::Sock s = plat::tcp_socket();
      std::uint32_t lo;
      plat::ipv4_parse("127.0.0.1", &lo);
      ready_ = plat::connect(s, lo, static_cast<std::uint16_t>(port_)) == 0;
      plat::close(s);
    }
  }
  ~Squid() {
    std::string pid = qrt_test::read_file((dir_ / "started.pid").string());
    while (!pid.empty() && (pid.back() == '\n' || pid.back() == ' ')) pid.pop_back();
    // Waits (at most 10 seconds) until the squid this object started has gone.
    if (!pid.empty())
      std::system(("kill -TERM " + pid + " 2>/dev/null; for i in $(seq 100); do kill -0 " + pid +
                   " 2>/dev/null || break; sleep 0.1; done")
                      .c_str());
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  bool ready() const { return ready_; }
  int port() const { return port_; }
  std::string access_log() const { return qrt_test::read_file((dir_ / "access.log").string()); }

 private:
  fs::path dir_;
  int port_ = 0;
  bool ready_ = false;
};

const std::string kUsers = R"(
[user USER01]
password = pass01
kinds = 51
)";

class TunnelSquid : public qrt_test::AreasTest {
 protected:
  void SetUp() override {
    AreasTest::SetUp();
    if (!fs::exists(kSquid) || !fs::exists(kNcsa)) GTEST_SKIP() << "squid is not installed";
    zwsock_initial();
    zr::copy(zr01->http_obj_nm, "QRTSVR");
    zr::copy(zr01->user_id, "USER01");
    zr::copy(zr01->user_pass, "pass01");
    zr00->retry_count = 1;
    zr00->retry_interval = 100;
  }
  // The tunnel posts to the reference server by its address and port, through
  // squid as the proxy.
  void route(const qrt_test::RefServer& server, const Squid& squid) {
    ASSERT_TRUE(squid.ready());
    ZR_FMT(zr01->http_host_nm, "127.0.0.1:%d", server.port());
    zr00->proxy_use = 1;
    zr::copy(zr00->http_proxy_host, "127.0.0.1");
    zr00->http_proxy_port = static_cast<std::uint16_t>(squid.port());
  }
  static int logon() {
    const std::string text = "01pass01  0120";
    zrwork->mlng = 0;
    zwsock_phmsg_set(text.data(), static_cast<int>(text.size()));
    zrwork->p_msg->hdr.mid = 107;
    zrwork->p_msg->hdr.kd00 = 0;
    return zwsock_phmsg();
  }
  std::string all_trace() const {
    std::string all;
    for (const std::string& l : trace()) all += l + "\n";
    return all;
  }
};

TEST_F(TunnelSquid, ForwardsWithEitherRequestVersion) {
  qrt_test::RefServer server(kUsers);
  Squid squid(false);
  route(server, squid);
  for (int http11 : {0, 1}) {
    zr00->pxy_http11 = static_cast<std::uint8_t>(http11);
    ASSERT_EQ(logon(), 0) << "PROXY_HTTP_VER " << http11;
    EXPECT_EQ(zrwork->http_sts, 200);
    EXPECT_EQ(zrwork->p_msg->hdr.sts, 0);
    EXPECT_GT(zrwork->mlng, 16);  // database code and host of the short logon answer
  }
  EXPECT_THAT(server.log(), HasSubstr("mid=0107"));
  EXPECT_THAT(squid.access_log(), HasSubstr("POST http://127.0.0.1:"));
}

TEST_F(TunnelSquid, BasicAuthenticationWithStoredCredentials) {
  qrt_test::RefServer server(kUsers);
  Squid squid(true);
  route(server, squid);
  zr::copy(zr00->pxy_user, "proxyuser");
  zr::copy(zr00->pxy_pass, "proxypass");
  ASSERT_EQ(logon(), 0);
  EXPECT_EQ(zrwork->http_sts, 200);
  EXPECT_EQ(zrwork->auth_kd, 1);
  // The next exchange carries the line from the start: no second challenge.
  ASSERT_EQ(logon(), 0);
  std::string t = all_trace();
  EXPECT_EQ(std::string::npos, t.find("proxy_auth_proc", t.find("proxy_auth_proc") + 1));
  EXPECT_THAT(t, Not(HasSubstr("proxypass")));
  EXPECT_THAT(t, Not(HasSubstr("cHJveHl1c2VyOnByb3h5cGFzcw==")));
  EXPECT_THAT(t, Not(HasSubstr("pass01")));
}

TEST_F(TunnelSquid, BasicAuthenticationWithoutCredentialsAsksForThem) {
  qrt_test::RefServer server(kUsers);
  Squid squid(true);
  route(server, squid);
  EXPECT_EQ(logon(), -3);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text,
            "プロキシ認証の設定が必要です。\r\nメニューからプロキシ設定を行ってください。");
  EXPECT_THAT(all_trace(), HasSubstr("*** 認証要求受信 ***"));
}

TEST_F(TunnelSquid, WrongCredentialsAreRefusedOnce) {
  qrt_test::RefServer server(kUsers);
  Squid squid(true);
  route(server, squid);
  zr::copy(zr00->pxy_user, "proxyuser");
  zr::copy(zr00->pxy_pass, "wrong");
  EXPECT_EQ(logon(), -3);
  EXPECT_THAT(server.log(), Not(HasSubstr("mid=0107")));
}

}  // namespace
