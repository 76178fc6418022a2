// Proxy settings detection through the real registry of the Wine prefix:
// proxy-check-wine writes the Internet settings of one scenario, then runs this
// binary with the outcome it expects in the environment:
//   QRT_PROXY_RESULT  the result (0 or 1)
//   QRT_PROXY_HOST    the stored host and QRT_PROXY_PORT the port (result 1)
//   QRT_PROXY_TRACE   a text that one trace line must contain
//   QRT_PROXY_PROCEDURE  library (the library's detection), registry or
//                     service (the launcher's discovery procedures, which store
//                     the proxy in the connection's fields as well)
#include <gmock/gmock.h>

#include <cstdlib>
#include <string>

#include "discovery.h"
#include "net/proxy_check.h"
#include "test_support.h"

namespace {

using ::testing::Contains;
using ::testing::HasSubstr;

class ProxyCheckWine : public qrt_test::AreasTest {
 protected:
  static std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
  }
};

TEST_F(ProxyCheckWine, ReadsThePrefixSettings) {
  const std::string result = env("QRT_PROXY_RESULT");
  if (result.empty()) GTEST_SKIP() << "QRT_PROXY_RESULT is not set";
  zwsock_initial();
  zr::copy(zr00->http_proxy_host, "old");
  zr::copy(zrconn->pxy_host, "old");
  zr00->proxy_use = 1;
  zrconn->host_cnt = 1;
  zr::copy(zrconn->host_nm[0], "www.orvanta.example");

  const std::string procedure = env("QRT_PROXY_PROCEDURE");
  const bool launcher = procedure == "registry" || procedure == "service";
  const int got = procedure == "registry"  ? discovery::proxy_use_check()
                  : procedure == "service" ? discovery::winhttp_check()
                                           : zwsock_proxy_check();
  EXPECT_EQ(got, std::atoi(result.c_str()));
  EXPECT_EQ(zr00->proxy_use, std::atoi(result.c_str()));
  if (result == "1") {
    EXPECT_EQ(std::string(zr00->http_proxy_host), env("QRT_PROXY_HOST"));
    EXPECT_EQ(zr00->http_proxy_port, std::atoi(env("QRT_PROXY_PORT").c_str()));
    if (launcher) {
      EXPECT_EQ(std::string(zrconn->pxy_host), env("QRT_PROXY_HOST"));
      EXPECT_EQ(zrconn->pxy_port, std::atoi(env("QRT_PROXY_PORT").c_str()));
    }
  } else if (launcher && env("QRT_PROXY_TRACE") == "Socks Used") {
    EXPECT_EQ(std::string(zrconn->pxy_host), "");
  }
  const std::string line = env("QRT_PROXY_TRACE");
  if (!line.empty()) {
    EXPECT_THAT(trace(), Contains(HasSubstr(line)));
  }
  EXPECT_TRUE(boxes.boxes.empty());
}

}  // namespace
