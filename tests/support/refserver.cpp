// Starts tools/refserver as a child process (fork and exec, native only). The
// child ends with the test process even when a test leaves it without running
// destructors (a fatal path ends the process with exit code 0).
#include "refserver.h"

#include <gtest/gtest.h>
#include <iconv.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "zrlib.h"
#include <fstream>
#include <sstream>

#ifndef QRT_REFSERVER
#error "QRT_REFSERVER must name the refserver binary"
#endif

namespace qrt_test {
namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void pause_ms(long ms) {
  timespec ts{ms / 1000, (ms % 1000) * 1000000L};
  nanosleep(&ts, nullptr);
}

// UTF-8 (the server's log) to Shift-JIS; the text as it is when it has no
// Shift-JIS form.
std::string utf8_to_sjis(const std::string& text) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return text;
  std::string out(text.size() + 16, '\0');
  char* src = const_cast<char*>(text.data());
  std::size_t src_left = text.size();
  char* dst = out.data();
  std::size_t dst_left = out.size();
  std::size_t rc = iconv(cd, &src, &src_left, &dst, &dst_left);
  iconv_close(cd);
  if (rc == static_cast<std::size_t>(-1)) return text;
  out.resize(out.size() - dst_left);
  return out;
}

}  // namespace

RefServer::RefServer(const std::string& scenario_text) { start(scenario_text, "", ""); }

RefServer::RefServer(const std::string& scenario_text, const std::string& cert_file,
                     const std::string& key_file) {
  start(scenario_text, cert_file, key_file);
}

void RefServer::start(const std::string& scenario_text, const std::string& cert_file,
                      const std::string& key_file) {
  char tmpl[] = "/tmp/qrt_refserver_XXXXXX";
  if (!mkdtemp(tmpl)) {
    ADD_FAILURE() << "refserver: no temporary folder";
    return;
  }
  dir_ = tmpl;
  const std::string scenario = dir_ + "/scenario.txt";
  const std::string port_file = dir_ + "/port";
  const std::string log_file = dir_ + "/log.txt";
  const std::string out_file = dir_ + "/stdout.txt";
  const std::string err_file = dir_ + "/stderr.txt";
  {
    std::ofstream out(scenario, std::ios::binary);
    out << "charset = CP932\n" << scenario_text;
  }

  pid_t parent = getpid();
  pid_t pid = fork();
  if (pid < 0) {
    ADD_FAILURE() << "refserver: fork failed";
    return;
  }
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);
    if (!freopen(out_file.c_str(), "w", stdout) || !freopen(err_file.c_str(), "w", stderr))
      _exit(127);
    if (cert_file.empty())
      execl(QRT_REFSERVER, QRT_REFSERVER, "--scenario", scenario.c_str(), "--port-file",
            port_file.c_str(), "--log", log_file.c_str(), static_cast<char*>(nullptr));
    else
      execl(QRT_REFSERVER, QRT_REFSERVER, "--scenario", scenario.c_str(), "--port-file",
            port_file.c_str(), "--log", log_file.c_str(), "--cert", cert_file.c_str(), "--key",
            key_file.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  pid_ = pid;

  for (int waited = 0; waited < 15000; waited += 20) {
    std::string text = slurp(port_file);
    if (!text.empty()) {
      port_ = std::atoi(text.c_str());
      return;
    }
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = 0;
      ADD_FAILURE() << "refserver did not start: " << slurp(err_file);
      return;
    }
    pause_ms(20);
  }
  ADD_FAILURE() << "refserver gave no port within 15 seconds: " << slurp(err_file);
}

RefServer::~RefServer() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    bool ended = false;
    for (int waited = 0; waited < 5000 && !ended; waited += 10) {
      ended = waitpid(pid_, &status, WNOHANG) == pid_;
      if (!ended) pause_ms(10);
    }
    if (!ended) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
    }
  }
  if (!dir_.empty() && !::testing::Test::HasFailure()) {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
}

std::string RefServer::log() const { return utf8_to_sjis(slurp(dir_ + "/log.txt")); }

void post_through(const RefServer& server) {
  zr00->ssl_use = 0;
  zr00->proxy_use = 1;
  zr::copy(zr00->http_proxy_host, "127.0.0.1");
  zr00->http_proxy_port = static_cast<std::uint16_t>(server.port());
  zr00->retry_count = 1;
  zr00->retry_interval = 10;
  zwsock_initial();
  zr00->msg_fn = zwsock_phmsg;
}

}  // namespace qrt_test
