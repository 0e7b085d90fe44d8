#include "kill/RepairChild.h"

#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <linux/magic.h>
#include <sys/inotify.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr int WatchSliceMilliseconds = 2;

std::vector<std::string> ChildEnvironment(const std::vector<std::string>& extra) {
  std::vector<std::string> entries;
  for (char** entry = environ; *entry != nullptr; ++entry) entries.emplace_back(*entry);
  entries.insert(entries.end(), extra.begin(), extra.end());
  return entries;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (auto& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

// A file of /proc may vanish under the reader (its process ends): what could
// be read, or nothing, never an error.
std::string ReadSmallFile(const std::string& path) {
  const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (file < 0) return "";
  std::string text;
  char buffer[4096];
  for (ssize_t got; (got = ::read(file, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(got));
  ::close(file);
  return text;
}

}  // namespace

std::string HeadlessRepairPath() { return HEADLESS_REPAIR_PATH; }

TRepairChild::TRepairChild(const std::string& folder, const std::vector<std::string>& environment)
    : FDataFolder(folder + "DATA/") {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  FOutput = ends[0];
  FWatch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ::inotify_add_watch(FWatch, FDataFolder.c_str(), IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_MODIFY);

  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
  ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawnattr_t attributes;
  ::posix_spawnattr_init(&attributes);
  ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  ::posix_spawnattr_setpgroup(&attributes, 0);
  std::vector<std::string> arguments{HeadlessRepairPath(), folder};
  std::vector<std::string> variables = ChildEnvironment(environment);
  const int failure = ::posix_spawn(&FPid, arguments[0].c_str(), &actions, &attributes, Pointers(arguments).data(),
                                    Pointers(variables).data());
  ::posix_spawn_file_actions_destroy(&actions);
  ::posix_spawnattr_destroy(&attributes);
  ::close(ends[1]);
  if (failure != 0) throw std::runtime_error("cannot start " + arguments[0]);
}

TRepairChild::~TRepairChild() {
  if (!FEnded && FPid > 0) {
    ::kill(-FPid, SIGKILL);
    Reap();
  }
  if (FOutput >= 0) ::close(FOutput);
  if (FWatch >= 0) ::close(FWatch);
}

// Reads what the child printed; false once its output has ended.
bool TRepairChild::ReadAvailable() {
  char buffer[4096];
  for (;;) {
    ssize_t got = ::read(FOutput, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    FPartial.append(buffer, static_cast<size_t>(got));
    for (std::size_t end; (end = FPartial.find('\n')) != std::string::npos;) {
      FLines.push_back(FPartial.substr(0, end));
      FPartial.erase(0, end + 1);
    }
    pollfd more{FOutput, POLLIN, 0};
    if (::poll(&more, 1, 0) <= 0) return true;
  }
}

bool TRepairChild::KillWhen(const TTrigger& trigger) {
  if (!WaitUntil(trigger)) return false;
  ::kill(-FPid, SIGKILL);
  Reap();
  return true;
}

void TRepairChild::Freeze() {
  ::kill(-FPid, SIGSTOP);
  siginfo_t state{};
  while (::waitid(P_PID, static_cast<id_t>(FPid), &state, WSTOPPED | WEXITED | WNOWAIT) < 0 && errno == EINTR) {
  }
  pollfd pending{FOutput, POLLIN, 0};
  if (!FEnded && ::poll(&pending, 1, 0) > 0) ReadAvailable();
}

void TRepairChild::Thaw() { ::kill(-FPid, SIGCONT); }

bool TRepairChild::KillProgramWhen(const TTrigger& trigger) {
  if (!WaitUntil(trigger)) return false;
  ::kill(FPid, SIGKILL);
  int status = 0;
  while (::waitpid(FPid, &status, 0) < 0 && errno == EINTR) {
  }
  FEnded = true;
  return true;
}

bool TRepairChild::WaitUntil(const TTrigger& trigger) {
  bool outputOpen = !FEnded;
  for (;;) {
    if (trigger(TView{FLines, FDataFolder, FPid})) return true;
    if (!outputOpen) {
      Reap();
      return false;
    }
    pollfd watched[2] = {{FOutput, POLLIN, 0}, {FWatch, POLLIN, 0}};
    if (::poll(watched, 2, WatchSliceMilliseconds) > 0) {
      if (watched[0].revents != 0) outputOpen = ReadAvailable();
      if (watched[1].revents != 0) {
        char events[4096];
        while (::read(FWatch, events, sizeof events) > 0) {
        }
      }
    }
  }
}

void TRepairChild::WaitForEnd() { KillWhen([](const TView&) { return false; }); }

void TRepairChild::Reap() {
  if (FEnded) return;
  int status = 0;
  while (::waitpid(FPid, &status, 0) < 0 && errno == EINTR) {
  }
  // Children of the group that outlived the repair (a gbak it started) go too.
  ::kill(-FPid, SIGKILL);
  FEnded = true;
  while (ReadAvailable()) {
  }
  if (!FPartial.empty()) FLines.push_back(FPartial);
  FPartial.clear();
}

bool TRepairChild::Shows(const std::string& prefix) const {
  for (const auto& line : FLines)
    if (line.rfind(prefix, 0) == 0) return true;
  return false;
}

void FillFileSystem(const std::string& folder) {
  struct statfs fileSystem {};
  // Only ever a small file system of the test's own, never a real disk.
  if (::statfs(folder.c_str(), &fileSystem) != 0 || fileSystem.f_type != TMPFS_MAGIC)
    throw std::runtime_error("refusing to fill " + folder + ": not a tmpfs of the test");
  const std::string path = folder + "filler";
  int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (file < 0) return;
  off_t end = ::lseek(file, 0, SEEK_END);
  for (off_t chunk = off_t{1} << 30; chunk >= 4096;) {
    if (::posix_fallocate(file, end, chunk) == 0) end += chunk;
    else chunk /= 2;
  }
  ::close(file);
}

bool GroupRunsTool(int groupId, const std::string& program, const std::string& argument) {
  DIR* processes = ::opendir("/proc");
  if (processes == nullptr) return false;
  bool found = false;
  while (dirent* entry = ::readdir(processes)) {
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
    const std::string base = std::string("/proc/") + entry->d_name;
    const std::string stat = ReadSmallFile(base + "/stat");
    const auto close = stat.rfind(')');
    if (close == std::string::npos) continue;
    int group = 0;
    char state = 0;
    int parent = 0;
    if (std::sscanf(stat.c_str() + close + 1, " %c %d %d", &state, &parent, &group) != 3 || group != groupId) continue;
    std::string commandLine = ReadSmallFile(base + "/cmdline");
    for (auto& c : commandLine)
      if (c == '\0') c = ' ';
    const auto slash = commandLine.find(program + " ");
    if (slash != std::string::npos && commandLine.find(" " + argument + " ") != std::string::npos) {
      found = true;
      break;
    }
  }
  ::closedir(processes);
  return found;
}
