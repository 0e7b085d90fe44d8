// File-system operations of the core. One interface; the POSIX implementation
// lives in Files.posix.cpp and a Win32 one can stand beside it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Process.h"

namespace platform {

// The path separator used inside relative names and at the end of a root.
#ifdef _WIN32
constexpr char PathSeparator = '\\';
#else
constexpr char PathSeparator = '/';
#endif

// The kinds of failure an operator can be told about in their own words.
enum class TFileFailureKind { NoSpace, ReadOnly, AccessDenied, InUse, NotFound, Other };

// Why a file operation failed: its kind and the system's own text.
struct TFileFailure {
  TFileFailureKind Kind = TFileFailureKind::Other;
  std::string Text;
};

using TFileResult = std::optional<TFileFailure>;  // nothing on success

// A system error code (errno, or GetLastError on Windows) as a failure.
TFileFailure SystemFailure(std::uint32_t error);

// True only for an existing file; a directory does not count. A link is
// followed (the install folder's tools are often links).
bool FileExists(const std::string& path);

// What stands at a path, looked at without following a link and without
// opening it (a FIFO never blocks the look). Windows reparse points count as
// links; devices and the like as special files.
enum class TFileKind { Missing, Regular, Directory, Link, Special };
TFileKind KindOfFile(const std::string& path);

// A file's owner, group and permission bits (POSIX). Windows keeps none of
// them here: a new file takes its folder's access rules.
struct TFileOwnership {
  std::uint32_t Owner = 0;
  std::uint32_t Group = 0;
  std::uint32_t Mode = 0;
};
std::optional<TFileOwnership> OwnershipOf(const std::string& path);

// Gives an existing regular file, never one reached through a link, the
// permission bits (never wider) and, where the process may, the owner and
// group.
TFileResult ApplyOwnership(const std::string& path, const TFileOwnership& ownership);

// Creates an empty regular file that must not exist yet, never through a
// link, with the given owner, group and permission bits.
TFileResult CreateNewFile(const std::string& path, const TFileOwnership& ownership);

// A 64-bit checksum of a file's whole content, or nothing when it cannot be read.
std::optional<std::uint64_t> FileChecksum(const std::string& path);

// A file's last modification, in seconds since 1970 (UTC), or nothing.
std::optional<std::int64_t> ModificationTime(const std::string& path);

// Sets a file's modification time to now.
TFileResult TouchFile(const std::string& path);

TFileResult DeleteFile(const std::string& path);

// Renames a file, replacing an existing target, and makes the new name
// durable (the folder is flushed).
TFileResult RenameFile(const std::string& from, const std::string& to);

// Renames a file to a name that must not exist yet, durably.
TFileResult RenameToNewName(const std::string& from, const std::string& to);

// Copies source to target, overwriting the target. Neither is reached
// through a link, and the source must be a regular file. The copy is
// written to CopyTemporaryName(target), created anew, flushed to stable storage with the source's
// permission bits (and owner and group, where the process may set them), and
// renamed over the target only when complete; the folder is flushed after
// the rename. A failed copy never leaves a truncated target behind.
TFileResult CopyFile(const std::string& source, const std::string& target);

// The name CopyFile writes to before the rename; an interrupted copy leaves it behind.
std::string CopyTemporaryName(const std::string& target);

// Writes a small text file durably (temporary name, flush, rename, folder flush).
TFileResult WriteFileDurably(const std::string& path, const std::string& content);

// The whole content of a file, or nothing when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);
// At most the first `most` bytes of a file.
std::optional<std::string> ReadFileStart(const std::string& path, std::size_t most);

// Flushes a file's data, or a folder's entries, to stable storage.
TFileResult SyncFile(const std::string& path);
TFileResult SyncFolder(const std::string& path);

// True when both files exist and hold the same bytes.
bool SameContents(const std::string& first, const std::string& second);

// Size in bytes of an existing file, or nothing.
std::optional<std::uint64_t> FileSize(const std::string& path);

// Bytes available to this process on the file system that holds path.
std::optional<std::uint64_t> FreeDiskSpace(const std::string& path);

// True when the folder lies on a network file system (an SMB or NFS share,
// a mapped network drive): there a byte-range lock may hold on this
// computer alone (NFS "nolock" or "local_lock", CIFS "nobrl").
bool OnNetworkFileSystem(const std::string& folder);

// True when the file may not be written: the read-only attribute on
// Windows; on POSIX no write bit at all, or no right to write for this
// process (root included: a file nobody may write is read-only to it too).
bool IsReadOnlyFile(const std::string& path);

// What other processes do with a file.
enum class TFileUse {
  Free,
  // Held for writing, or locked: a Firebird engine attached to a database
  // file holds it so.
  Written,
  // Open for reading only (a backup, a virus scanner, Explorer's preview).
  // On Windows that still keeps the file from being deleted or replaced; on
  // POSIX it never does, and the file counts as free.
  Read,
};
TFileUse FileUseByOthers(const std::string& path);

// True when another process uses the file in a way that keeps the repair
// from replacing it.
inline bool IsFileInUse(const std::string& path) { return FileUseByOthers(path) != TFileUse::Free; }

// Full path of the running program's own file.
std::string ProgramFilePath();

// The folder of the running program's own file, with its trailing separator.
std::string ProgramFolder();

// The folder part of a path, with its trailing separator; empty when the path
// names no folder.
std::string FolderOf(const std::string& path);

// The names of the regular files in a folder (no links, no folders), in no
// particular order; nothing when the folder cannot be read.
std::vector<std::string> RegularFileNames(const std::string& folder);

// A file made anew (exclusively, never through a link) with the given owner
// and bits, written at its end; each piece reaches the system before Append
// returns, so a killed program leaves what it had written.
class TAppendFile {
 public:
  TAppendFile() = default;
  ~TAppendFile();
  TAppendFile(TAppendFile&& other) noexcept;
  TAppendFile& operator=(TAppendFile&& other) noexcept;
  TAppendFile(const TAppendFile&) = delete;
  TAppendFile& operator=(const TAppendFile&) = delete;

  TFileResult CreateNew(const std::string& path, const TFileOwnership& ownership);
  TFileResult Append(const std::string& text);
  bool IsOpen() const { return FFile != NoHandle; }
  void Close();

 private:
  NativeHandle FFile = NoHandle;
};

}  // namespace platform
