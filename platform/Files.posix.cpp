#include "platform/Files.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/time.h>
#include <unistd.h>

#include "platform/Checksum.h"
#include "platform/UniqueFd.h"

namespace platform {
namespace {

TFileFailureKind KindOf(int error) {
  switch (error) {
    case ENOSPC:
    case EDQUOT: return TFileFailureKind::NoSpace;
    case EROFS: return TFileFailureKind::ReadOnly;
    case EACCES:
    case EPERM: return TFileFailureKind::AccessDenied;
    case EBUSY:
    case ETXTBSY:
    case EWOULDBLOCK: return TFileFailureKind::InUse;
    case ENOENT: return TFileFailureKind::NotFound;
    default: return TFileFailureKind::Other;
  }
}

TFileFailure Failure(int error) { return TFileFailure{KindOf(error), std::strerror(error)}; }

TFileResult WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return Failure(errno);
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return std::nullopt;
}

// Reads up to size bytes, fewer only at the end of the file; -1 on failure.
ssize_t ReadFull(int fd, char* buffer, size_t size) {
  size_t total = 0;
  while (total < size) {
    ssize_t got = ::read(fd, buffer + total, size - total);
    if (got < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (got == 0) break;
    total += static_cast<size_t>(got);
  }
  return static_cast<ssize_t>(total);
}

TFileResult CopyContents(int from, int to) {
  char buffer[1 << 16];
  for (;;) {
    ssize_t got = ReadFull(from, buffer, sizeof buffer);
    if (got < 0) return Failure(errno);
    if (got == 0) return std::nullopt;
    if (auto failure = WriteAll(to, buffer, static_cast<size_t>(got))) return failure;
  }
}

// Writes the temporary file completely and durably, then renames it.
TFileResult FinishTemporary(UniqueFd& file, const std::string& temporary, const std::string& target) {
  if (::fsync(file.Get()) != 0) return Failure(errno);
  if (file.Close() != 0) return Failure(errno);
  if (::rename(temporary.c_str(), target.c_str()) != 0) return Failure(errno);
  return SyncFolder(FolderOf(target));
}

TFileResult SyncDescriptorOf(const std::string& path, int flags) {
  UniqueFd file(::open(path.c_str(), flags | O_CLOEXEC));
  if (!file) return Failure(errno);
  if (::fsync(file.Get()) != 0) return Failure(errno);
  return std::nullopt;
}

// Opens an existing regular file, never through a link and never waiting on
// a FIFO; anything else fails (a link with ELOOP, a special file with EINVAL).
UniqueFd OpenRegular(const std::string& path, int flags) {
  UniqueFd file(::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!file) return file;
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    const int error = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    file.Close();
    errno = error;
    return file;
  }
  // Reads and writes of a regular file block as usual.
  ::fcntl(file.Get(), F_SETFL, ::fcntl(file.Get(), F_GETFL) & ~O_NONBLOCK);
  return file;
}

// Creates a file that must not exist yet, never through a link.
UniqueFd CreateExclusive(const std::string& path, mode_t mode) {
  return UniqueFd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
}

TFileResult ApplyOwnershipTo(int fd, const TFileOwnership& ownership) {
  if (::fchown(fd, ownership.Owner, ownership.Group) != 0 && errno != EPERM) return Failure(errno);
  if (::fchmod(fd, ownership.Mode & 07777) != 0) return Failure(errno);
  return std::nullopt;
}

TFileOwnership OwnershipFrom(const struct stat& info) {
  return TFileOwnership{static_cast<std::uint32_t>(info.st_uid), static_cast<std::uint32_t>(info.st_gid),
                        static_cast<std::uint32_t>(info.st_mode & 07777)};
}

}  // namespace

TFileFailure SystemFailure(std::uint32_t error) { return Failure(static_cast<int>(error)); }

bool FileExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

TFileKind KindOfFile(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return errno == ENOENT || errno == ENOTDIR ? TFileKind::Missing : TFileKind::Special;
  if (S_ISREG(info.st_mode)) return TFileKind::Regular;
  if (S_ISDIR(info.st_mode)) return TFileKind::Directory;
  if (S_ISLNK(info.st_mode)) return TFileKind::Link;
  return TFileKind::Special;
}

