// The server side of TLS against the library's own client on loopback, with the
// certificate store tls-peers makes ("localhost" and "*.qrt.test" of the test
// authority the client trusts; QRT_TLS_STORE names it): the handshake by
// subject and by the hello's server name with the "*" rule, a hello without a
// name, the record-header faults with their results, and a session handed from
// one thread to another.
//
// Wine's Schannel has no server side: its first accepting round answers
// SEC_E_UNSUPPORTED_FUNCTION (0x80090302). Under Wine these tests check
// everything up to that round (the store, the certificate choice, the
// credentials, the record checks) and accept that refusal in place of a
// completed handshake.
#include <gmock/gmock.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "platform/net.h"
#include "test_support.h"
#include "zrlib.h"

namespace {

using ::testing::Contains;
using ::testing::HasSubstr;

std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// A listening loopback socket and the accepted side of one connection.
class Listener {
 public:
  Listener() {
    plat::net_startup();
    s_ = plat::tcp_socket();
    plat::bind_any(s_, 0);
    plat::listen(s_, 4);
    port_ = plat::local_port(s_);
  }
  ~Listener() { plat::close(s_); }
  int port() const { return port_; }
  int accept() {
    if (plat::wait_readable(s_, 10000) <= 0) return 0;
    return static_cast<int>(plat::accept(s_, nullptr));
  }

 private:
  plat::Sock s_ = 0;
  int port_ = 0;
};

int connect_to(int port) {
  plat::Sock s = plat::tcp_socket();
  std::uint32_t addr = 0;
  plat::ipv4_parse("127.0.0.1", &addr);
  if (plat::connect(s, addr, static_cast<std::uint16_t>(port)) != 0) return 0;
  return static_cast<int>(s);
}

// A minimal hello: header, handshake header, version, random, empty session,
// one suite, one compression method, then the extensions.
std::string hello(const std::string& extensions) {
  std::string body = std::string("\x03\x03", 2) + std::string(32, 'r') + std::string("\x00", 1) +
                     std::string("\x00\x02\x00\x2f", 4) + std::string("\x01\x00", 2);
  body += static_cast<char>(extensions.size() >> 8);
  body += static_cast<char>(extensions.size() & 0xff);
  body += extensions;
  std::string hs = std::string("\x01", 1) + '\0' + static_cast<char>(body.size() >> 8) +
                   static_cast<char>(body.size() & 0xff) + body;
  return std::string("\x16\x03\x01", 3) + static_cast<char>(hs.size() >> 8) +
         static_cast<char>(hs.size() & 0xff) + hs;
}
std::string sni(const std::string& name) {
  std::string list = std::string("\x00", 1) + static_cast<char>(name.size() >> 8) +
                     static_cast<char>(name.size() & 0xff) + name;
  std::string ext = std::string(1, static_cast<char>(list.size() >> 8)) +
                    static_cast<char>(list.size() & 0xff) + list;
  return std::string("\x00\x00", 2) + static_cast<char>(ext.size() >> 8) +
         static_cast<char>(ext.size() & 0xff) + ext;
}

class TlsServer : public qrt_test::AreasTest {
 protected:
  void SetUp() override {
    if (env("QRT_TLS_DIR").empty()) GTEST_SKIP() << "runs through tests/tls/tls-peers";
    AreasTest::SetUp();
    zwsock_initial();
    zwsockh_auth_initial();
    store = env("QRT_TLS_STORE");
  }

  // Whether the server's result is the system's refusal to act as a server.
  bool server_side_missing(int server_rc) const {
    if (server_rc != -4) return false;
    for (const std::string& l : trace())
      if (l.find("AcceptSecurityContext Error") != std::string::npos &&
          l.find("err:80090302") != std::string::npos)
        return true;
    return false;
  }

  // A client handshake for host against a server thread running serve on the
  // accepted socket; the server's result in *server_rc. Returns the client's.
  template <typename Serve>
  int handshake(const char* host, Serve serve, int* server_rc) {
    Listener l;
    std::thread server([&] {
      const int hsock = l.accept();
      *server_rc = hsock ? serve(hsock) : -100;
      zwsockh_ssl_finish();
      if (hsock) plat::close(hsock);
    });
    const int c = connect_to(l.port());
    const int rc = c ? zwsockh_ssl_connect(c, host) : -100;
    zwsockh_ssl_finish();
    if (c) plat::close(c);
    server.join();
    return rc;
  }

