#include "platform/Files.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <windows.h>

#include "platform/Checksum.h"
#include "platform/ScopedHandle.h"
#include "platform/WideText.h"

// windows.h names its own functions CopyFile and DeleteFile by macros.
#undef CopyFile
#undef DeleteFile

namespace platform {
namespace {

TFileFailureKind KindOf(DWORD error) {
  switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return TFileFailureKind::NoSpace;
    case ERROR_WRITE_PROTECT: return TFileFailureKind::ReadOnly;
    case ERROR_ACCESS_DENIED: return TFileFailureKind::AccessDenied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return TFileFailureKind::InUse;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return TFileFailureKind::NotFound;
    default: return TFileFailureKind::Other;
  }
}

TFileFailure Failure(DWORD error) { return TFileFailure{KindOf(error), SystemErrorText(error)}; }
TFileFailure LastFailure() { return Failure(::GetLastError()); }

ScopedHandle OpenFile(const std::string& path, DWORD access, DWORD share, DWORD disposition, DWORD flags = 0) {
  return ScopedHandle(::CreateFileW(Widen(path).c_str(), access, share, nullptr, disposition,
                                    flags | FILE_ATTRIBUTE_NORMAL, nullptr));
}

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

ScopedHandle OpenForReading(const std::string& path) {
  return OpenFile(path, GENERIC_READ, ShareAll, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN);
}

TFileResult WriteAll(HANDLE file, const char* data, size_t size) {
  while (size > 0) {
    const DWORD chunk = size > (1u << 20) ? (1u << 20) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!::WriteFile(file, data, chunk, &written, nullptr)) return LastFailure();
    data += written;
    size -= written;
  }
  return std::nullopt;
}

// Reads up to size bytes, fewer only at the end of the file; -1 on failure.
long ReadFull(HANDLE file, char* buffer, DWORD size) {
  DWORD total = 0;
  while (total < size) {
    DWORD got = 0;
    if (!::ReadFile(file, buffer + total, size - total, &got, nullptr)) return -1;
    if (got == 0) break;
    total += got;
  }
  return static_cast<long>(total);
}

TFileResult CopyContents(HANDLE from, HANDLE to) {
  static constexpr DWORD Block = 1 << 16;
  std::string buffer(Block, '\0');
  for (;;) {
    const long got = ReadFull(from, buffer.data(), Block);
    if (got < 0) return LastFailure();
    if (got == 0) return std::nullopt;
    if (auto failure = WriteAll(to, buffer.data(), static_cast<size_t>(got))) return failure;
  }
}

