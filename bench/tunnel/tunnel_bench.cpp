// Benchmark of one exchange through the product's tunnel: a request to the
// reference server whose answer carries a large binary part, timed from the
// request to the last byte received, best of RUNS. Prints the milliseconds.
//   tunnel_bench plain PORT RUNS   through the HTTP tunnel (the server as the proxy)
//   tunnel_bench tls PORT RUNS     through the TLS tunnel to https://localhost:PORT
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "zrlib.h"

int main(int argc, char** argv) {
  if (argc != 4 || (std::strcmp(argv[1], "plain") != 0 && std::strcmp(argv[1], "tls") != 0)) {
    std::fprintf(stderr, "usage: tunnel_bench plain|tls PORT RUNS\n");
    return 2;
  }
  const bool tls = std::strcmp(argv[1], "tls") == 0;
  const auto port = static_cast<unsigned short>(std::atoi(argv[2]));
  const int runs = std::atoi(argv[3]);

  zr_program_set(ZR_PRG_QRT100);
  _zrcmna_make();
  zwsock_initial();
  zr00->sys_kd = 2;
  zr00->retry_count = 0;
  zr::copy(zr01->user_id, "BENCH");
  zr::copy(zr01->http_obj_nm, "QRTSVR");
  if (tls) {
    zwsockh_auth_initial();
    zr00->ssl_use = 1;
    zr00->proxy_use = 0;
    zr::copy(zr01->http_host_nm, "localhost");
    zrnet::tls_port_set(port);
    zr00->msg_fn = zwsock_phmsg_ssl;
  } else {
    zr00->ssl_use = 0;
    zr00->proxy_use = 1;
    zr::copy(zr00->http_proxy_host, "127.0.0.1");
    zr00->http_proxy_port = port;
    zr::copy(zr01->http_host_nm, "h1.example");
    zr00->msg_fn = zwsock_phmsg;
  }

  double best = 1e9;
  long got = 0;
  for (int i = 0; i < runs; ++i) {
    zrwork->mlng = 0;
    zr0930_msg_set("bench", 5);
    const auto t0 = std::chrono::steady_clock::now();
    const int rc = zr0930_msg_request(0, 55);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    if (rc != 0) {
      std::fprintf(stderr, "tunnel_bench: the exchange failed (%d)\n", rc);
      return 1;
    }
    got = zrwork->p_msg->hdr.sts;
    if (ms < best) best = ms;
  }
  std::printf("%.2f %ld\n", best, got);
  _zrcmna_kill();
  return 0;
}
