// Benchmark of the LHA codec core: compresses and expands each file given,
// in memory, and prints throughput and ratio. (Whole programs are timed with
// the product's own front end, qrtlha.)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "lha/lha_codec.h"

using namespace zr::lha;
using Clock = std::chrono::steady_clock;

namespace {

std::vector<std::uint8_t> read_all(const char* path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

bool write_all(const char* path, const std::uint8_t* p, std::size_t n) {
  std::FILE* f = std::fopen(path, "wb");
  if (!f) return false;
  bool ok = std::fwrite(p, 1, n, f) == n;
  return std::fclose(f) == 0 && ok;
}

template <typename Fn>
double best_seconds(int runs, Fn&& fn) {
  double best = 1e9;
  for (int i = 0; i < runs; ++i) {
    auto t0 = Clock::now();
    fn();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr,
                 "usage: lha_bench FILE...\n"
                 "       (writes FILE.lzh next to each FILE)\n");
    return 2;
  }
  auto work = std::make_unique<Work>();
  std::printf("%-12s %10s %10s %7s %12s %12s\n", "file", "bytes", "archive", "ratio", "compr MB/s",
              "expand MB/s");
  for (int i = 1; i < argc; ++i) {
    auto in = read_all(argv[i]);
    std::vector<std::uint8_t> archive(pack_capacity(in.size(), 8));
    std::size_t alen = 0;
    double tc = best_seconds(3, [&] { alen = pack(in, "BENCH.IN", archive.data(), work->enc); });
    archive.resize(alen);
    Member m;
    parse_header(archive, m);
    std::vector<std::uint8_t> out(m.original + 256);
    std::size_t n = 0;
    int rc = 0;
    double te = best_seconds(5, [&] { rc = unpack(archive, m, out.data(), work->dec, n); });
    if (rc != kOk || n != in.size() || !std::equal(in.begin(), in.end(), out.begin())) {
      std::fprintf(stderr, "%s: round trip FAILED\n", argv[i]);
      return 1;
    }
    std::string name = argv[i];
    name = name.substr(name.find_last_of('/') + 1);
    std::printf("%-12s %10zu %10zu %6.1f%% %12.1f %12.1f   (%s)\n", name.c_str(), in.size(), alen,
                100.0 * static_cast<double>(alen) / static_cast<double>(in.size()),
                static_cast<double>(in.size()) / tc / 1e6,
                static_cast<double>(in.size()) / te / 1e6, m.method == '6' ? "-lh6-" : "-lh0-");
    write_all((std::string(argv[i]) + ".lzh").c_str(), archive.data(), archive.size());
  }
  return 0;
}
