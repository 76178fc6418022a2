// The connection settings files: ZORAX.INI, PROXY.FIL and UID_QRT.FIL.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "net/tls.h"
#include "session/settings.h"
#include "test_support.h"

namespace {

using qrt_test::read_file;
using qrt_test::read_lines;
using qrt_test::write_file;

// A file as the writer writes it, with three hosts and every optional line.
const std::vector<std::string> kFullFile = {
    "//// ZORAX環境設定ファイル Version : 1.20 ////",
    "[Host]",
    "ホスト名            www1.example.jp",
    "ホスト名            www2.example.jp",
    "ホスト名            10.0.0.3",
    "オブジェクト名      /cgi-bin/qrt.cgi",
    "[Config]",
    "PROXY_HTTP_VER      ON",
    "VERSION_UP          OFF",
    "ZRHTTP_USE          OFF",
    "SOCKS_USE           ON",
    "ACCEPT_HDR          ON",
    "NOCACHE_HDR         OFF",
    "KEEPALIVE_HDR       ON",
    "CONNECT_CLS         ON",
    "NOHOST_HDR          OFF",
    "NO_SSL              OFF",
    "NTLM_MODE           ON",
    "VERSION_SNO         03",
    "CONNECT_OPT         OFF",
    "PROXY_USE           ON",
    "PROXY               proxy.example.jp:8080",
    "プロキシ切断防止    2",
    "リトライカウント    05",
    "リトライ間隔        01000",
    "プロキシ優先認証    ON",
};

std::string crlf(const std::vector<std::string>& lines) {
  std::string s;
  for (const std::string& l : lines) s += l + "\r\n";
  return s;
}

class SettingsFilesTest : public qrt_test::AreasTest {
 protected:
  std::string ini() const { return dir.join("USER\\ZORAX.INI"); }
  std::string proxy_fil() const { return dir.join("USER\\PROXY.FIL"); }
  std::string uid_fil() const { return dir.join("USER\\UID_QRT.FIL"); }
  // A file with the given lines and an NO_SSL line, so that reading it does not
  // rewrite it.
  void write_ini(std::vector<std::string> lines, bool with_no_ssl = true) {
    if (with_no_ssl) lines.push_back("NO_SSL              OFF");
    write_file(ini(), crlf(lines));
  }
  bool trace_has(const std::string& part) const {
    for (const std::string& l : trace())
      if (l.find(part) != std::string::npos) return true;
    return false;
  }
};

// ---- ZORAX.INI -------------------------------------------------------------------

TEST_F(SettingsFilesTest, ReadsEveryKeyAndWritesTheSameFileBack) {
  std::vector<std::string> input = kFullFile;
  auto opt = std::find(input.begin(), input.end(), "CONNECT_OPT         OFF");
  ASSERT_NE(opt, input.end());
  *opt = "CONNECT_OPT         ON";  // read as nothing, written as OFF
  write_file(ini(), crlf(input));

  ASSERT_EQ(zrnet_ini_read(), 0);
  ASSERT_EQ(+zrconn->host_cnt, 3);
  EXPECT_STREQ(zrconn->host_nm[0], "www1.example.jp");
  EXPECT_STREQ(zrconn->host_nm[1], "www2.example.jp");
  EXPECT_STREQ(zrconn->host_nm[2], "10.0.0.3");
  EXPECT_STREQ(zrconn->obj_nm, "/cgi-bin/qrt.cgi");
  EXPECT_STREQ(zr01->http_host_nm, "www1.example.jp");
  EXPECT_STREQ(zr01->http_obj_nm, "/cgi-bin/qrt.cgi");
  EXPECT_EQ(+zr00->pxy_http11, 1);
  EXPECT_EQ(+zrconn->vup_use, 0);
  EXPECT_EQ(+zrconn->zrhttp_use, 0);
  EXPECT_EQ(+zr00->zrhttp_cp, 0);
  EXPECT_EQ(+zrconn->socks_use, 1);
  EXPECT_EQ(+zr00->accept_hdr, 1);
  EXPECT_EQ(+zr00->nocache_hdr, 0);
  EXPECT_EQ(+zr00->keepalive_hdr, 1);
  EXPECT_EQ(+zr00->connect_cls, 1);
  EXPECT_EQ(+zr00->nohost_hdr, 0);
  EXPECT_EQ(+zr00->ssl_use, 1);
  EXPECT_EQ(+zr00->ntlm_mode, 1);
  EXPECT_EQ(+zrconn->vup_sno, 3);
  EXPECT_EQ(+zr00->proxy_use, 1);
  EXPECT_STREQ(zrconn->pxy_host, "proxy.example.jp");
  EXPECT_EQ(+zrconn->pxy_port, 8080);
  EXPECT_STREQ(zr00->http_proxy_host, "proxy.example.jp");
  EXPECT_EQ(+zr00->http_proxy_port, 8080);
  EXPECT_EQ(+zrconn->pxy_keep, 2);
  EXPECT_EQ(+zr00->retry_count, 5);
  EXPECT_EQ(+zr00->retry_interval, 1000);
  EXPECT_EQ(+zr00->pxy_auth1st, 1);
  EXPECT_STREQ(zr00->user_work, zrenv->inst_dir);
  EXPECT_EQ(read_file(ini()), crlf(input)) << "a file with NO_SSL is not rewritten on reading";

  ASSERT_EQ(zrnet_ini_write(), 0);
  EXPECT_EQ(read_file(ini()), crlf(kFullFile));
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(SettingsFilesTest, CertificateKeyIsReadAndWrittenOnlyWhenSet) {
  // The key turns certificate checks off: only the exact key with exactly ON at
  // byte 20 sets it; any other line with its name is OFF and traced.
  struct Case {
    const char* line;  // the key line added to the full file, or empty
    bool set;
    bool traced;
  } cases[] = {
      {"SSL_CERT_IGNORE     ON", true, false},
      {"SSL_CERT_IGNORE     OFF", false, false},
      {"", false, false},
      {"SSL_CERT_IGNORE     YES", false, true},
      {"SSL_CERT_IGNORE     on", false, true},
      {"SSL_CERT_IGNORE     ON ", false, true},
      {"SSL_CERT_IGNORE     ONLY", false, true},
      {"SSL_CERT_IGNORE     ", false, true},
      {"SSL_CERT_IGNORE_ALL ON", false, true},
      {"SSL_CERT_IGNORE\t\t\t\t\tON", false, true},
      {"SSL_CERT_IGNORE      ON", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    std::vector<std::string> input = kFullFile;
    if (c.line[0]) input.push_back(c.line);
    write_file(ini(), crlf(input));
    std::remove(dbg_path().c_str());
    ASSERT_EQ(zrnet_ini_read(), 0);
    EXPECT_EQ(zr00->ssl_cert_ign != 0, c.set);
    const std::vector<std::string> t = trace();
    const bool traced = std::any_of(t.begin(), t.end(), [&](const std::string& l) {
      return l == std::string(
                      "ZORAX.INI: SSL_CERT_IGNORE is ON only with exactly ON at byte 20, "
                      "taken as OFF: ") +
                      c.line;
    });
    EXPECT_EQ(traced, c.traced);
    ASSERT_EQ(zrnet_ini_write(), 0);
    std::vector<std::string> expected = kFullFile;
    if (c.set) expected.push_back("SSL_CERT_IGNORE     ON");
    EXPECT_EQ(read_file(ini()), crlf(expected));
  }
}

TEST_F(SettingsFilesTest, MissingNoSslLineIsAddedAtOnce) {
  write_ini({"[Host]", "ホスト名            host.example.jp", "オブジェクト名      obj"},
            /*with_no_ssl=*/false);
  ASSERT_EQ(zrnet_ini_read(), 0);
  EXPECT_EQ(+zr00->ssl_use, 1);
  EXPECT_EQ(+zr00->proxy_use, 0);
  const std::vector<std::string> expect = {
      "//// ZORAX環境設定ファイル Version : 1.20 ////",
      "[Host]",
      "ホスト名            host.example.jp",
      "オブジェクト名      obj",
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
      "NO_SSL              OFF",
      "NTLM_MODE           OFF",
      "VERSION_SNO         01",
      "CONNECT_OPT         OFF",
      "PROXY_USE           OFF",
      "リトライカウント    10",
      "リトライ間隔        00500",
      "プロキシ優先認証    OFF",
  };
  EXPECT_EQ(read_file(ini()), crlf(expect));
}

TEST_F(SettingsFilesTest, NoSslOnTurnsTlsOff) {
  write_ini({"NO_SSL              ON"}, false);
  ASSERT_EQ(zrnet_ini_read(), 0);
  EXPECT_EQ(+zr00->ssl_use, 0);
  EXPECT_EQ(read_file(ini()), crlf({"NO_SSL              ON"}));
}

TEST_F(SettingsFilesTest, ProxyUseFollowsTheProxyLineUnlessGiven) {
  const struct {
    std::vector<std::string> lines;
    int proxy_use;
    const char* host;
    int port;
  } cases[] = {
      {{"PROXY               proxy1:8080"}, 1, "proxy1", 8080},
      {{}, 0, "", 0},
      {{"PROXY_USE           ON"}, 1, "", 0},
      {{"PROXY_USE           OFFLINE", "PROXY               proxy1:8080"}, 0, "proxy1", 8080},
      {{"PROXY_USE           NO", "PROXY               p:1"}, 1, "p", 1},
      {{"PROXY               proxy1"}, 0, "", 0},       // no colon: ignored
      {{"PROXY               [::1]:3128"}, 1, "[", 0},  // split at the first colon
      {{"PROXY               proxy1:99999"}, 1, "proxy1", 65535},
  };
  for (const auto& c : cases) {
    _zrcmna_kill();
    _zrcmna_make();
    zr::copy(zrenv->inst_dir, dir.str().c_str());
    zr::copy(zr00->dbg_fnm, dbg_path().c_str());
    write_ini(c.lines);
    ASSERT_EQ(zrnet_ini_read(), 0);
    std::string what = c.lines.empty() ? "(none)" : c.lines.back();
    EXPECT_EQ(+zr00->proxy_use, c.proxy_use) << what;
    EXPECT_STREQ(zrconn->pxy_host, c.host) << what;
    EXPECT_STREQ(zr00->http_proxy_host, c.host) << what;
    EXPECT_EQ(+zrconn->pxy_port, c.port) << what;
    EXPECT_EQ(+zr00->http_proxy_port, c.port) << what;
  }
}

TEST_F(SettingsFilesTest, OnOffValuesAndNumberDefaults) {
  const struct {
    std::string line;
    int retry_count;
    int retry_interval;
    int vup_use;
  } cases[] = {
      {"// nothing", 10, 500, 1},
      {"リトライカウント    00", 10, 500, 1},
      {"リトライカウント    3", 3, 500, 1},
      {"リトライカウント      7x", 7, 500, 1},
      {"リトライ間隔        01000", 10, 1000, 1},
      {"リトライ間隔        abc", 10, 500, 1},
      {"VERSION_UP          OFF", 10, 500, 0},
      {"VERSION_UP          OF", 10, 500, 1},
      {"VERSION_UP          off", 10, 500, 1},
  };
  for (const auto& c : cases) {
    _zrcmna_kill();
    _zrcmna_make();
    zr::copy(zrenv->inst_dir, dir.str().c_str());
    zr::copy(zr00->dbg_fnm, dbg_path().c_str());
    write_ini({c.line});
    ASSERT_EQ(zrnet_ini_read(), 0);
    EXPECT_EQ(+zr00->retry_count, c.retry_count) << c.line;
    EXPECT_EQ(+zr00->retry_interval, c.retry_interval) << c.line;
    EXPECT_EQ(+zrconn->vup_use, c.vup_use) << c.line;
    EXPECT_EQ(+zrconn->vup_sno, 1) << c.line;
  }
}

TEST_F(SettingsFilesTest, CommentsSectionsAndUnknownLinesAreIgnored) {
  write_ini({"; ホスト名            a", "/ホスト名            b", " ホスト名            c",
             "[Other]", "UNKNOWN             ON", "ホスト名            d"});
  ASSERT_EQ(zrnet_ini_read(), 0);
  ASSERT_EQ(+zrconn->host_cnt, 1);
  EXPECT_STREQ(zrconn->host_nm[0], "d");
}

TEST_F(SettingsFilesTest, KeyWithoutValueIsTreatedAsAbsent) {
  write_ini({"ホスト名", "PROXY_USE", "VERSION_UP          "}, /*with_no_ssl=*/false);
  ASSERT_EQ(zrnet_ini_read(), 0);
  EXPECT_EQ(+zrconn->host_cnt, 0);
  EXPECT_EQ(+zr00->proxy_use, 0);
  EXPECT_EQ(+zrconn->vup_use, 1);
  EXPECT_TRUE(trace_has("no value after the key"));
}

TEST_F(SettingsFilesTest, HostTableKeepsFiveAndFieldsAreCut) {
  std::string long_host(40, 'h');
  write_ini({"ホスト名            a1", "ホスト名            a2", "ホスト名            a3",
             "ホスト名            a4", "ホスト名            " + long_host, "ホスト名            a6",
             "オブジェクト名      " + std::string(35, 'o')});
  ASSERT_EQ(zrnet_ini_read(), 0);
  ASSERT_EQ(+zrconn->host_cnt, 5);
  EXPECT_STREQ(zrconn->host_nm[3], "a4");
  EXPECT_EQ(std::string(zrconn->host_nm[4]), std::string(30, 'h'));
  EXPECT_EQ(std::string(zrconn->obj_nm), std::string(30, 'o'));
  EXPECT_TRUE(trace_has("dropped: ホスト名            a6"));
  EXPECT_TRUE(trace_has("cut: ホスト名            " + long_host));

  ASSERT_EQ(zrnet_ini_write(), 0);
  std::vector<std::string> lines = read_lines(ini());
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.rfind("ホスト名", 0) == 0; }),
            5);
}

