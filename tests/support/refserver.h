// Test fixture: the native reference server, started with a scenario for the
// length of a test and stopped at its end.
#pragma once

#include <string>

namespace qrt_test {

class RefServer {
 public:
  // scenario_text is the scenario file's text (format: tools/refserver/README.md),
  // in Shift-JIS as the tests' literals are; the server reads it so. Files named
  // by the scenario are resolved in dir(). A server that does not start fails
  // the test (port() is then 0).
  explicit RefServer(const std::string& scenario_text);
  // The same over HTTPS, with the PEM certificate (chain) and private key files.
  RefServer(const std::string& scenario_text, const std::string& cert_file,
            const std::string& key_file);
  ~RefServer();
  RefServer(const RefServer&) = delete;
  RefServer& operator=(const RefServer&) = delete;

  int port() const { return port_; }
  // The server's log so far, in Shift-JIS like the tests' literals.
  std::string log() const;
  // The folder that holds the scenario file (and any files a test puts beside it).
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
  int pid_ = 0;
  int port_ = 0;

  void start(const std::string& scenario_text, const std::string& cert_file,
             const std::string& key_file);
};

// Points the plain tunnel at the server, reached as the HTTP proxy (the hosts
// named in the requests are only recorded), with one quick retry.
void post_through(const RefServer& server);

}  // namespace qrt_test
