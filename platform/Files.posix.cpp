#include "platform/Files.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "platform/UniqueFd.h"

namespace platform {
namespace {

std::string SystemReason(int error) { return std::strerror(error); }

std::optional<std::string> WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return SystemReason(errno);
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return std::nullopt;
}

std::optional<std::string> CopyContents(int from, int to) {
  char buffer[1 << 16];
  for (;;) {
    ssize_t got = ::read(from, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      return SystemReason(errno);
    }
    if (got == 0) return std::nullopt;
    if (auto failure = WriteAll(to, buffer, static_cast<size_t>(got))) return failure;
  }
}

}  // namespace

bool FileExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

std::optional<std::string> DeleteFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0) return SystemReason(errno);
  return std::nullopt;
}

std::optional<std::string> CopyFile(const std::string& source, const std::string& target) {
  UniqueFd from(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
  if (!from) return SystemReason(errno);
  struct stat info {};
  if (::fstat(from.Get(), &info) != 0) return SystemReason(errno);
  if (S_ISDIR(info.st_mode)) return SystemReason(EISDIR);

  const std::string temporary = target + ".copying";
  UniqueFd to(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, info.st_mode & 07777));
  if (!to) return SystemReason(errno);
  auto failure = CopyContents(from.Get(), to.Get());
  if (!failure && ::fsync(to.Get()) != 0) failure = SystemReason(errno);
  if (!failure && to.Close() != 0) failure = SystemReason(errno);
  if (!failure && ::rename(temporary.c_str(), target.c_str()) != 0) failure = SystemReason(errno);
  if (failure) ::unlink(temporary.c_str());
  return failure;
}

std::optional<std::uint64_t> FileSize(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return std::nullopt;
  return static_cast<std::uint64_t>(info.st_size);
}

std::optional<std::uint64_t> FreeDiskSpace(const std::string& path) {
  struct statvfs info {};
  if (::statvfs(path.c_str(), &info) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
}

bool IsFileInUse(const std::string& path) {
  UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file) return false;
  if (::flock(file.Get(), LOCK_EX | LOCK_NB) != 0) return errno == EWOULDBLOCK;
  ::flock(file.Get(), LOCK_UN);
  return false;
}

std::string ProgramFilePath() {
  std::string buffer(4096, '\0');
  ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (length <= 0) return std::string();
  buffer.resize(static_cast<size_t>(length));
  return buffer;
}

std::string ProgramFolder() { return FolderOf(ProgramFilePath()); }

std::string FolderOf(const std::string& path) {
  auto slash = path.find_last_of(PathSeparator);
  if (slash == std::string::npos) return std::string();
  return path.substr(0, slash + 1);
}

}  // namespace platform
