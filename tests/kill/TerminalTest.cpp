// The repair started from a shell, with a terminal: a backup cut short makes
// the embedded engine's restore ask for the next volume on the controlling
// terminal itself. The run must end with the restore's error and the safety
// copy back, never wait there.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

#include "kill/RepairChild.h"
#include "kill/WatchedInstall.h"
#include "platform/UniqueFd.h"

namespace {

using platform::UniqueFd;

// headless_repair in the foreground of a new pseudo-terminal, as a program
// started from a shell: a session leader holds the terminal, the repair is
// its child (not a session leader), its report lines on a pipe.
class TTerminalRun {
 public:
  explicit TTerminalRun(const std::string& folder) {
    FTerminal = UniqueFd(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!FTerminal || ::grantpt(FTerminal.Get()) != 0 || ::unlockpt(FTerminal.Get()) != 0)
      throw std::runtime_error("no pseudo-terminal");
    const std::string terminalName = ::ptsname(FTerminal.Get());
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    FReport = UniqueFd(report[0]);
    FLeader = ::fork();
    if (FLeader == 0) RunSession(terminalName, folder, report[1]);
    ::close(report[1]);
  }

  ~TTerminalRun() {
    if (FLeader > 0) {
      ::kill(-FLeader, SIGKILL);
      ::waitpid(FLeader, nullptr, 0);
    }
  }

  // Reads both sides until the report ends. False, at once, when the
  // terminal shows the restore's question.
  bool RunsToItsEndWithoutAsking() {
    std::string terminal;
    for (bool reportOpen = true; reportOpen;) {
      pollfd watched[2] = {{FReport.Get(), POLLIN, 0}, {FTerminal.Get(), POLLIN, 0}};
      if (::poll(watched, 2, -1) < 0 && errno != EINTR) return false;
      char buffer[4096];
      if (watched[1].revents & POLLIN) {
        const ssize_t got = ::read(FTerminal.Get(), buffer, sizeof buffer);
        if (got > 0) terminal.append(buffer, static_cast<size_t>(got));
        if (terminal.find("Name:") != std::string::npos) {
          Asked = terminal;
          return false;
        }
      }
      if (watched[0].revents & (POLLIN | POLLHUP)) {
        const ssize_t got = ::read(FReport.Get(), buffer, sizeof buffer);
        if (got <= 0) reportOpen = false;
        else Report.append(buffer, static_cast<size_t>(got));
      }
    }
    return true;
  }

  std::string Report;
  std::string Asked;

 private:
  [[noreturn]] static void RunSession(const std::string& terminalName, const std::string& folder, int report) {
    ::setsid();
    const int terminal = ::open(terminalName.c_str(), O_RDWR);  // becomes the session's terminal
    if (terminal < 0) ::_exit(120);
    const pid_t repair = ::fork();
    if (repair == 0) {
      ::dup2(terminal, STDIN_FILENO);
      ::dup2(report, STDOUT_FILENO);
      ::dup2(terminal, STDERR_FILENO);
      ::setenv("VYR_TEST_CUT_BACKUP", "1", 1);
      const std::string program = HeadlessRepairPath();
      ::execl(program.c_str(), program.c_str(), folder.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(report);
    int status = 0;
    while (::waitpid(repair, &status, 0) < 0 && errno == EINTR) {
    }
    ::_exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128);
  }

  UniqueFd FTerminal;
  UniqueFd FReport;
  pid_t FLeader = -1;
};

TEST(Terminal, ARestoreOfACutBackupNeverWaitsOnTheControllingTerminal) {
  TWatchedInstall install(20000);
  TTerminalRun run(install.Root());
  EXPECT_TRUE(run.RunsToItsEndWithoutAsking()) << "the restore asked on the terminal:\n" << run.Asked;
  EXPECT_NE(run.Report.find("BOX Có lỗi khi sửa dữ liệu! | Cơ sở dữ liệu đã được trả lại như trước khi sửa"),
            std::string::npos)
      << run.Report;
  EXPECT_TRUE(install.DatabaseHasTheOriginalRows());
}

}  // namespace
