#include "platform/Process.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace platform {
namespace {

thread_local std::uint32_t lastError = 0;

void CloseIfOpen(NativeHandle& fd) {
  if (fd >= 0) {
    ::close(static_cast<int>(fd));
    fd = NoHandle;
  }
}

// posix_spawn's file actions, released on every path.
class SpawnActions {
 public:
  SpawnActions() { FReady = ::posix_spawn_file_actions_init(&FActions) == 0; }
  ~SpawnActions() {
    if (FReady) ::posix_spawn_file_actions_destroy(&FActions);
  }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;

  // The child never waits on our standard input: it reads an empty one.
  bool RedirectOutput(int outputFd) {
    return FReady && ::posix_spawn_file_actions_addopen(&FActions, STDIN_FILENO, "/dev/null", O_RDONLY, 0) == 0 &&
           ::posix_spawn_file_actions_adddup2(&FActions, outputFd, STDOUT_FILENO) == 0 &&
           ::posix_spawn_file_actions_adddup2(&FActions, outputFd, STDERR_FILENO) == 0;
  }
  bool ChangeFolder(const std::string& folder) {
    return folder.empty() || ::posix_spawn_file_actions_addchdir_np(&FActions, folder.c_str()) == 0;
  }
  const posix_spawn_file_actions_t* Get() const { return &FActions; }

 private:
  posix_spawn_file_actions_t FActions;
  bool FReady = false;
};

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
  SpawnActions actions;
  if (!actions.RedirectOutput(static_cast<int>(output)) || !actions.ChangeFolder(workingFolder)) {
    lastError = static_cast<std::uint32_t>(errno);
    return nullptr;
  }
  std::vector<char*> argv;
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  // glibc's posix_spawn reports a failed exec as its own result, before the
  // child could write anything.
  pid_t pid = 0;
  int failure = ::posix_spawnp(&pid, argv[0], actions.Get(), nullptr, argv.data(), environ);
  if (failure != 0) {
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