// MOVEFILE_WRITE_THROUGH returns only once the new name is on the disk; the
// folder is flushed as well where its file system allows it.
TFileResult MoveDurably(const std::string& from, const std::string& to) {
  if (!::MoveFileExW(Widen(from).c_str(), Widen(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return LastFailure();
  return SyncFolder(FolderOf(to));
}

// Flushes and closes the temporary file, then puts it in place of the target.
TFileResult FinishTemporary(ScopedHandle& file, const std::string& temporary, const std::string& target) {
  if (!::FlushFileBuffers(file.Get())) return LastFailure();
  if (!file.Close()) return LastFailure();
  return MoveDurably(temporary, target);
}

void RemoveTemporary(const std::string& temporary) { ::DeleteFileW(Widen(temporary).c_str()); }

std::optional<WIN32_FILE_ATTRIBUTE_DATA> AttributesOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  return data;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// A reparse point (a symbolic link, a junction) is opened as itself.
ScopedHandle OpenRegular(const std::string& path, DWORD access) {
  auto attributes = AttributesOf(path);
  if (attributes && (attributes->dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY |
                                                     FILE_ATTRIBUTE_DEVICE))) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return ScopedHandle();
  }
  return OpenFile(path, access, ShareAll, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN);
}

// 100-nanosecond intervals since 1601 to seconds since 1970.
std::int64_t UnixSeconds(const FILETIME& time) {
  const std::uint64_t ticks = (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return static_cast<std::int64_t>(ticks / 10000000ULL) - 11644473600LL;
}

// Takes the read-only attribute off a file (never a folder); the attributes
// it had, or nothing where there was none to take off.
std::optional<DWORD> ClearReadOnly(const std::wstring& name) {
  const DWORD attributes = ::GetFileAttributesW(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY) ||
      (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return std::nullopt;
  if (!::SetFileAttributesW(name.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) return std::nullopt;
  return attributes;
}

}  // namespace

TFileFailure SystemFailure(std::uint32_t error) { return Failure(error); }

TFileKind KindOfFile(const std::string& path) {
  auto data = AttributesOf(path);
  if (!data) {
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? TFileKind::Missing : TFileKind::Special;
  }
  if (data->dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return TFileKind::Link;
  if (data->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return TFileKind::Directory;
  if (data->dwFileAttributes & FILE_ATTRIBUTE_DEVICE) return TFileKind::Special;
  return TFileKind::Regular;
}

std::optional<TFileOwnership> OwnershipOf(const std::string& path) {
  if (KindOfFile(path) != TFileKind::Regular) return std::nullopt;
  return TFileOwnership{};
}

TFileResult ApplyOwnership(const std::string& path, const TFileOwnership&) {
  if (KindOfFile(path) != TFileKind::Regular) return Failure(ERROR_ACCESS_DENIED);
  return std::nullopt;
}

TFileResult CreateNewFile(const std::string& path, const TFileOwnership&) {
  ScopedHandle file = OpenFile(path, GENERIC_WRITE, 0, CREATE_NEW, FILE_FLAG_OPEN_REPARSE_POINT);
  if (!file) return LastFailure();
  if (!file.Close()) return LastFailure();
  return std::nullopt;
}

std::optional<std::uint64_t> FileChecksum(const std::string& path) {
  ScopedHandle file = OpenRegular(path, GENERIC_READ);
  if (!file) return std::nullopt;
  return ChecksumOfStream(
      [&file](char* buffer, std::size_t size) { return ReadFull(file.Get(), buffer, static_cast<DWORD>(size)); });
}

std::optional<std::int64_t> ModificationTime(const std::string& path) {
  auto data = AttributesOf(path);
  if (!data) return std::nullopt;
  return UnixSeconds(data->ftLastWriteTime);
}

TFileResult TouchFile(const std::string& path) {
  ScopedHandle file = OpenRegular(path, FILE_WRITE_ATTRIBUTES);
  if (!file) return LastFailure();
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  if (!::SetFileTime(file.Get(), nullptr, nullptr, &now)) return LastFailure();
  return std::nullopt;
}

bool FileExists(const std::string& path) {
  auto data = AttributesOf(path);
  return data && (data->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Every file the repair deletes is its own by then (the database is refused
// at the start when it is read-only): a read-only attribute, carried over by
// an earlier version's copy or set by anyone, does not keep it.
TFileResult DeleteFile(const std::string& path) {
  const std::wstring name = Widen(path);
  if (::DeleteFileW(name.c_str())) return std::nullopt;
  const DWORD error = ::GetLastError();
  const auto before = error == ERROR_ACCESS_DENIED ? ClearReadOnly(name) : std::nullopt;
  if (!before) return Failure(error);
  if (::DeleteFileW(name.c_str())) return std::nullopt;
  const TFileFailure failure = LastFailure();
  ::SetFileAttributesW(name.c_str(), *before);
  return failure;
}

TFileResult RenameFile(const std::string& from, const std::string& to) { return MoveDurably(from, to); }

TFileResult RenameToNewName(const std::string& from, const std::string& to) {
  if (!::MoveFileExW(Widen(from).c_str(), Widen(to).c_str(), MOVEFILE_WRITE_THROUGH)) return LastFailure();
  return SyncFolder(FolderOf(to));
}

std::string CopyTemporaryName(const std::string& target) { return target + ".copying"; }

// The copy takes the source's attributes (hidden, archive) once its data is
// flushed, before it gets the target's name; never the read-only one, which
// would keep the next run from replacing it.
TFileResult CopyFile(const std::string& source, const std::string& target) {
  auto attributes = AttributesOf(source);
  if (!attributes) return LastFailure();
  if (attributes->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return Failure(ERROR_ACCESS_DENIED);
  ScopedHandle from = OpenRegular(source, GENERIC_READ);
  if (!from) return LastFailure();
  if (KindOfFile(target) == TFileKind::Link) return Failure(ERROR_ACCESS_DENIED);

  const std::string temporary = CopyTemporaryName(target);
  ScopedHandle to = OpenFile(temporary, GENERIC_WRITE, 0, CREATE_NEW, FILE_FLAG_OPEN_REPARSE_POINT);
  if (!to) return LastFailure();
  auto failure = CopyContents(from.Get(), to.Get());
  if (!failure && !::FlushFileBuffers(to.Get())) failure = LastFailure();
  if (!failure && !to.Close()) failure = LastFailure();
  DWORD kept = attributes->dwFileAttributes & ~FILE_ATTRIBUTE_READONLY;
  if (kept == 0) kept = FILE_ATTRIBUTE_NORMAL;
  if (!failure && !::SetFileAttributesW(Widen(temporary).c_str(), kept)) failure = LastFailure();
  if (!failure) {
    // A read-only target of the repair's own (an old safety copy) is
    // replaced all the same.
    ClearReadOnly(Widen(target));
    failure = MoveDurably(temporary, target);
  }
  if (failure) {
    to.Close();
    ::SetFileAttributesW(Widen(temporary).c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveTemporary(temporary);
  }
  return failure;
}

TFileResult WriteFileDurably(const std::string& path, const std::string& content) {
  const std::string temporary = CopyTemporaryName(path);
  if (KindOfFile(path) == TFileKind::Link) return Failure(ERROR_ACCESS_DENIED);
  ScopedHandle file = OpenFile(temporary, GENERIC_WRITE, 0, CREATE_NEW, FILE_FLAG_OPEN_REPARSE_POINT);
  if (!file) return LastFailure();
  auto failure = WriteAll(file.Get(), content.data(), content.size());
  if (!failure) failure = FinishTemporary(file, temporary, path);
  if (failure) {
    file.Close();
    RemoveTemporary(temporary);
  }
  return failure;
}

std::optional<std::string> ReadWholeFile(const std::string& path) { return ReadFileStart(path, SIZE_MAX); }

std::optional<std::string> ReadFileStart(const std::string& path, std::size_t most) {
  ScopedHandle file = OpenForReading(path);
  if (!file) return std::nullopt;
  std::string content;
  std::string buffer(1 << 14, '\0');
  while (content.size() < most) {
    const std::size_t want = (std::min)(buffer.size(), most - content.size());
    const long got = ReadFull(file.Get(), buffer.data(), static_cast<DWORD>(want));
    if (got < 0) return std::nullopt;
    if (got == 0) break;
    content.append(buffer.data(), static_cast<size_t>(got));
  }
  return content;
}

// A read-only file cannot be opened for writing, and holds nothing written
// through this program to flush.
TFileResult SyncFile(const std::string& path) {
  ScopedHandle file = OpenFile(path, GENERIC_WRITE, ShareAll, OPEN_EXISTING);
  if (!file && ::GetLastError() == ERROR_ACCESS_DENIED && IsReadOnlyFile(path)) return std::nullopt;
  if (!file) return LastFailure();
  if (!::FlushFileBuffers(file.Get())) return LastFailure();
  return std::nullopt;
}

// A folder's entries reach the disk through a handle on the folder itself,
// opened with backup semantics and flushed, as NTFS allows. Renames here are
// written through (MOVEFILE_WRITE_THROUGH) already; the flush also covers a
// deletion (the marker's removal). File systems that refuse to open or flush
// a folder (FAT, many network shares: access denied, invalid function or
// parameter) write their entries through on their own terms: the folder then
// only has to exist.
TFileResult SyncFolder(const std::string& path) {
  const std::string folder = path.empty() ? std::string(".") : path;
  auto data = AttributesOf(folder);
  if (!data) return LastFailure();
  ScopedHandle handle = OpenFile(folder, GENERIC_READ | GENERIC_WRITE, ShareAll, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  if (!handle) return std::nullopt;
  if (!::FlushFileBuffers(handle.Get())) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_ACCESS_DENIED || error == ERROR_INVALID_FUNCTION || error == ERROR_INVALID_PARAMETER ||
        error == ERROR_NOT_SUPPORTED)
      return std::nullopt;
    return Failure(error);
  }
  return std::nullopt;
}

bool SameContents(const std::string& first, const std::string& second) {
  ScopedHandle a = OpenForReading(first);
  ScopedHandle b = OpenForReading(second);
  if (!a || !b) return false;
  static constexpr DWORD Block = 1 << 16;
  std::string left(Block, '\0'), right(Block, '\0');
  for (;;) {
    const long gotA = ReadFull(a.Get(), left.data(), Block);
    const long gotB = ReadFull(b.Get(), right.data(), Block);
    if (gotA < 0 || gotB < 0 || gotA != gotB) return false;
    if (gotA == 0) return true;
    if (std::memcmp(left.data(), right.data(), static_cast<size_t>(gotA)) != 0) return false;
  }
}

std::optional<std::uint64_t> FileSize(const std::string& path) {
  auto data = AttributesOf(path);
  if (!data || (data->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return std::nullopt;
  return (static_cast<std::uint64_t>(data->nFileSizeHigh) << 32) | data->nFileSizeLow;
}

// GetDiskFreeSpaceExW wants a folder: a file's own folder stands for it.
std::optional<std::uint64_t> FreeDiskSpace(const std::string& path) {
  std::string folder = FileExists(path) ? FolderOf(path) : path;
  if (folder.empty()) folder = ".";
  ULARGE_INTEGER available{};
  if (!::GetDiskFreeSpaceExW(Widen(folder).c_str(), &available, nullptr, nullptr)) return std::nullopt;
  return static_cast<std::uint64_t>(available.QuadPart);
}

bool IsReadOnlyFile(const std::string& path) {
  auto data = AttributesOf(path);
  return data && (data->dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
}

// An open that asks for exclusive use fails with a sharing violation while
// anyone else has the file open; one that only keeps writers out fails so
// while someone writes it (a Firebird engine opens its database for
// writing and lets others read at most).
TFileUse FileUseByOthers(const std::string& path) {
  if (OpenFile(path, GENERIC_READ, 0, OPEN_EXISTING) || ::GetLastError() != ERROR_SHARING_VIOLATION)
    return TFileUse::Free;
  const ScopedHandle reader = OpenFile(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING);
  return !reader && ::GetLastError() == ERROR_SHARING_VIOLATION ? TFileUse::Written : TFileUse::Read;
}

std::string ProgramFilePath() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::string();
    if (length < buffer.size()) {
      buffer.resize(length);
      return Narrow(buffer);
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string ProgramFolder() { return FolderOf(ProgramFilePath()); }

std::string FolderOf(const std::string& path) {
  for (size_t i = path.size(); i > 0; --i)
    if (IsSeparator(path[i - 1])) return path.substr(0, i);
  return std::string();
}

std::vector<std::string> RegularFileNames(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found{};
  HANDLE search = ::FindFirstFileW(Widen(folder + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const DWORD attributes = found.dwFileAttributes;
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) == 0)
      names.push_back(Narrow(found.cFileName));
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return names;
}

// Others may read the log while it is written.
TFileResult TAppendFile::CreateNew(const std::string& path, const TFileOwnership&) {
  Close();
  ScopedHandle file = OpenFile(path, FILE_APPEND_DATA, FILE_SHARE_READ, CREATE_NEW, FILE_FLAG_OPEN_REPARSE_POINT);
  if (!file) return LastFailure();
  FFile = reinterpret_cast<NativeHandle>(file.Release());
  return std::nullopt;
}

TFileResult TAppendFile::Append(const std::string& text) {
  if (FFile == NoHandle) return Failure(ERROR_INVALID_HANDLE);
  return WriteAll(reinterpret_cast<HANDLE>(FFile), text.data(), text.size());
}

void TAppendFile::Close() {
  if (FFile != NoHandle) ::CloseHandle(reinterpret_cast<HANDLE>(FFile));
  FFile = NoHandle;
}

// A UNC path, or a drive the system calls remote (a mapped network drive).
bool OnNetworkFileSystem(const std::string& folder) {
  const std::wstring name = Widen(folder);
  if (name.rfind(L"\\\\", 0) == 0 || name.rfind(L"//", 0) == 0) return true;
  wchar_t volume[MAX_PATH + 1] = {};
  if (!::GetVolumePathNameW(name.c_str(), volume, MAX_PATH)) return false;
  return ::GetDriveTypeW(volume) == DRIVE_REMOTE;
}

}  // namespace platform
