// A program that starts a tool as the repair starts gfix or gbak, and lives
// on until it is killed: for the test that the tool ends with it. Passes the
// tool's first line on to its own standard output.
//   start_tool PROGRAM [ARGUMENT...]
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/Process.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const auto pipe = platform::Pipe::Create();
  if (!pipe) return 90;
  const auto tool = platform::ChildProcess::Start(arguments, pipe->WriteEnd(), "");
  pipe->CloseWriteEnd();
  if (!tool) return 91;
  std::string line;
  for (char byte; pipe->Read(&byte, 1) == 1 && byte != '\n';) line += byte;
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
  for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}
