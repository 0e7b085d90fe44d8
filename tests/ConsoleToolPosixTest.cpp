// The runner and standard input on POSIX, where a terminal's input is an
// open descriptor a child could wait on.
#include <gtest/gtest.h>

#include <string>
#include <unistd.h>
#include <vector>

#include "platform/Process.h"
#include "tools/ConsoleTool.h"

namespace {

// Our standard input stays an open pipe that nobody writes to, as a terminal
// would; the function restores it afterwards.
template <typename Work>
void WithOpenStandardInput(Work&& work) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  const int saved = ::dup(STDIN_FILENO);
  ::dup2(ends[0], STDIN_FILENO);
  work();
  ::dup2(saved, STDIN_FILENO);
  ::close(saved);
  ::close(ends[0]);
  ::close(ends[1]);
}

TEST(ConsoleTool, AToolNeverWaitsOnOurStandardInput) {
  WithOpenStandardInput([] {
    std::vector<std::string> lines;
    const auto code = RunConsoleTool("cat", [&](const std::string& line) { lines.push_back(line); }, false, nullptr, "");
    EXPECT_EQ(code, 0u);  // cat read an empty input and ended
    EXPECT_TRUE(lines.empty());
  });
}

TEST(ConsoleTool, TheProgramsOwnStandardInputCanBeMadeEmpty) {
  WithOpenStandardInput([] {
    platform::UseEmptyStandardInput();
    char byte;
    EXPECT_EQ(::read(STDIN_FILENO, &byte, 1), 0);  // the end at once, no wait
  });
}

}  // namespace