TEST_F(SettingsFilesTest, ValuesWithAControlByteAreIgnoredAndTheFileReadsBackTheSame) {
  // The writer ends a line before a control byte: kept, such a value would
  // come back as an empty host line or a proxy without its port.
  write_ini({"ホスト名            \x07svr", "ホスト名            svr1.example",
             "オブジェクト名      QRT\x01SVR", "PROXY               proxy\x13:8080"});
  ASSERT_EQ(zrnet_ini_read(), 0);
  ASSERT_EQ(+zrconn->host_cnt, 1);
  EXPECT_STREQ(zrconn->host_nm[0], "svr1.example");
  EXPECT_STREQ(zrconn->obj_nm, "");
  EXPECT_STREQ(zrconn->pxy_host, "");
  EXPECT_EQ(+zr00->proxy_use, 0);
  EXPECT_TRUE(trace_has("control byte 0x07 in a value, line ignored"));
  EXPECT_TRUE(trace_has("control byte 0x13 in a value, line ignored"));

  ASSERT_EQ(zrnet_ini_write(), 0);
  const std::string written = read_file(ini());
  ASSERT_EQ(zrnet_ini_read(), 0);
  ASSERT_EQ(zrnet_ini_write(), 0);
  EXPECT_EQ(read_file(ini()), written);
}

