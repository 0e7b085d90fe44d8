#include "tools/ConsoleTool.h"

#include "platform/CommandLine.h"
#include "platform/Process.h"

namespace {

constexpr std::size_t ReadSize = 255;

}  // namespace

std::uint32_t RunConsoleTool(const std::string& commandLine, std::string& output, const LineHandler& handler,
                             bool rawOutput, bool* abort, const std::string& workingFolder,
                             const IdleHandler& idle) {
  auto pipe = platform::Pipe::Create();
  if (!pipe) return platform::LastError();

  const auto arguments = platform::SplitCommandLine(commandLine);
  // Declared after the pipe so that a throwing handler ends and reaps the
  // child before the pipe's read end is closed.
  auto child = platform::ChildProcess::Start(arguments, pipe->WriteEnd(), workingFolder);
  if (!child) return ConsoleToolFailure;
  pipe->CloseWriteEnd();

  if (abort != nullptr) *abort = false;
  TConsoleOutput lines(&handler, rawOutput);
  char buffer[ReadSize + 1] = {};
  while (abort == nullptr || !*abort) {
    if (idle && !pipe->WaitReadable(IdleInterval)) {
      idle();
      continue;
    }
    long got = pipe->Read(buffer, ReadSize);
    if (got <= 0) break;
    buffer[got] = '\0';
    lines.HandleChunk(buffer, static_cast<std::size_t>(got));
  }
  if (abort != nullptr && *abort) child->Terminate();

  std::uint32_t result = child->Wait().value_or(ConsoleToolFailure);
  child.reset();
  pipe->CloseReadEnd();
  lines.Finish(output);
  return result;
}

std::uint32_t RunConsoleTool(const std::string& commandLine, const LineHandler& handler, bool rawOutput,
                             bool* abort, const std::string& workingFolder, const IdleHandler& idle) {
  std::string discarded;
  return RunConsoleTool(commandLine, discarded, handler, rawOutput, abort, workingFolder, idle);
}
