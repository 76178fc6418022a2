// The launcher's proxy discovery against stand-in Internet settings, a stand-in
// script host and HTTP service, and a loopback server of configuration files:
// where the found proxy is stored, the script and the Internet settings file
// downloaded and handed to the host, the fall-back to ProxyServer, the failure
// reports, the HTTP service's procedure, the address helpers, and the button
// that rewrites ZORAX.INI and ends the program.
#include <gmock/gmock.h>

#include <string>
#include <vector>

#include "discovery.h"
#include "fake_inet_settings.h"
#include "net_loopback.h"
#include "test_support.h"

namespace {

using qrt_test::LoopbackPeer;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

// The script host the discovery sees: what it was handed and what it answers.
struct Host {
  plat::ScriptHostLoad load = plat::ScriptHostLoad::kOk;
  bool init_ok = true, query_ok = true, deinit_ok = true;
  std::string answer = "PROXY scripted:3128; DIRECT";
  std::vector<std::string> scripts;  // the file's contents at each init
  std::string url, host;             // the last query
  int loads = 0, unloads = 0, deinits = 0;
};
Host* g_host = nullptr;
char g_handle;

plat::ScriptHostLoad h_load(plat::ScriptHost** out) {
  if (g_host->load != plat::ScriptHostLoad::kOk) return g_host->load;
  ++g_host->loads;
  *out = reinterpret_cast<plat::ScriptHost*>(&g_handle);
  return plat::ScriptHostLoad::kOk;
}
bool h_init(plat::ScriptHost*, const char* file, int* code) {
  // The file name is the program's (with backslashes); the test reads it natively.
  std::string name = file;
  for (char& c : name)
    if (c == '\\') c = '/';
  g_host->scripts.push_back(qrt_test::read_file(name));
  *code = 1;
  return g_host->init_ok;
}
bool h_query(plat::ScriptHost*, const char* url, const char* host, char* answer, std::size_t cap,
             std::size_t* len) {
  g_host->url = url;
  g_host->host = host;
  if (!g_host->query_ok) return false;
  *len = g_host->answer.size();
  zr::copy(answer, cap, g_host->answer.c_str());
  return true;
}
bool h_deinit(plat::ScriptHost*) {
  ++g_host->deinits;
  return g_host->deinit_ok;
}
void h_unload(plat::ScriptHost*) { ++g_host->unloads; }

// The HTTP service the discovery sees.
struct Service {
  bool config_ok = true;
  plat::UserProxyConfig config;
  plat::ProxyForUrl result = plat::ProxyForUrl::kProxy;
  std::string proxy;
  int asks = 0;
  std::string asked_url;
};
Service* g_service = nullptr;

bool s_config(plat::UserProxyConfig* out, unsigned long* error) {
  if (!g_service->config_ok) {
    *error = 1168;
    return false;
  }
  *out = g_service->config;
  return true;
}
plat::ProxyForUrl s_for_url(const plat::UserProxyConfig&, const char* url, unsigned long* session,
                            std::string* proxy, unsigned long* error) {
  ++g_service->asks;
  g_service->asked_url = url;
  *session = 7;
  *proxy = g_service->proxy;
  *error = 12180;
  return g_service->result;
}

class Discovery : public qrt_test::AreasTest {
 protected:
  void SetUp() override {
    AreasTest::SetUp();
    zwsock_initial();
    g_host = &host;
    g_service = &service;
    discovery::ops_set({h_load, h_init, h_query, h_deinit, h_unload, s_config, s_for_url});
    zrconn->host_cnt = 1;
    zr::copy(zrconn->host_nm[0], "www.orvanta.example");
    zr::copy(zrconn->pxy_host, "old");
    zrconn->pxy_port = 1;
    zr::copy(zr00->http_proxy_host, "old");
    zr00->http_proxy_port = 1;
    zr00->proxy_use = 1;
  }
  void TearDown() override {
    discovery::ops_set({});
    g_host = nullptr;
    g_service = nullptr;
    AreasTest::TearDown();
  }
  int check() {
    const int r = discovery::proxy_use_check();
    EXPECT_EQ(settings.opens, settings.closes);
    EXPECT_EQ(host.loads, host.unloads);
    EXPECT_EQ(zr00->proxy_use, r);
    return r;
  }
  // The proxy stored in the connection's fields and in their copies.
  void expect_proxy(const char* h, int port, const std::string& what = "") {
    EXPECT_STREQ(zrconn->pxy_host, h) << what;
    EXPECT_EQ(zrconn->pxy_port, port) << what;
    EXPECT_STREQ(zr00->http_proxy_host, h) << what;
    EXPECT_EQ(zr00->http_proxy_port, port) << what;
  }
  static std::string url_of(const LoopbackPeer& peer, const std::string& path) {
    return "http://127.0.0.1:" + std::to_string(peer.port()) + path;
  }