  std::string store;
};

TEST_F(TlsServer, HandshakeWithTheCertificateOfASubject) {
  Listener l;
  std::string got;
  int server_rc = -100;
  std::thread server([&] {
    const int hsock = l.accept();
    server_rc = zwsockh_ssl_connect_svr(hsock, "LOCALHOST", store.c_str());
    char buf[20480];
    const int n = server_rc == 0 ? zwsockh_ssl_read(hsock, buf, sizeof buf) : -1;
    if (n > 0) got.assign(buf, static_cast<std::size_t>(n));
    if (n > 0) zwsockh_ssl_write(hsock, "answer", 6);
    zwsockh_ssl_finish();
    plat::close(hsock);
  });
  const int c = connect_to(l.port());
  const int client_rc = zwsockh_ssl_connect(c, "localhost");
  char buf[20480];
  int n = -1;
  if (client_rc == 0 && zwsockh_ssl_write(c, "question", 8) == 0)
    n = zwsockh_ssl_read(c, buf, sizeof buf);
  zwsockh_ssl_finish();
  plat::close(c);
  server.join();
  if (server_side_missing(server_rc)) return;
  EXPECT_EQ(client_rc, 0);
  EXPECT_EQ(server_rc, 0);
  EXPECT_EQ(got, "question");
  ASSERT_GT(n, 0);
  EXPECT_EQ(std::string(buf, static_cast<std::size_t>(n)), "answer");
}

TEST_F(TlsServer, StoreAndSubjectFailures) {
  struct Case {
    const char* name;
    std::string store, subject;
    const char* box;
  } cases[] = {
      {"no such store", store + "/missing", "localhost", "CertOpenStore Failed.\n"},
      {"no such subject", store, "nobody.example", "CertFindCertificateInStore Failed.\n"},
  };
  for (const Case& c : cases) {
    boxes.boxes.clear();
    int server_rc = 0;
    const std::string st = c.store, subject = c.subject;
    EXPECT_NE(handshake(
                  "localhost",
                  [&](int h) { return zwsockh_ssl_connect_svr(h, subject.c_str(), st.c_str()); },
                  &server_rc),
              0)
        << c.name;
    EXPECT_EQ(server_rc, -1) << c.name;
    ASSERT_EQ(boxes.boxes.size(), 1u) << c.name;
    EXPECT_EQ(boxes.boxes[0].text, c.box) << c.name;
  }
}

// The certificate chosen by the hello's server name.
TEST_F(TlsServer, ServerNameChoosesTheCertificate) {
  struct Case {
    const char* host;
    int server, client;  // 0: handshake complete; -1: refused
    const char* trace;
  } cases[] = {
      {"localhost", 0, 0, ""},
      {"a.qrt.test", 0, 0, ""},
      // The server's rule compares only the end; the client's check lets a
      // wildcard stand for one label and refuses the certificate.
      {"Deep.Sub.QRT.test", 0, -1, ""},
      {"qrt.test", -1, -1, "ssl_connect_svr CertEnumCertificatesInStore Failed"},
      {"evilqrt.test", -1, -1, "url:evilqrt.test"},
  };
  for (const Case& c : cases) {
    int server_rc = -100;
    const int client_rc = handshake(
        c.host, [&](int h) { return zwsockh_ssl_connect_svr2(h, "ignored", store.c_str()); },
        &server_rc);
    if (c.server == 0 && server_side_missing(server_rc)) continue;
    EXPECT_EQ(server_rc, c.server) << c.host;
    EXPECT_EQ(client_rc == 0 ? 0 : -1, c.client) << c.host;
    if (*c.trace) {
      EXPECT_THAT(trace(), Contains(HasSubstr(c.trace))) << c.host;
    }
  }
}

// A hello without the name-indication extension names no server.
TEST_F(TlsServer, HelloWithoutAServerNameIsRefused) {
  Listener l;
  int server_rc = -100;
  std::thread server([&] {
    const int hsock = l.accept();
    server_rc = zwsockh_ssl_connect_svr2(hsock, "", store.c_str());
    plat::close(hsock);
  });
  const int s = connect_to(l.port());
  const std::string h = hello(std::string("\x00\x0b\x00\x02\x01\x00", 6));
  plat::send(s, h.data(), h.size());
  server.join();
  plat::close(s);
  EXPECT_EQ(server_rc, -1);
  EXPECT_THAT(trace(), Contains(HasSubstr("ssl_connect_svr url NULL")));
}

// What a client sends in place of a hello, and the server's result.
TEST_F(TlsServer, RecordHeaderFaults) {
  struct Case {
    const char* name;
    std::string bytes;
    int result;
    const char* trace;
  } cases[] = {
      {"application data", std::string("\x17\x03\x03\x00\x05", 5), -2,
       "Record Header Content Type Error type:23"},
      {"length 0", std::string("\x16\x03\x03\x00\x00", 5), -2, "Record Header Length Error lng:0"},
      {"length 16385", std::string("\x16\x03\x03\x40\x01", 5), -2,
       "Record Header Length Error lng:16385"},
      {"version 3.4", std::string("\x16\x03\x04\x00\x05", 5), -2,
       "Record Header Protocol Version Error proto:0304"},
      {"version 2.0", std::string("\x16\x02\x00\x00\x05", 5), -2,
       "Record Header Protocol Version Error proto:0200"},
      {"body cut short", std::string("\x16\x03\x01\x00\x40xyz", 8), -3,
       "ssl_connect_svr data_recv Error"},
      {"header cut short", std::string("\x16\x03", 2), -1,
       "ssl_connect_svr record_header_recv Error"},
  };
  for (bool by_name : {false, true}) {
    for (const Case& c : cases) {
      Listener l;
      int server_rc = -100;
      std::thread server([&] {
        const int hsock = l.accept();
        server_rc = by_name ? zwsockh_ssl_connect_svr2(hsock, "", store.c_str())
                            : zwsockh_ssl_connect_svr(hsock, "localhost", store.c_str());
        plat::close(hsock);
      });
      const int s = connect_to(l.port());
      plat::send(s, c.bytes.data(), c.bytes.size());
      // The peer goes away: a cut record is not waited for.
      plat::close(s);
      server.join();
      EXPECT_EQ(server_rc, c.result) << c.name << (by_name ? " (by name)" : "");
      EXPECT_THAT(trace(), Contains(HasSubstr(c.trace))) << c.name;
    }
  }
  EXPECT_THAT(trace(), Contains(HasSubstr("ssl_connect_svr record_header_format Error ret:-2")));
}

// The session established on one thread decrypts the next record on another.
TEST_F(TlsServer, ExportedSessionIsImportedByAnotherThread) {
  Listener l;
  char packed[4096];
  int packed_len = 0, export_rc = -100, import_rc = -100, after_export = 0, handshake_rc = -100;
  std::string got;
  std::thread first([&] {
    const int hsock = l.accept();
    handshake_rc = zwsockh_ssl_connect_svr(hsock, "localhost", store.c_str());
    if (handshake_rc != 0) {
      plat::close(hsock);
      return;
    }
    export_rc = zwsockh_ssl_export(packed, &packed_len);
    // The session has left this thread.
    after_export = zwsockh_ssl_write(hsock, "x", 1);
    std::thread second([&] {
      import_rc = zwsockh_ssl_import(packed, packed_len);
      char buf[20480];
      const int n = zwsockh_ssl_read(hsock, buf, sizeof buf);
      if (n > 0) got.assign(buf, static_cast<std::size_t>(n));
      zwsockh_ssl_finish();
    });
    second.join();
    plat::close(hsock);
  });
  int server_rc = -100;
  const int c = connect_to(l.port());
  if (zwsockh_ssl_connect(c, "localhost") == 0) {
    EXPECT_EQ(zwsockh_ssl_write(c, "after the hand-over", 19), 0);
  }
  first.join();
  zwsockh_ssl_finish();
  plat::close(c);
  server_rc = handshake_rc;
  if (server_side_missing(server_rc)) return;
  EXPECT_EQ(server_rc, 0);
  EXPECT_EQ(export_rc, 0);
  EXPECT_GT(packed_len, 0);
  EXPECT_EQ(after_export, -2);
  EXPECT_EQ(import_rc, 0);
  EXPECT_EQ(got, "after the hand-over");
  // A packed form is taken once.
  EXPECT_EQ(zwsockh_ssl_import(packed, packed_len), -1);
  EXPECT_THAT(trace(), Contains(HasSubstr("ssl_write pImportSecurityContext Error")));
}

TEST(TlsClientHello, ServerNameIsWalkedWithinItsLengths) {
  const std::string other = std::string("\x00\x0b\x00\x02\x01\x00", 6);  // ec point formats
  std::string name;
  EXPECT_TRUE(zrnet::client_hello_server_name(hello(other + sni("a.qrt.test")).data(),
                                              hello(other + sni("a.qrt.test")).size(), &name));
  EXPECT_EQ(name, "a.qrt.test");
  const std::string none = hello(other);
  EXPECT_FALSE(zrnet::client_hello_server_name(none.data(), none.size(), &name));
  // Cut anywhere, the hello yields no name and reads nothing beyond its end.
  const std::string full = hello(sni("a.qrt.test"));
  for (std::size_t n = 0; n < full.size(); ++n) {
    std::string cut = full.substr(0, n);
    EXPECT_FALSE(zrnet::client_hello_server_name(cut.data(), cut.size(), &name)) << n;
  }
  // A name longer than 2047 bytes is cut there.
  const std::string long_hello = hello(sni(std::string(3000, 'n')));
  ASSERT_TRUE(zrnet::client_hello_server_name(long_hello.data(), long_hello.size(), &name));
  EXPECT_EQ(name.size(), 2047u);
}

TEST(TlsDisplayName, StarServesEveryNameEndingInTheRest) {
  struct Case {
    const char* display;
    const char* name;
    bool serves;
  } cases[] = {
      {"localhost", "localhost", true},
      {"localhost", "localhost2", false},
      {"*.qrt.test", "a.qrt.test", true},
      {"*.qrt.test", "a.b.qrt.test", true},
      {"*.qrt.test", ".qrt.test", true},
      {"*.qrt.test", "qrt.test", false},
      {"*.qrt.test", "evilqrt.test", false},
      {"*", "anything", true},
      {"", "localhost", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(zrnet::display_name_serves(c.display, c.name), c.serves)
        << c.display << " / " << c.name;
}

}  // namespace
