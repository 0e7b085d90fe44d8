// The process primitives of the console tool runner: one anonymous pipe and
// one child process whose standard output and standard error go into it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// Exit code given to a child that we end ourselves (the Windows ERROR_CANCELLED value).
constexpr std::uint32_t CancelledExitCode = 1223;

// A descriptor (POSIX) or a handle (Windows).
using NativeHandle = std::intptr_t;
constexpr NativeHandle NoHandle = -1;

// An anonymous byte pipe. Neither end is inherited by children unless it is
// handed to one explicitly as its output.
class Pipe {
 public:
  // Nothing when the pipe cannot be created; then LastError() tells why.
  static std::unique_ptr<Pipe> Create();
  ~Pipe();
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;

  // Reads at most size bytes; blocks until data arrives. Returns the number
  // of bytes read, 0 at the end of the pipe, or -1 on failure.
  long Read(char* buffer, std::size_t size);
  // True when a read would not block (data, the end, or a failure to report);
  // false when the time ran out first.
  bool WaitReadable(int milliseconds);
  void CloseWriteEnd();
  void CloseReadEnd();
  NativeHandle WriteEnd() const { return FWriteEnd; }

 private:
  Pipe(NativeHandle readEnd, NativeHandle writeEnd) : FReadEnd(readEnd), FWriteEnd(writeEnd) {}
  NativeHandle FReadEnd;
  NativeHandle FWriteEnd;
};

// Gives this process an empty standard input, so that nothing in it (the
// embedded engine asking for a backup's next volume, say) can wait on a
// terminal. The program never reads its standard input.
void UseEmptyStandardInput();

// Gives up this process's controlling terminal, for it and the tools it
// starts: the embedded engine's restore asks for a backup's next volume on
// the terminal itself ("Name:"), not on the standard input, and would wait
// there for ever. Ctrl+C in a terminal still reaches the process.
void GiveUpControllingTerminal();

// Copies of the standard output and standard error taken at the first
// call, for a program that reports on them while the restore catches the
// standard output itself; the streams themselves where no copy can be made.
std::FILE* KeptStandardOutput();
std::FILE* KeptStandardError();

// The platform's code of the last failed call.
std::uint32_t LastError();

// A started child process. Destroying a child that has not been waited for
// ends it and reaps it, so no error path leaves a process behind.
class ChildProcess {
 public:
  // Starts arguments[0] with the given arguments, standard output and
  // standard error on output, standard input empty, environment inherited,
  // in workingFolder when it is not empty. An argument[0] without a folder
  // is looked up on PATH. Nothing when the program cannot be started.
  static std::unique_ptr<ChildProcess> Start(const std::vector<std::string>& arguments, NativeHandle output,
                                             const std::string& workingFolder);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Ends the child; its exit code becomes CancelledExitCode unless it had
  // already ended by itself.
  void Terminate();

  // Waits without a time limit. The child's exit code; 128 + signal for a
  // signal it did not get from us; nothing when the wait fails.
  std::optional<std::uint32_t> Wait();

 private:
  explicit ChildProcess(NativeHandle process) : FProcess(process) {}
  NativeHandle FProcess;  // the process id (POSIX) or the process handle (Windows)
  bool FWaited = false;
  bool FTerminated = false;
};

}  // namespace platform