TEST_F(SettingsFilesTest, ReadingAgainDoesNotAppendHosts) {
  write_ini({"ホスト名            a1", "ホスト名            a2"});
  ASSERT_EQ(zrnet_ini_read(), 0);
  ASSERT_EQ(zrnet_ini_read(), 0);
  EXPECT_EQ(+zrconn->host_cnt, 2);
}

// The work folder is named relative to the current folder here, because the
// temporary install folder's own path is longer than the 29 bytes allowed.
class UserWorkTest : public SettingsFilesTest {
 protected:
  void SetUp() override {
    SettingsFilesTest::SetUp();
    saved_ = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
  }
  void TearDown() override {
    std::filesystem::current_path(saved_);
    SettingsFilesTest::TearDown();
  }
  std::filesystem::path saved_;
};

TEST_F(UserWorkTest, ExistingFolderBecomesTheUserWorkFolder) {
  std::filesystem::create_directories(dir.join("WORK"));
  write_ini({"[UserWork:WORK]"});
  ASSERT_EQ(zrnet_ini_read(), 0);
  EXPECT_STREQ(zr00->user_work, "WORK");
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(UserWorkTest, BadFolderIsReportedAndReadingGoesOn) {
  const std::string long_name(30, 'W');  // exists, but longer than the 29 bytes allowed
  std::filesystem::create_directories(dir.join(long_name));
  const std::vector<std::string> lines = {"[UserWork:NOWHERE]", "[UserWork:NOWHERE", "[UserWork:]",
                                          "[UserWork:" + long_name + "]"};
  for (const std::string& line : lines) {
    boxes.boxes.clear();
    zr00->user_work[0] = '\0';
    write_ini({line, "ホスト名            h"});
    ASSERT_EQ(zrnet_ini_read(), 0);
    EXPECT_STREQ(zr00->user_work, zrenv->inst_dir) << line;
    EXPECT_EQ(+zrconn->host_cnt, 1) << line;
    ASSERT_EQ(boxes.boxes.size(), 1u) << line;
    EXPECT_EQ(boxes.boxes[0].text,
              "[[UserWork:" + line + "]の指定に誤りがあるか、フォルダーがありません。");
  }
}

TEST_F(SettingsFilesTest, MissingFileIsReported) {
  EXPECT_EQ(zrnet_ini_read(), 1);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text,
            "ホスト名ファイル(ZORAX.INI)が見つかりません。\n" + dir.str() + "\\USER\\ZORAX.INI");
}

