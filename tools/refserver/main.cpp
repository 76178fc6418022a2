// refserver --scenario FILE [--port N] [--port-file F] [--log F] [--cert PEM --key PEM]
// refserver --relay HTTPS_PORT [--port N] [--port-file F] [--log F]
// The reference server of the service, or a CONNECT relay to its HTTPS port
// (see README.md).
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include <pthread.h>

#include "lha/lha.h"
#include "relay.h"
#include "zrlib.h"
#include "scenario.h"
#include "server.h"

namespace {

int usage(const char* why) {
  std::fprintf(stderr,
               "refserver: %s\n"
               "usage: refserver --scenario FILE [--port N] [--port-file F] [--log F]\n"
               "                 [--cert FILE --key FILE]\n"
               "       refserver --relay HTTPS_PORT [--port N] [--port-file F] [--log F]\n",
               why);
  return 2;
}

// Packs every update file into its archive with the library's LHA codec.
bool pack_update_files(refsrv::Scenario& sc) {
  for (auto& f : sc.files) {
    std::size_t cap = f.content.size() + f.content.size() / 8 + 4096;
    std::string buf(cap, '\0');
    if (!f.content.empty()) std::memcpy(buf.data(), f.content.data(), f.content.size());
    int n = _lha_mem(0, buf.data(), static_cast<int>(f.content.size()), static_cast<int>(cap));
    if (n < 0) {
      std::fprintf(stderr, "refserver: cannot pack %s (_lha_mem %d)\n", f.name.c_str(), n);
      return false;
    }
    buf.resize(static_cast<std::size_t>(n));
    f.archive = std::move(buf);
  }
  return true;
}

bool write_port_file(const std::string& path, int port) {
  std::string tmp = path + ".tmp";
  std::FILE* f = std::fopen(tmp.c_str(), "w");
  if (!f) return false;
  std::fprintf(f, "%d\n", port);
  bool ok = std::fclose(f) == 0;
  return ok && std::rename(tmp.c_str(), path.c_str()) == 0;
}

// SIGTERM and SIGINT are taken by sigwait; the serving threads block them.
sigset_t block_stop_signals() {
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  return stop_signals;
}

// Announces the bound port (standard output and the port file), serves on a
// thread until SIGTERM or SIGINT, then stops: 0, or 2 when the port could not
// be bound or announced.
template <class Run, class Stop>
int serve(int bound, int port, const std::string& port_file, const sigset_t& stop_signals, Run run,
          Stop stop) {
  if (bound <= 0) {
    std::fprintf(stderr, "refserver: cannot listen on 127.0.0.1:%d\n", port);
    return 2;
  }
  std::printf("listening 127.0.0.1:%d\n", bound);
  std::fflush(stdout);
  if (!port_file.empty() && !write_port_file(port_file, bound)) {
    std::fprintf(stderr, "refserver: cannot write %s\n", port_file.c_str());
    return 2;
  }
  std::thread serving(run);
  int sig = 0;
  sigwait(&stop_signals, &sig);
  stop();
  serving.join();
  return 0;
}

int run_relay(int relay_to, int port, const std::string& port_file, const std::string& log_path) {
  std::FILE* log_out = stderr;
  if (!log_path.empty()) {
    log_out = std::fopen(log_path.c_str(), "a");
    if (!log_out) return usage(("cannot open log " + log_path).c_str());
  }
  sigset_t stop_signals = block_stop_signals();
  refsrv::Log log(log_out);
  refsrv::Relay relay(relay_to, log);
  int rc = serve(
      relay.bind(port), port, port_file, stop_signals, [&relay] { relay.run(); },
      [&relay] { relay.stop(); });
  if (log_out != stderr) std::fclose(log_out);
  return rc;
}

}  // namespace

int main(int argc, char** argv) {
  std::string scenario_path, port_file, log_path, cert_file, key_file;
  int port = 0, relay_to = 0;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (i + 1 >= argc) return usage(("missing value for " + a).c_str());
    std::string v = argv[++i];
    if (a == "--scenario")
      scenario_path = v;
    else if (a == "--port-file")
      port_file = v;
    else if (a == "--log")
      log_path = v;
    else if (a == "--cert")
      cert_file = v;
    else if (a == "--key")
      key_file = v;
    else if (a == "--relay") {
      char* end = nullptr;
      long p = std::strtol(v.c_str(), &end, 10);
      if (*end || p < 1 || p > 65535) return usage("bad relay port");
      relay_to = static_cast<int>(p);
    } else if (a == "--port") {
      char* end = nullptr;
      long p = std::strtol(v.c_str(), &end, 10);
      if (*end || p < 0 || p > 65535) return usage("bad port");
      port = static_cast<int>(p);
    } else {
      return usage(("unknown option " + a).c_str());
    }
  }
  if (relay_to) return run_relay(relay_to, port, port_file, log_path);
  if (scenario_path.empty()) return usage("--scenario is required");
  if (cert_file.empty() != key_file.empty()) return usage("--cert and --key go together");
  const bool tls = !cert_file.empty();

  refsrv::Scenario sc;
  std::string error;
  if (!refsrv::load_scenario(scenario_path, sc, error)) {
    std::fprintf(stderr, "refserver: %s: %s\n", scenario_path.c_str(), error.c_str());
    return 2;
  }
  if (tls) {
    for (const auto& rule : sc.faults) {
      if (refsrv::is_byte_level(rule)) {
        std::fprintf(stderr, "refserver: %s: fault \"%s\" works over HTTP only, not with --cert\n",
                     scenario_path.c_str(), rule.describe().c_str());
        return 2;
      }
    }
  }
  _zrcmna_make();
  if (!pack_update_files(sc)) return 2;

  std::FILE* log_out = stderr;
  if (!log_path.empty()) {
    log_out = std::fopen(log_path.c_str(), "a");
    if (!log_out) return usage(("cannot open log " + log_path).c_str());
  }

  sigset_t stop_signals = block_stop_signals();

  refsrv::Log log(log_out);
  refsrv::RefServer server(std::move(sc), log, cert_file, key_file);
  if (!server.valid()) {
    std::fprintf(stderr, "refserver: cannot use the certificate %s with the key %s\n",
                 cert_file.c_str(), key_file.c_str());
    return 2;
  }
  int rc = serve(
      server.bind(port), port, port_file, stop_signals, [&server] { server.listen(); },
      [&server] { server.stop(); });
  if (log_out != stderr) std::fclose(log_out);
  _zrcmna_kill();
  return rc;
}
