// Throughput of the console tool runner: lines and megabytes a second taken
// from a child that writes 50 MB of lines, beside cat of the same data read
// straight from a pipe.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

#include "platform/CommandLine.h"
#include "tools/ConsoleTool.h"

namespace {

constexpr long Kibibytes = 50 * 1024;
constexpr double Megabyte = 1024.0 * 1024.0;

double SecondsOf(const std::function<void()>& work) {
  auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Report(const char* what, double seconds, std::size_t lines, double bytes) {
  std::printf("%-34s %8.3f s %12.0f lines/s %8.1f MB/s\n", what, seconds, lines / seconds, bytes / Megabyte / seconds);
}

std::string WriteDataFile() {
  const std::string path = "/tmp/vyr-bench-runner.txt";
  std::ofstream file(path, std::ios::trunc);
  for (long i = 0; i < Kibibytes * 16; ++i) {
    char line[64];
    std::snprintf(line, sizeof line, "%-62ld\n", i);
    file << line;
  }
  return path;
}

}  // namespace

int main() {
  const double bytes = Kibibytes * 1024.0;
  std::size_t lines = 0;
  auto count = [&](const std::string&) { ++lines; };

  const std::string child = platform::QuoteArgument(EMIT_BYTES_PATH) + " flood:" + std::to_string(Kibibytes);
  double runner = SecondsOf([&] { RunConsoleTool(child, count, false, nullptr, ""); });
  Report("runner, child on both streams", runner, lines, bytes);

  const std::string data = WriteDataFile();
  lines = 0;
  double runnerCat = SecondsOf([&] { RunConsoleTool("cat " + data, count, false, nullptr, ""); });
  Report("runner, cat of the same data", runnerCat, lines, bytes);

  std::size_t rawBytes = 0;
  double rawCat = SecondsOf([&] {
    FILE* pipe = ::popen(("cat " + data).c_str(), "r");
    char buffer[1 << 16];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) rawBytes += got;
    ::pclose(pipe);
  });
  Report("reference: cat into a pipe, 64 KiB reads", rawCat, lines, static_cast<double>(rawBytes));
  std::printf("runner / reference: %.1fx\n", runnerCat / rawCat);
  std::remove(data.c_str());
  return 0;
}
