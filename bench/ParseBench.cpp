// The engine's parser on scripts of 10,000 to 80,000 statements: the time
// should double with the length.
#include <chrono>
#include <cstdio>
#include <string>

#include "engine/Parser.h"

int main() {
  double previous = 0;
  for (int statements : {10000, 20000, 40000, 80000}) {
    std::string script;
    for (int i = 0; i < statements; ++i)
      script += "execute scriptblock as begin v = 'dòng " + std::to_string(i) + "'; sb_progress(v); end\r\n";
    const auto start = std::chrono::steady_clock::now();
    TParser parser(script);
    int parsed = 0;
    while (parser.NextStatement()) ++parsed;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%6d statements: %.3f s", parsed, seconds);
    if (previous > 0) std::printf(", growth from half the statements %.2fx", seconds / previous);
    std::printf("\n");
    previous = seconds;
  }
  return 0;
}