std::optional<TFileOwnership> OwnershipOf(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return OwnershipFrom(info);
}

// The owner and group first: changing them may clear set-id bits, which the
// mode then states again.
TFileResult ApplyOwnership(const std::string& path, const TFileOwnership& ownership) {
  UniqueFd file = OpenRegular(path, O_RDONLY);
  if (!file) return Failure(errno);
  return ApplyOwnershipTo(file.Get(), ownership);
}

TFileResult CreateNewFile(const std::string& path, const TFileOwnership& ownership) {
  UniqueFd file = CreateExclusive(path, 0600);
  if (!file) return Failure(errno);
  auto failure = ApplyOwnershipTo(file.Get(), ownership);
  if (!failure && file.Close() != 0) failure = Failure(errno);
  if (failure) ::unlink(path.c_str());
  return failure;
}

std::optional<std::uint64_t> FileChecksum(const std::string& path) {
  UniqueFd file = OpenRegular(path, O_RDONLY);
  if (!file) return std::nullopt;
  return ChecksumOfStream([&file](char* buffer, std::size_t size) { return ReadFull(file.Get(), buffer, size); });
}

std::optional<std::int64_t> ModificationTime(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return std::nullopt;
  return static_cast<std::int64_t>(info.st_mtime);
}

TFileResult TouchFile(const std::string& path) {
  UniqueFd file = OpenRegular(path, O_WRONLY);
  if (!file) return Failure(errno);
  if (::futimens(file.Get(), nullptr) != 0) return Failure(errno);
  return std::nullopt;
}

TFileResult DeleteFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0) return Failure(errno);
  return std::nullopt;
}

TFileResult RenameFile(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) return Failure(errno);
  return SyncFolder(FolderOf(to));
}

// A file system without the no-replace rename gets a look first.
TFileResult RenameToNewName(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
    if (errno != EINVAL) return Failure(errno);
    if (KindOfFile(to) != TFileKind::Missing) return Failure(EEXIST);
    if (::rename(from.c_str(), to.c_str()) != 0) return Failure(errno);
  }
  return SyncFolder(FolderOf(to));
}

std::string CopyTemporaryName(const std::string& target) { return target + ".copying"; }

// The umask does not apply: the copy gets exactly the source's bits. Owner
// and group follow where this process may set them (as root, or its own).
TFileResult CopyFile(const std::string& source, const std::string& target) {
  UniqueFd from = OpenRegular(source, O_RDONLY);
  if (!from) return Failure(errno);
  struct stat info {};
  if (::fstat(from.Get(), &info) != 0) return Failure(errno);
  if (KindOfFile(target) == TFileKind::Link) return Failure(ELOOP);

  const std::string temporary = CopyTemporaryName(target);
  UniqueFd to = CreateExclusive(temporary, 0600);
  if (!to) return Failure(errno);
  auto failure = ApplyOwnershipTo(to.Get(), OwnershipFrom(info));
  if (!failure) failure = CopyContents(from.Get(), to.Get());
  if (!failure) failure = FinishTemporary(to, temporary, target);
  if (failure) ::unlink(temporary.c_str());
  return failure;
}

TFileResult WriteFileDurably(const std::string& path, const std::string& content) {
  const std::string temporary = CopyTemporaryName(path);
  if (KindOfFile(path) == TFileKind::Link) return Failure(ELOOP);
  UniqueFd file = CreateExclusive(temporary, 0644);
  if (!file) return Failure(errno);
  auto failure = WriteAll(file.Get(), content.data(), content.size());
  if (!failure) failure = FinishTemporary(file, temporary, path);
  if (failure) ::unlink(temporary.c_str());
  return failure;
}

std::optional<std::string> ReadWholeFile(const std::string& path) { return ReadFileStart(path, SIZE_MAX); }

