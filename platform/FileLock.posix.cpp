#include "platform/FileLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

// An open-file-description lock belongs to this open file, not to the
// process, so two opens in one process exclude each other too; a file
// system without them gets the classic process lock.
bool LockWholeFile(int fd) {
  struct flock whole {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;
  if (::fcntl(fd, F_OFD_SETLK, &whole) == 0) return true;
  if (errno != EINVAL && errno != ENOLCK) return false;
  whole.l_pid = 0;
  return ::fcntl(fd, F_SETLK, &whole) == 0;
}

// Best effort: a lock file that keeps our owner and bits still locks; the
// database's let whoever may repair it lock it next time.
void GiveOwnership(int fd, const TFileOwnership& ownership) {
  if (::fchown(fd, ownership.Owner, ownership.Group) == 0 || errno == EPERM) ::fchmod(fd, ownership.Mode & 0666);
}

// True while the name still leads to the open file: a lock taken on a file
// that was deleted or replaced in the meantime locks nothing anyone sees.
bool StillAtItsName(int fd, const std::string& path) {
  struct stat open {}, named {};
  return ::fstat(fd, &open) == 0 && ::lstat(path.c_str(), &named) == 0 && open.st_dev == named.st_dev &&
         open.st_ino == named.st_ino;
}

constexpr int LockAttempts = 3;

}  // namespace

TFileLock::TFileLock(const std::string& path, const TFileOwnership& ownership) {
  for (int attempt = 0; attempt < LockAttempts; ++attempt) {
    if (FFile != NoHandle) ::close(static_cast<int>(FFile));
    FFile = NoHandle;
    if (!TryOnce(path, ownership)) return;
  }
  FState = TState::HeldElsewhere;  // the name kept changing under us: someone else is at it
}

// False once the state is settled; true when the locked file was no longer
// the one at the name, and it is worth another try.
bool TFileLock::TryOnce(const std::string& path, const TFileOwnership& ownership) {
  const bool created = KindOfFile(path) == TFileKind::Missing;
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
  if (fd < 0) {
    FFailure = SystemFailure(errno);
    return false;
  }
  FFile = fd;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    FFailure = SystemFailure(EINVAL);
    return false;
  }
  if (created) GiveOwnership(fd, ownership);
  if (LockWholeFile(fd)) {
    if (!StillAtItsName(fd, path)) return true;
    FState = TState::Taken;
  } else if (errno == EAGAIN || errno == EACCES) {
    FState = TState::HeldElsewhere;
  } else {
    FFailure = SystemFailure(errno);
  }
  return false;
}

TFileLock::~TFileLock() {
  if (FFile != NoHandle) ::close(static_cast<int>(FFile));
}

}  // namespace platform
