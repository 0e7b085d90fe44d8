// File-system operations of the core. One interface; the POSIX implementation
// lives in Files.posix.cpp and a Win32 one can stand beside it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// The path separator used inside relative names and at the end of a root.
constexpr char PathSeparator = '/';

// True only for an existing file; a directory does not count.
bool FileExists(const std::string& path);

// Deletes a file. Returns the system's reason on failure, nothing on success.
std::optional<std::string> DeleteFile(const std::string& path);

// Copies source to target, overwriting the target. The copy is written to a
// temporary name beside the target and renamed over it only when complete,
// so a failed copy never leaves a truncated target behind.
// Returns the system's reason on failure, nothing on success.
std::optional<std::string> CopyFile(const std::string& source, const std::string& target);

// Size in bytes of an existing file, or nothing.
std::optional<std::uint64_t> FileSize(const std::string& path);

// Bytes available to this process on the file system that holds path.
std::optional<std::uint64_t> FreeDiskSpace(const std::string& path);

// True when another process holds the file open for exclusive use. A Firebird
// engine attached to a database file holds an exclusive lock on it.
bool IsFileInUse(const std::string& path);

// Full path of the running program's own file.
std::string ProgramFilePath();

// The folder of the running program's own file, with its trailing separator.
std::string ProgramFolder();

// The folder part of a path, with its trailing separator; empty when the path
// names no folder.
std::string FolderOf(const std::string& path);

}  // namespace platform