TEST_F(SettingsFilesTest, LineOfSeventyNineBytesIsRead) {
  std::string host(59, 'x');  // 20 + 59 = 79 bytes
  write_ini({"ホスト名            " + host.substr(0, 30), "PROXY               " + host});
  ASSERT_EQ(zrnet_ini_read(), 0);
  EXPECT_EQ(+zrconn->host_cnt, 1);
}

TEST_F(SettingsFilesTest, LineOfEightyBytesEndsTheProcess) {
  EXPECT_EXIT(
      {
        write_ini({"PROXY               " + std::string(60, 'x')});
        zrnet_ini_read();
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(SettingsFilesTest, ProxyLineTooLongForTheReaderIsNotWritten) {
  write_ini({"ホスト名            h"});
  ASSERT_EQ(zrnet_ini_read(), 0);
  zr::copy(zrconn->pxy_host, std::string(63, 'p').c_str());
  zrconn->pxy_port = 8080;
  ASSERT_EQ(zrnet_ini_write(), 0);
  for (const std::string& l : read_lines(ini())) EXPECT_LT(l.size(), 80u) << l;
  EXPECT_TRUE(trace_has("proxy line longer than 79 bytes, not written"));
  EXPECT_EQ(zrnet_ini_read(), 0);  // the file stays readable
}

TEST_F(SettingsFilesTest, FailedWriteEndsTheProcess) {
  // No USER folder: the file cannot be created.
  EXPECT_EXIT(zrnet_ini_write(), ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(uid_fil_write("ID", "PW"), ::testing::ExitedWithCode(0), "");
}

// ---- PROXY.FIL --------------------------------------------------------------------

TEST_F(SettingsFilesTest, ProxyFileSplitsAtTheFirstColon) {
  const struct {
    std::string file;
    bool zrhttp;
    const char* user;
    const char* pass;
  } cases[] = {
      {"dXNlcjpwYTpzczo=", false, "user", "pa:ss:"},   // user:pa:ss:
      {"dXNlcjpwYXNz", false, "user", "pass"},         // user:pass
      {"OnB3", false, "", "pw"},                       // :pw
      {"bm9jb2xvbg==", false, "keep", "kept"},         // nocolon: unchanged
      {"dXNlcjpwYXNz", true, "user", "dXNlcjpwYXNz"},  // WinINet wants it encoded
  };
  for (const auto& c : cases) {
    zr::copy(zr00->pxy_user, "keep");
    zr::copy(zr00->pxy_pass, "kept");
    zrconn->zrhttp_use = c.zrhttp;
    write_file(proxy_fil(), c.file);
    EXPECT_EQ(proxy_fil_read(), 0);
    EXPECT_STREQ(zr00->pxy_user, c.user) << c.file;
    EXPECT_STREQ(zr00->pxy_pass, c.pass) << c.file;
  }
}

TEST_F(SettingsFilesTest, MissingOrOversizedProxyFileLeavesTheCredentials) {
  zr::copy(zr00->pxy_user, "keep");
  EXPECT_EQ(proxy_fil_read(), 0);
  EXPECT_STREQ(zr00->pxy_user, "keep");
  write_file(proxy_fil(), std::string(128, 'Q'));
  EXPECT_EQ(proxy_fil_read(), 0);
  EXPECT_STREQ(zr00->pxy_user, "keep");
  EXPECT_TRUE(trace_has("PROXY.FIL is 128 bytes long"));
}

// ---- UID_QRT.FIL ------------------------------------------------------------------

TEST_F(SettingsFilesTest, ClearedAccountIsTwentyFourA) {
  std::filesystem::create_directories(dir.join("USER"));
  uid_fil_write("", "");
  EXPECT_EQ(read_file(uid_fil()), std::string(24, 'A'));
  zr::copy(zr01->user_id, "old");
  uid_fil_read();
  EXPECT_STREQ(zr01->user_id, "");
  EXPECT_STREQ(zr01->user_pass, "");
}

TEST_F(SettingsFilesTest, AccountRoundTrip) {
  std::filesystem::create_directories(dir.join("USER"));
  uid_fil_write("QRT00001", "secret99");
  std::string text = read_file(uid_fil());
  EXPECT_EQ(text.size(), 24u);
  EXPECT_EQ(text, "UVJUMDAwMDEAc2VjcmV0OTkA");
  uid_fil_read();
  EXPECT_STREQ(zr01->user_id, "QRT00001");
  EXPECT_STREQ(zr01->user_pass, "secret99");
}

TEST_F(SettingsFilesTest, OverLongAccountFieldsAreCutWithoutTracingThePassword) {
  std::filesystem::create_directories(dir.join("USER"));
  uid_fil_write("ABCDEFGHIJ", "topsecret123");
  uid_fil_read();
  EXPECT_STREQ(zr01->user_id, "ABCDEFGH");
  EXPECT_STREQ(zr01->user_pass, "topsecre");
  EXPECT_TRUE(trace_has("password longer than 8 bytes"));
  EXPECT_FALSE(trace_has("topsecret"));
}

TEST_F(SettingsFilesTest, MissingShortOrLongAccountFiles) {
  zr::copy(zr01->user_id, "old");
  uid_fil_read();  // missing
  EXPECT_STREQ(zr01->user_id, "");

  write_file(uid_fil(), "");
  uid_fil_read();
  EXPECT_STREQ(zr01->user_id, "");

  write_file(uid_fil(), "SUQ=");  // "ID": a record shorter than 18 bytes
  uid_fil_read();
  EXPECT_STREQ(zr01->user_id, "ID");
  EXPECT_STREQ(zr01->user_pass, "");

  write_file(uid_fil(), std::string(2000, 'Q'));  // far longer than a record
  uid_fil_read();
  EXPECT_EQ(std::string(zr01->user_id).size(), 8u);
  EXPECT_EQ(std::string(zr01->user_pass).size(), 8u);
}

// A value never brings a control byte into the file: the line ends before it,
// so no value can add a line (such as one that turns certificate checks off).
TEST_F(SettingsFilesTest, WriterNeverWritesAControlByteIntoAValue) {
  std::filesystem::create_directories(dir.path() / "USER");
  zrconn->host_cnt = 2;
  zr::copy(zrconn->host_nm[0], "www1.example.jp");
  zr::copy(zrconn->host_nm[1], "evil\r\nSSL_CERT_IGNORE     ON");
  zr::copy(zrconn->obj_nm, "/qrt\tOBJ\x01");
  zr00->ssl_use = 1;
  zrnet_ini_write();
  const std::vector<std::string> lines = read_lines(ini());
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[2], "ホスト名            www1.example.jp");
  EXPECT_EQ(lines[3], "ホスト名            evil");
  EXPECT_EQ(lines[4], "オブジェクト名      /qrt");
  for (const std::string& l : lines) {
    EXPECT_EQ(l.find("SSL_CERT_IGNORE"), std::string::npos) << l;
    for (char c : l) EXPECT_GE(static_cast<unsigned char>(c), 0x20) << l;
  }
  ASSERT_EQ(zrnet_ini_read(), 0);
  EXPECT_EQ(zr00->ssl_cert_ign, 0);
}

}  // namespace
