#include "platform/Process.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/UniqueFd.h"

namespace platform {
namespace {

thread_local std::uint32_t lastError = 0;

void CloseIfOpen(NativeHandle& fd) {
  if (fd >= 0) {
    ::close(static_cast<int>(fd));
    fd = NoHandle;
  }
}

// In the child, between fork and exec: only calls that are safe there. The
// child dies with the thread that started it (a killed window takes its gfix
// or gbak with it, even one that ignores SIGTERM), reads an empty standard
// input, writes into the pipe, and reports a failed exec through the error
// pipe's errno.
[[noreturn]] void BecomeTool(char* const argv[], int output, const char* folder, pid_t parent, int errorPipe) {
  int error = 0;
  if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent) error = ECHILD;
  const int empty = error == 0 ? ::open("/dev/null", O_RDONLY) : -1;
  if (error == 0 && (empty < 0 || ::dup2(empty, STDIN_FILENO) < 0)) error = errno;
  if (empty > STDIN_FILENO) ::close(empty);
  if (error == 0 && (::dup2(output, STDOUT_FILENO) < 0 || ::dup2(output, STDERR_FILENO) < 0)) error = errno;
  if (error == 0 && folder != nullptr && ::chdir(folder) != 0) error = errno;
  if (error == 0) {
    ::execvp(argv[0], argv);
    error = errno;
  }
  while (::write(errorPipe, &error, sizeof error) < 0 && errno == EINTR) {
  }
  ::_exit(127);
}

// The errno the child reported, or 0 once its exec closed the pipe.
int ExecFailure(int errorPipe) {
  int error = 0;
  ssize_t got;
  do {
    got = ::read(errorPipe, &error, sizeof error);
  } while (got < 0 && errno == EINTR);
  return got == static_cast<ssize_t>(sizeof error) ? error : 0;
}

}  // namespace

std::uint32_t LastError() { return lastError; }

void UseEmptyStandardInput() {
  int empty = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (empty < 0) return;
  if (empty != STDIN_FILENO) {
    ::dup2(empty, STDIN_FILENO);
    ::close(empty);
  }
}

// A session leader that gives up its terminal sends a hangup to its
// foreground group, which is its own: ignored for that moment.
void GiveUpControllingTerminal() {
  const int terminal = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (terminal < 0) return;  // none to give up
  struct sigaction ignore {}, previous {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGHUP, &ignore, &previous);
  ::ioctl(terminal, TIOCNOTTY);
  ::close(terminal);
  ::sigaction(SIGHUP, &previous, nullptr);
}

std::unique_ptr<Pipe> Pipe::Create() {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) {
    lastError = static_cast<std::uint32_t>(errno);
    return nullptr;
  }
  return std::unique_ptr<Pipe>(new Pipe(ends[0], ends[1]));
}

Pipe::~Pipe() {
  CloseWriteEnd();
  CloseReadEnd();
}

long Pipe::Read(char* buffer, std::size_t size) {
  for (;;) {
    ssize_t got = ::read(static_cast<int>(FReadEnd), buffer, size);
    if (got >= 0 || errno != EINTR) return static_cast<long>(got);
  }
}

bool Pipe::WaitReadable(int milliseconds) {
  pollfd entry{static_cast<int>(FReadEnd), POLLIN, 0};
  for (;;) {
    int ready = ::poll(&entry, 1, milliseconds);
    if (ready >= 0) return ready > 0;
    if (errno != EINTR) return true;  // let the read report the failure
  }
}

void Pipe::CloseWriteEnd() { CloseIfOpen(FWriteEnd); }
void Pipe::CloseReadEnd() { CloseIfOpen(FReadEnd); }

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::vector<std::string>& arguments, NativeHandle output,
                                                  const std::string& workingFolder) {
  if (arguments.empty()) {
    lastError = ENOENT;
    return nullptr;
  }
  std::vector<char*> argv;
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) {
    lastError = static_cast<std::uint32_t>(errno);
    return nullptr;
  }
  UniqueFd errorsRead(ends[0]), errorsWrite(ends[1]);
  const pid_t parent = ::getpid();
  const char* folder = workingFolder.empty() ? nullptr : workingFolder.c_str();
  const pid_t pid = ::fork();
  if (pid == 0) BecomeTool(argv.data(), static_cast<int>(output), folder, parent, errorsWrite.Get());
  if (pid < 0) {
    lastError = static_cast<std::uint32_t>(errno);
    return nullptr;
  }
  errorsWrite.Close();
  const int failure = ExecFailure(errorsRead.Get());
  if (failure != 0) {
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    lastError = static_cast<std::uint32_t>(failure);
    return nullptr;
  }
  return std::unique_ptr<ChildProcess>(new ChildProcess(pid));
}

ChildProcess::~ChildProcess() {
  if (FWaited) return;
  Terminate();
  Wait();
}

void ChildProcess::Terminate() {
  if (FWaited) return;
  if (::kill(static_cast<pid_t>(FProcess), SIGKILL) == 0) FTerminated = true;
}

std::optional<std::uint32_t> ChildProcess::Wait() {
  if (FWaited) return std::nullopt;
  int status = 0;
  pid_t result;
  do {
    result = ::waitpid(static_cast<pid_t>(FProcess), &status, 0);
  } while (result < 0 && errno == EINTR);
  FWaited = true;
  if (result != static_cast<pid_t>(FProcess)) return std::nullopt;
  if (WIFEXITED(status)) return static_cast<std::uint32_t>(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) {
    int signal = WTERMSIG(status);
    if (FTerminated && signal == SIGKILL) return CancelledExitCode;
    return static_cast<std::uint32_t>(128 + signal);
  }
  return std::nullopt;
}

}  // namespace platform