std::optional<std::string> ReadFileStart(const std::string& path, std::size_t most) {
  UniqueFd file = OpenRegular(path, O_RDONLY);
  if (!file) return std::nullopt;
  std::string content;
  char buffer[1 << 14];
  while (content.size() < most) {
    ssize_t got = ReadFull(file.Get(), buffer, std::min(sizeof buffer, most - content.size()));
    if (got < 0) return std::nullopt;
    if (got == 0) break;
    content.append(buffer, static_cast<size_t>(got));
  }
  return content;
}

TFileResult SyncFile(const std::string& path) {
  UniqueFd file = OpenRegular(path, O_RDONLY);
  if (!file) return Failure(errno);
  if (::fsync(file.Get()) != 0) return Failure(errno);
  return std::nullopt;
}

bool OnNetworkFileSystem(const std::string& folder) {
  struct statfs info {};
  if (::statfs(folder.c_str(), &info) != 0) return false;
  switch (static_cast<unsigned long>(info.f_type)) {
    case 0x6969:      // NFS
    case 0x517B:      // SMB
    case 0xFF534D42:  // CIFS
    case 0xFE534D42:  // SMB2
    case 0x01021997:  // 9P
    case 0x65735546:  // FUSE (sshfs and the like)
    case 0x00C36400:  // Ceph
    case 0x6B414653:  // AFS
      return true;
    default:
      return false;
  }
}

TFileResult SyncFolder(const std::string& path) {
  return SyncDescriptorOf(path.empty() ? std::string(".") : path, O_RDONLY | O_DIRECTORY);
}

bool SameContents(const std::string& first, const std::string& second) {
  UniqueFd a = OpenRegular(first, O_RDONLY);
  UniqueFd b = OpenRegular(second, O_RDONLY);
  if (!a || !b) return false;
  static constexpr size_t Block = 1 << 16;
  std::string left(Block, '\0'), right(Block, '\0');
  for (;;) {
    ssize_t gotA = ReadFull(a.Get(), left.data(), Block);
    ssize_t gotB = ReadFull(b.Get(), right.data(), Block);
    if (gotA < 0 || gotB < 0 || gotA != gotB) return false;
    if (gotA == 0) return true;
    if (std::memcmp(left.data(), right.data(), static_cast<size_t>(gotA)) != 0) return false;
  }
}

std::optional<std::uint64_t> FileSize(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return static_cast<std::uint64_t>(info.st_size);
}

std::optional<std::uint64_t> FreeDiskSpace(const std::string& path) {
  struct statvfs info {};
  if (::statvfs(path.c_str(), &info) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
}

bool IsReadOnlyFile(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return false;
  return (info.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0;
}

TFileUse FileUseByOthers(const std::string& path) {
  UniqueFd file = OpenRegular(path, O_RDONLY);
  if (!file) return TFileUse::Free;
  if (::flock(file.Get(), LOCK_EX | LOCK_NB) != 0) return errno == EWOULDBLOCK ? TFileUse::Written : TFileUse::Free;
  ::flock(file.Get(), LOCK_UN);
  return TFileUse::Free;
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

std::vector<std::string> RegularFileNames(const std::string& folder) {
  std::vector<std::string> names;
  DIR* listing = ::opendir(folder.c_str());
  if (listing == nullptr) return names;
  while (const dirent* entry = ::readdir(listing)) {
    const std::string name = entry->d_name;
    if (KindOfFile(folder + name) == TFileKind::Regular) names.push_back(name);
  }
  ::closedir(listing);
  return names;
}

TFileResult TAppendFile::CreateNew(const std::string& path, const TFileOwnership& ownership) {
  Close();
  UniqueFd file = CreateExclusive(path, 0600);
  if (!file) return Failure(errno);
  if (auto failure = ApplyOwnershipTo(file.Get(), ownership)) {
    ::unlink(path.c_str());
    return failure;
  }
  FFile = file.Release();
  return std::nullopt;
}

TFileResult TAppendFile::Append(const std::string& text) {
  if (FFile == NoHandle) return Failure(EBADF);
  return WriteAll(static_cast<int>(FFile), text.data(), text.size());
}

void TAppendFile::Close() {
  if (FFile != NoHandle) ::close(static_cast<int>(FFile));
  FFile = NoHandle;
}

}  // namespace platform
