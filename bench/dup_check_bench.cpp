// The duplicate checker on two files of 500,000 lines each (a fifth of the
// second file's numbers also in the first), against `sort -u` of the same
// numbers, and the bytes its number map takes per number.
//
//   bench_dup_check [lines_per_file]
//
// Prints the figures and one line for scripts:
//   dupcheck: lines=N distinct=N seconds=S sort_u_seconds=S ratio=R bytes_per_number=B
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "client/numtools/dup_check.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
  const long lines = argc > 1 ? std::atol(argv[1]) : 500000;
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("bench_dup_check." + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string a = (dir / "a.csv").string(), b = (dir / "b.csv").string();
  const std::string numbers = (dir / "numbers.txt").string();
  {
    std::mt19937_64 rng(42);
    std::ofstream fa(a, std::ios::binary), fb(b, std::ios::binary), fn(numbers, std::ios::binary);
    std::vector<std::string> first;
    first.reserve(static_cast<std::size_t>(lines));
    char buf[128];
    for (long i = 0; i < lines; ++i) {
      const unsigned long n = rng() % 100000000;
      std::snprintf(buf, sizeof buf, "010-%04lu-%04lu", n / 10000, n % 10000);
      first.push_back(buf);
      fa << buf << ",고객" << i << ",서울시,," << "\r\n";
      std::snprintf(buf, sizeof buf, "010%08lu", n);
      fn << buf << "\n";
    }
    for (long i = 0; i < lines; ++i) {
      std::string phone;
      if (i % 5 == 0) {
        phone = first[static_cast<std::size_t>(rng() % first.size())];
      } else {
        const unsigned long n = rng() % 100000000;
        std::snprintf(buf, sizeof buf, "011-%04lu-%04lu", n / 10000, n % 10000);
        phone = buf;
      }
      fb << phone << ",다른고객" << i << ",부산시\r\n";
      std::string digits;
      for (char c : phone)
        if (c >= '0' && c <= '9') digits += c;
      fn << digits << "\n";
    }
  }

  numtools::DupChecker checker;
  auto t0 = std::chrono::steady_clock::now();
  numtools::DupCheckResult r = checker.Run({a, b}, (dir / "out.csv").string());
  const double seconds = Seconds(t0);
  if (r.status != numtools::DupCheckStatus::kDone) {
    std::fprintf(stderr, "the check failed\n");
    return 1;
  }
  const double bytes_per_number = static_cast<double>(checker.map().MemoryUsed()) / static_cast<double>(r.distinct);

  const std::string cmd = "LC_ALL=C sort -u '" + numbers + "' > '" + (dir / "sorted.txt").string() + "'";
  t0 = std::chrono::steady_clock::now();
  const int rc = std::system(cmd.c_str());
  const double sort_seconds = Seconds(t0);
  if (rc != 0) {
    std::fprintf(stderr, "sort -u failed\n");
    return 1;
  }

  std::printf("%-28s %12s %12s\n", "", "dup check", "sort -u");
  std::printf("%-28s %12ld %12ld\n", "lines", r.read, r.read);
  std::printf("%-28s %12.3f %12.3f\n", "seconds", seconds, sort_seconds);
  std::printf("%-28s %12ld\n", "distinct numbers", r.distinct);
  std::printf("%-28s %12.1f\n", "map bytes per number", bytes_per_number);
  std::printf("dupcheck: lines=%ld distinct=%ld seconds=%.3f sort_u_seconds=%.3f ratio=%.2f bytes_per_number=%.1f\n",
              r.read, r.distinct, seconds, sort_seconds, seconds / sort_seconds, bytes_per_number);
  std::filesystem::remove_all(dir);
  return 0;
}
