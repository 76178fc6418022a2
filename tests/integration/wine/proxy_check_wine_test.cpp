// Proxy settings detection through the real registry of the Wine prefix:
// proxy-check-wine writes the Internet settings of one scenario, then runs this
// binary with the outcome it expects in the environment:
//   QRT_PROXY_RESULT  the result (0 or 1)
//   QRT_PROXY_HOST    the stored host and QRT_PROXY_PORT the port (result 1)
//   QRT_PROXY_TRACE   a text that one trace line must contain
#include <gmock/gmock.h>

#include <cstdlib>
#include <string>

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
  zr00->proxy_use = 1;

  EXPECT_EQ(zwsock_proxy_check(), std::atoi(result.c_str()));
  EXPECT_EQ(zr00->proxy_use, std::atoi(result.c_str()));
  if (result == "1") {
    EXPECT_EQ(std::string(zr00->http_proxy_host), env("QRT_PROXY_HOST"));
    EXPECT_EQ(zr00->http_proxy_port, std::atoi(env("QRT_PROXY_PORT").c_str()));
  }
  const std::string line = env("QRT_PROXY_TRACE");
  if (!line.empty()) {
    EXPECT_THAT(trace(), Contains(HasSubstr(line)));
  }
  EXPECT_TRUE(boxes.boxes.empty());
}

}  // namespace
