// The network settings dialog's logic: the controls it opens with (credentials
// decoded for the system client), the enable rules, and what OK stores —
// ZORAX.INI with exactly the changed lines, PROXY.FIL written or deleted, the
// transport installed again.
#include <gmock/gmock.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "net/transport.h"
#include "network.h"
#include "test_support.h"

namespace {

using ::testing::ElementsAre;

const std::vector<std::string> kIni = {
    "//// ZORAX環境設定ファイル Version : 1.20 ////",
    "[Host]",
    "ホスト名            www1.example.jp",
    "オブジェクト名      /cgi-bin/qrt.cgi",
    "[Config]",
    "PROXY_HTTP_VER      OFF",
    "VERSION_UP          ON",
    "ZRHTTP_USE          OFF",
    "SOCKS_USE           OFF",
    "ACCEPT_HDR          OFF",
    "NOCACHE_HDR         OFF",
    "KEEPALIVE_HDR       OFF",
    "CONNECT_CLS         OFF",
    "NOHOST_HDR          OFF",
    "NO_SSL              ON",
    "NTLM_MODE           OFF",
    "VERSION_SNO         01",
    "CONNECT_OPT         OFF",
    "PROXY_USE           ON",
    "PROXY               proxy.example.jp:8080",
    "リトライカウント    03",
    "リトライ間隔        00500",
};

class LauncherNetworkTest : public qrt_test::AreasTest {
 protected:
  void SetUp() override {
    AreasTest::SetUp();
    std::filesystem::create_directories(dir.path() / "USER");
    std::string text;
    for (const std::string& l : kIni) text += l + "\r\n";
    qrt_test::write_file(ini(), text);
    ASSERT_EQ(zrnet_ini_read(), 0);
    zrnet_ini_write();  // the file as the writer writes it
    before_ = qrt_test::read_lines(ini());
  }
  std::string ini() const { return dir.join("USER\\ZORAX.INI"); }
  std::string proxy_fil() const { return dir.join("USER\\PROXY.FIL"); }
  // The lines of ZORAX.INI that differ from the file before OK, as "old -> new".
  std::vector<std::string> changed() const {
    std::vector<std::string> after = qrt_test::read_lines(ini()), out;
    EXPECT_EQ(after.size(), before_.size());
    for (std::size_t i = 0; i < after.size() && i < before_.size(); ++i)
      if (after[i] != before_[i]) out.push_back(before_[i] + " -> " + after[i]);
    return out;
  }
  std::vector<std::string> before_;
};

TEST_F(LauncherNetworkTest, EnableRules) {
  const struct {
    bool proxy, http_test, target, credentials;
  } cases[] = {
      {false, false, false, false},
      {true, false, true, true},
      {false, true, false, true},  // HTTP TEST alone: only the credentials
      {true, true, true, true},
  };
  for (const auto& c : cases) {
    network::Enabled e = network::enabled(c.proxy, c.http_test);
    EXPECT_EQ(e.target, c.target) << c.proxy << c.http_test;
    EXPECT_EQ(e.credentials, c.credentials) << c.proxy << c.http_test;
  }
}

TEST_F(LauncherNetworkTest, OkRewritesExactlyTheChangedLines) {
  network::Form f = network::on_open();
  EXPECT_TRUE(f.proxy_use);
  EXPECT_TRUE(f.no_ssl);
  EXPECT_EQ(f.host, "proxy.example.jp");
  EXPECT_EQ(f.port, "8080");
  f.http11 = true;
  f.ntlm_mode = true;
  f.port = "3128x";  // the leading digits
  ASSERT_TRUE(network::store(f));
  EXPECT_THAT(changed(), ElementsAre("PROXY_HTTP_VER      OFF -> PROXY_HTTP_VER      ON",
                                     "NTLM_MODE           OFF -> NTLM_MODE           ON",
                                     "PROXY               proxy.example.jp:8080 -> "
                                     "PROXY               proxy.example.jp:3128"));
  EXPECT_EQ(zr00->http_proxy_port, 3128);
  EXPECT_EQ(zr00->msg_fn, &zwsock_phmsg);
  EXPECT_THAT(trace(), testing::Contains("QRT050 PROXY USE proxy.example.jp : 3128"));
  EXPECT_THAT(trace(), testing::Contains("HTTP_TEST NOT USE"));

  // SOCKS with HTTP TEST stores ZRHTTP_USE OFF; TLS on installs the secured exchange.
  f.socks = true;
  f.http_test = true;
  f.no_ssl = false;
  f.port = "99999";  // beyond the port range: 0, not another port
  ASSERT_TRUE(network::store(f));
  std::vector<std::string> lines = qrt_test::read_lines(ini());
  EXPECT_THAT(lines, testing::Contains("ZRHTTP_USE          OFF"));
  EXPECT_THAT(lines, testing::Contains("SOCKS_USE           ON"));
  EXPECT_THAT(lines, testing::Contains("NO_SSL              OFF"));
  EXPECT_EQ(zrconn->zrhttp_use, 0);
  EXPECT_EQ(zr00->msg_fn, &zwsock_phmsg_ssl);
  EXPECT_EQ(zr00->http_proxy_port, 0);
}

TEST_F(LauncherNetworkTest, CredentialsGoToProxyFil) {
  network::Form f = network::on_open();
  f.user = "CORP\\alice";
  f.pass = "secret";
  ASSERT_TRUE(network::store(f));
  EXPECT_EQ(qrt_test::read_file(proxy_fil()), "Q09SUFxhbGljZTpzZWNyZXQ=");  // CORP\alice:secret
  EXPECT_STREQ(zr00->pxy_user, "CORP\\alice");
  EXPECT_STREQ(zr00->pxy_pass, "secret");

  // With HTTP TEST the system client keeps them encoded, and the dialog shows
  // them decoded.
  f.http_test = true;
  ASSERT_TRUE(network::store(f));
  EXPECT_STREQ(zr00->pxy_pass, "Q09SUFxhbGljZTpzZWNyZXQ=");
  network::Form shown = network::on_open();
  EXPECT_EQ(shown.user, "CORP\\alice");
  EXPECT_EQ(shown.pass, "secret");

  // The longest credentials that fit are shown whole.
  f.user = "CORP\\" + std::string(40, 'u');
  f.pass = std::string(47, 'p');  // 93 bytes: 124 Base64 characters
  ASSERT_TRUE(network::store(f));
  EXPECT_EQ(std::strlen(zr00->pxy_pass), 124u);
  shown = network::on_open();
  EXPECT_EQ(shown.user, f.user);
  EXPECT_EQ(shown.pass, f.pass);

  // An empty user deletes the file and the stored credentials, whatever the password.
  f.user.clear();
  f.pass = "typed";
  ASSERT_TRUE(network::store(f));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "USER" / "PROXY.FIL"));
  EXPECT_STREQ(zr00->pxy_user, "");
  EXPECT_STREQ(zr00->pxy_pass, "");
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(LauncherNetworkTest, CredentialsTooLongForTheFileChangeNothing) {
  network::Form f = network::on_open();
  f.user = std::string(60, 'u');
  f.pass = std::string(60, 'p');
  f.ntlm_mode = true;
  EXPECT_FALSE(network::store(f));
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "ユーザ名とパスワードが長すぎます。");
  EXPECT_TRUE(changed().empty());
  EXPECT_EQ(zr00->ntlm_mode, 0);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "USER" / "PROXY.FIL"));
}

// ZORAX.INI keeps the proxy in one line of 79 bytes: a host and port that
// would make it longer are refused before anything changes; 79 bytes fit.
TEST_F(LauncherNetworkTest, ProxyTooLongForItsLineChangesNothing) {
  network::Form f = network::on_open();
  f.proxy_use = true;
  f.host = std::string(54, 'h');
  f.port = "8080";  // 20 + 54 + 1 + 4 = 79 bytes
  ASSERT_TRUE(network::store(f));
  EXPECT_EQ(std::string(zrconn->pxy_host), f.host);
  boxes.boxes.clear();

  f.host = std::string(55, 'h');
  f.ntlm_mode = true;
  EXPECT_FALSE(network::store(f));
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "プロキシサーバー名が長すぎます。");
  EXPECT_EQ(std::string(zrconn->pxy_host), std::string(54, 'h'));
  EXPECT_EQ(zr00->ntlm_mode, 0);
}

}  // namespace