  qrt_test::FakeInetSettings settings;
  Host host;
  Service service;
};

const char kScript[] =
    "function FindProxyForURL(url, host) {\n  return \"PROXY scripted:3128; DIRECT\";\n}\n";

TEST_F(Discovery, ProxyServerFormsFillTheConnectionFields) {
  struct Case {
    const char* value;
    int result;
    const char* host;
    int port;
    const char* trace;
  } cases[] = {
      {"http=proxy1:8080;https=proxy2:8443", 1, "proxy1", 8080, "Proxy used host:proxy1 port:8080"},
      {"http://proxy3:3128", 1, "proxy3", 3128, "Proxy used host:proxy3 port:3128"},
      {"proxy4:80", 1, "proxy4", 80, "ProxyServer : proxy4:80"},
      {"socks=s1:1080", 0, "", 1, "Socks Used"},
      {"proxy5", 0, "old", 1, "ProxyServer : proxy5"},
      {"h123456789012345678901234567890123456789012345678901234567890abcd:80", 0, "old", 1,
       "host refused (longer than 63 characters)"},
  };
  for (const Case& c : cases) {
    settings.reset();
    settings.enable = 1;
    settings.texts["ProxyServer"] = c.value;
    zr::copy(zrconn->pxy_host, "old");
    zrconn->pxy_port = 1;
    EXPECT_EQ(check(), c.result) << c.value;
    EXPECT_STREQ(zrconn->pxy_host, c.host) << c.value;
    EXPECT_EQ(zrconn->pxy_port, c.port) << c.value;
    if (c.result) expect_proxy(c.host, c.port, c.value);
    EXPECT_THAT(trace(), Contains(HasSubstr(c.trace))) << c.value;
  }
  // The registry procedure never asks the script host without a script address.
  EXPECT_EQ(host.loads, 0);
}

TEST_F(Discovery, ScriptAnswerWinsOverProxyEnableZero) {
  LoopbackPeer peer({qrt_test::http_page(200, "application/x-ns-proxy-autoconfig", kScript)});
  settings.texts["AutoConfigURL"] = url_of(peer, "/proxy.pac");
  settings.enable = 0;
  EXPECT_EQ(check(), 1);
  expect_proxy("scripted", 3128);
  // The script went to the host as downloaded, asked about the probe address.
  EXPECT_THAT(host.scripts, ElementsAre(kScript));
  EXPECT_EQ(qrt_test::read_file(dir.join("config.pac")), kScript);
  EXPECT_EQ(host.url, "http://www.orvanta.example/");
  EXPECT_EQ(host.host, "www.orvanta.example");
  EXPECT_EQ(host.deinits, 1);
  ASSERT_EQ(peer.requests().size(), 1u);
  EXPECT_THAT(peer.requests()[0], HasSubstr("GET /proxy.pac HTTP/1.0\r\n"));
  EXPECT_THAT(trace(), Contains(HasSubstr("read_script_file svr_nm:127.0.0.1 obj_nm:/proxy.pac")));
  EXPECT_THAT(trace(), Contains("Proxy is: PROXY scripted:3128; DIRECT(27)"));
  EXPECT_THAT(trace(), Not(Contains(HasSubstr("ProxyEnable"))));
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(Discovery, InternetSettingsFileNamesTheScript) {
  LoopbackPeer pac({qrt_test::http_page(200, "text/plain", kScript)});
  const std::string ins = "[AutoProxy]\r\nAutoConfigJSURL=" + url_of(pac, "/real.pac") +
                          "\r\nAutoConfigURL=http://ignored/\r\n";
  LoopbackPeer peer({qrt_test::http_page(200, "application/x-internet-signup", ins)});
  settings.texts["AutoConfigURL"] = url_of(peer, "/corp.ins");
  settings.enable = 0;
  EXPECT_EQ(check(), 1);
  expect_proxy("scripted", 3128);
  EXPECT_EQ(qrt_test::read_file(dir.join("config.ins")), ins);
  EXPECT_THAT(host.scripts, ElementsAre(kScript));
  ASSERT_EQ(peer.requests().size(), 1u);
  EXPECT_THAT(peer.requests()[0], HasSubstr("GET /corp.ins "));
  ASSERT_EQ(pac.requests().size(), 1u);
  EXPECT_THAT(pac.requests()[0], HasSubstr("GET /real.pac "));
  EXPECT_THAT(trace(), Contains("pac_url : " + url_of(pac, "/real.pac")));
}

// Scripts that give no proxy: the registry's ProxyServer decides.
TEST_F(Discovery, NoScriptProxyFallsBackToProxyServer) {
  struct Case {
    const char* name;
    std::string answer;     // what the loopback server sends
    std::string host_says;  // the script host's answer
    bool evaluated;         // whether the host got a script
    const char* trace;
  } cases[] = {
      {"DIRECT", qrt_test::http_page(200, "text/plain", kScript), "DIRECT", true,
       "Proxy is: DIRECT"},
      {"PROXY without port", qrt_test::http_page(200, "text/plain", kScript), "PROXY p", true,
       "Proxy is: PROXY p(7)"},
      {"script missing", qrt_test::http_page(404, "text/html", "gone"), "", false,
       "download : " /* the address and the 404 */},
      {"peer closes", LoopbackPeer::kDrop, "", false, "the script was not downloaded"},
      {"settings file without script line",
       qrt_test::http_page(200, "text/plain", "[AutoProxy]\r\nAutoConfigURL=x\r\n"), "", false,
       "AutoConfigURL not found"},
  };
  for (const Case& c : cases) {
    LoopbackPeer peer({c.answer});
    settings.reset();
    const bool ins = std::string(c.name).find("settings file") == 0;
    settings.texts["AutoConfigURL"] = url_of(peer, ins ? "/a.ins" : "/a.pac");
    settings.enable = 1;
    settings.texts["ProxyServer"] = "proxy1:3128";
    host.scripts.clear();
    host.answer = c.host_says;
    EXPECT_EQ(check(), 1) << c.name;
    expect_proxy("proxy1", 3128, c.name);
    EXPECT_EQ(host.scripts.empty(), !c.evaluated) << c.name;
    EXPECT_THAT(trace(), Contains(HasSubstr(c.trace))) << c.name;
  }
  EXPECT_TRUE(boxes.boxes.empty());
}

// The stale script of an earlier discovery is never evaluated again.
TEST_F(Discovery, FailedDownloadKeepsThePreviousScriptOutOfTheHost) {
  qrt_test::write_file(dir.join("config.pac"),
                       "function FindProxyForURL(){return \"PROXY stale:1\";}");
  LoopbackPeer peer({qrt_test::http_page(500, "text/html", "down")});
  EXPECT_FALSE(discovery::exec_script(url_of(peer, "/a.pac").c_str()));
  EXPECT_TRUE(host.scripts.empty());
  EXPECT_THAT(qrt_test::read_file(dir.join("config.pac")), HasSubstr("stale"));
  EXPECT_EQ(host.loads, host.unloads);
}

// A script host whose name does not resolve is a quiet failure (no box of the
// socket layer): the discovery goes on with its next step.
TEST_F(Discovery, UnresolvableScriptHostShowsNoBox) {
  EXPECT_FALSE(discovery::exec_script("http://wpad.no-such-host.invalid/wpad.dat"));
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_TRUE(host.scripts.empty());
  EXPECT_THAT(trace(), Contains(HasSubstr("does not resolve")));
}

TEST_F(Discovery, ScriptHostFailuresAreReported) {
  struct Case {
    const char* name;
    plat::ScriptHostLoad load;
    bool init_ok, query_ok, deinit_ok;
    const char* box;    // "" : no box
    const char* trace;  // "" : none checked
  } cases[] = {
      {"no library", plat::ScriptHostLoad::kNoLibrary, true, true, true,
       "LoadLibrary Error jsproxy.dll", ""},
      {"entry missing", plat::ScriptHostLoad::kNoEntry, true, true, true,
       "exec_script GetProcAddress Error", ""},
      {"init refused", plat::ScriptHostLoad::kOk, false, true, true, "",
       "InternetInitializeAutoProxyDll Error"},
      {"no answer", plat::ScriptHostLoad::kOk, true, false, true, "InternetGetProxyInfo Error",
       "InternetInitializeAutoProxyDll returned: 1"},
      {"shut-down failed", plat::ScriptHostLoad::kOk, true, true, false,
       "InternetDeInitializeAutoProxyDll Error", "Proxy is: "},
  };
  for (const Case& c : cases) {
    LoopbackPeer peer({qrt_test::http_page(200, "text/plain", kScript)});
    host.load = c.load;
    host.init_ok = c.init_ok;
    host.query_ok = c.query_ok;
    host.deinit_ok = c.deinit_ok;
    boxes.boxes.clear();
    EXPECT_FALSE(discovery::exec_script(url_of(peer, "/a.pac").c_str())) << c.name;
    EXPECT_EQ(host.loads, host.unloads) << c.name;
    if (*c.box) {
      ASSERT_EQ(boxes.boxes.size(), 1u) << c.name;
      EXPECT_EQ(boxes.boxes[0].text, c.box) << c.name;
    } else {
      EXPECT_TRUE(boxes.boxes.empty()) << c.name;
    }
    if (*c.trace) {
      EXPECT_THAT(trace(), Contains(HasSubstr(c.trace))) << c.name;
    }
  }
}

// A long answer is cut to the work buffer it is kept in.
// A long answer keeps its whole entries only; an entry across the buffer's end
// would otherwise be stored with a shortened host or port.
TEST_F(Discovery, LongScriptAnswerKeepsItsWholeEntries) {
  const struct {
    std::string answer;
    std::string kept;
  } cases[] = {
      {"PROXY p:1; " + std::string(1000, 'x'), "PROXY p:1"},
      {std::string(490, ' ') + "PROXY a:1; PROXY bbbb:8080", std::string(490, ' ') + "PROXY a:1"},
      {"PROXY " + std::string(600, 'h') + ":80", ""},
  };
  for (const auto& c : cases) {
    LoopbackPeer peer({qrt_test::http_page(200, "text/plain", kScript)});
    host.answer = c.answer;
    EXPECT_TRUE(discovery::exec_script(url_of(peer, "/a.pac").c_str()));
    EXPECT_EQ(std::string(zr01->mes_work2), c.kept);
  }
  EXPECT_THAT(trace(), testing::Contains(HasSubstr("kept up to its last whole entry")));
}

TEST_F(Discovery, HttpServiceProcedure) {
  struct Case {
    const char* name;
    bool config_ok;
    plat::UserProxyConfig config;
    plat::ProxyForUrl result;
    std::string answered;
    int want;
    const char* host;
    int port;
    int asks;
    const char* trace;
  } cases[] = {
      {"proxy without port",
       true,
       {false, "", "proxy9", ""},
       {},
       "",
       1,
       "proxy9",
       80,
       0,
       "lpszProxy: proxy9"},
      {"proxy with port",
       true,
       {false, "", "proxy8:8080;proxy7:80", "<local>"},
       {},
       "",
       1,
       "proxy8",
       8080,
       0,
       " lpszProxyBypass:<local>"},
      {"per protocol",
       true,
       {false, "", "http=p1:3128;https=p2:443", ""},
       {},
       "",
       1,
       "p1",
       3128,
       0,
       "lpszProxy: http=p1:3128"},
      {"script names a proxy",
       true,
       {false, "http://wpad/wpad.dat", "", ""},
       plat::ProxyForUrl::kProxy,
       "p5:3128",
       1,
       "p5",
       3128,
       1,
       "lpszProxy:p5:3128"},
      {"detection finds a proxy",
       true,
       {true, "", "", ""},
       plat::ProxyForUrl::kProxy,
       "p6",
       1,
       "p6",
       80,
       1,
       "WinHttpOpen session:7"},
      {"script says direct",
       true,
       {false, "http://wpad/wpad.dat", "", ""},
       plat::ProxyForUrl::kDirect,
       "",
       0,
       "old",
       1,
       1,
       " fAutoDetect:0"},
      {"service fails",
       true,
       {true, "", "", ""},
       plat::ProxyForUrl::kFailed,
       "",
       0,
       "old",
       1,
       1,
       "WinHttpGetProxyForUrl Error:12180"},
      {"nothing configured", true, {false, "", "", ""}, {}, "", 0, "old", 1, 0, " fAutoDetect:0"},
      {"settings unreadable",
       false,
       {},
       {},
       "",
       0,
       "old",
       1,
       0,
       "WinHttpGetIEProxyConfigForCurrentUser Error:1168"},
      {"host too long",
       true,
       {false, "", std::string(64, 'h') + ":80", ""},
       {},
       "",
       0,
       "old",
       1,
       0,
       "lpszProxy host refused (longer than 63 characters)"},
      {"line too long for ZORAX.INI",
       true,
       {false, "", std::string(55, 'h') + ":8080", ""},
       {},
       "",
       0,
       "old",
       1,
       0,
       "does not fit a line of ZORAX.INI"},
  };
  for (const Case& c : cases) {
    service.config_ok = c.config_ok;
    service.config = c.config;
    service.result = c.result;
    service.proxy = c.answered;
    service.asks = 0;
    zr::copy(zrconn->pxy_host, "old");
    zrconn->pxy_port = 1;
    zr00->proxy_use = 1;
    EXPECT_EQ(discovery::winhttp_check(), c.want) << c.name;
    EXPECT_EQ(zr00->proxy_use, c.want) << c.name;
    EXPECT_STREQ(zrconn->pxy_host, c.host) << c.name;
    EXPECT_EQ(zrconn->pxy_port, c.port) << c.name;
    if (c.want) {
      expect_proxy(c.host, c.port, c.name);
    }
    EXPECT_EQ(service.asks, c.asks) << c.name;
    EXPECT_THAT(trace(), Contains(HasSubstr(c.trace))) << c.name;
  }
  EXPECT_EQ(service.asked_url, "http://www.orvanta.example/");
}

TEST_F(Discovery, DownloadRefusesWhatItCannotTakeWhole) {
  const std::string big(discovery::kDownloadMax + 1, 'x');
  struct Case {
    const char* name;
    std::string answer;
    bool ok;
  } cases[] = {
      {"with length", qrt_test::http_page(200, "text/plain", "abc"), true},
      {"until closed", "HTTP/1.0 200 OK\r\n\r\nuntil closed", true},
      {"too long by its length", qrt_test::http_page(200, "text/plain", big), false},
      {"too long until closed", "HTTP/1.0 200 OK\r\n\r\n" + big, false},
      {"cut short", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc", false},
      {"not found", qrt_test::http_page(404, "text/plain", "no"), false},
      {"no header end", "HTTP/1.1 200 OK\r\n", false},
  };
  for (const Case& c : cases) {
    LoopbackPeer peer({c.answer});
    const std::string file = dir.join("dl.txt");
    qrt_test::write_file(file, "previous");
    EXPECT_EQ(discovery::download(url_of(peer, "/f").c_str(), file.c_str()), c.ok) << c.name;
    if (!c.ok) {
      EXPECT_EQ(qrt_test::read_file(file), "previous") << c.name;
    }
  }
  EXPECT_EQ(qrt_test::read_file(dir.join("dl.txt")), "previous");
  EXPECT_FALSE(discovery::download("https://127.0.0.1/f", dir.join("x").c_str()));
  EXPECT_FALSE(discovery::download("file:///etc/passwd", dir.join("x").c_str()));
}

TEST(DiscoveryHelpers, ResolveHostName) {
  char buf[64];
  unsigned long len = sizeof buf;
  EXPECT_EQ(plat::resolve_host_name("127.0.0.1", buf, &len), plat::kResolveOk);
  EXPECT_STREQ(buf, "127.0.0.1");
  len = sizeof buf;
  EXPECT_EQ(plat::resolve_host_name("::1", buf, &len), plat::kResolveOk);
  EXPECT_STREQ(buf, "::1");
  len = sizeof buf;
  EXPECT_EQ(plat::resolve_host_name("localhost", buf, &len), plat::kResolveOk);
  EXPECT_STREQ(buf, "127.0.0.1");
  // Too small: the size needed, text and NUL.
  len = 5;
  EXPECT_EQ(plat::resolve_host_name("10.20.30.40", buf, &len), plat::kResolveBufferSmall);
  EXPECT_EQ(len, 12u);
  len = sizeof buf;
  EXPECT_EQ(plat::resolve_host_name("no-such-host.invalid", buf, &len), plat::kResolveNotResolved);
  EXPECT_TRUE(plat::is_resolvable("localhost"));
  EXPECT_FALSE(plat::is_resolvable("no-such-host.invalid"));
  len = sizeof buf;
  EXPECT_EQ(plat::own_ip_address(buf, &len), plat::kResolveOk);
  EXPECT_GT(len, 0u);
}

TEST(DiscoveryHelpers, IsInNet) {
  struct Case {
    const char *address, *network, *mask;
    bool in;
  } cases[] = {
      {"10.1.2.3", "10.0.0.0", "255.0.0.0", true},
      {"11.1.2.3", "10.0.0.0", "255.0.0.0", false},
      {"192.168.1.77", "192.168.1.0", "255.255.255.0", true},
      {"192.168.2.77", "192.168.1.0", "255.255.255.0", false},
      {"1.2.3.4", "0.0.0.0", "0.0.0.0", true},
      {"1.2.3.4", "1.2.3.4", "255.255.255.255", true},
      {"10.1.2", "10.0.0.0", "255.0.0.0", false},
      {"10.1.2.300", "10.0.0.0", "255.0.0.0", false},
      {"10.1.2.3x", "10.0.0.0", "255.0.0.0", false},
      {"host.example", "10.0.0.0", "255.0.0.0", false},
      {"10.1.2.3", "10.0.0.0", "", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(plat::is_in_net(c.address, c.network, c.mask), c.in)
        << c.address << " " << c.network << " " << c.mask;
}

TEST_F(Discovery, ButtonWithoutZoraxIniDoesNothing) {
  EXPECT_FALSE(discovery::rediscover_and_end());
  std::filesystem::create_directories(dir.path() / "USER");
  qrt_test::write_file(dir.join("USER\\ZORAX.INI"), "[Host]\r\nホスト名            h1\r\n");
  EXPECT_FALSE(discovery::rediscover_and_end());
  EXPECT_EQ(settings.opens, 0);
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(Discovery, ButtonWritesZoraxIniAndEndsTheProgram) {
  std::filesystem::create_directories(dir.path() / "USER");
  const std::string ini = dir.join("USER\\ZORAX.INI");
  qrt_test::write_file(ini, "[Host]\r\n[Config]\r\nPROXY_USE           OFF\r\n");
  settings.enable = 1;
  settings.texts["ProxyServer"] = "http=found:8088";
  zr00->proxy_use = 0;
  EXPECT_EXIT(
      {
        zr_message_box_handler(qrt_test::box_to_stderr);
        discovery::rediscover_and_end();
      },
      ::testing::ExitedWithCode(0),
      HasSubstr("プロキシ情報の取得が終了しました。\n再度起動して下さい。"));
  const std::string text = qrt_test::read_file(ini);
  EXPECT_THAT(text, HasSubstr("PROXY_USE           ON\r\n"));
  EXPECT_THAT(text, HasSubstr("PROXY               found:8088\r\n"));
  EXPECT_THAT(text, HasSubstr("ホスト名            www.orvanta.example\r\n"));
}

}  // namespace
