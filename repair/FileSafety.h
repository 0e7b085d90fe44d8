// The file rules that keep the original database safe: the checks before the
// first change, the safety copy, and putting it back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/Files.h"
#include "repair/InstallPaths.h"

// The longest database path gbak keeps whole in a backup's header: a
// longer one is cut short there and the restore cannot read the backup.
constexpr std::size_t LongestDatabasePath = 254;

// Why the files of the repair are not what they must be (an operator-facing
// text naming the file), or nothing: the database a regular file, every
// other file the repair writes, reads or deletes in DATA either missing or a
// regular file, never a link, a folder or a special file.
std::optional<std::string> CheckRepairFiles(const TInstallPaths& paths);

// Removes what an interrupted copy left behind (never a complete file).
void RemoveCopyLeftovers(const TInstallPaths& paths);

// Why the database may not be replaced now because another program has it
// open (an operator-facing text naming that kind of program), or nothing.
std::optional<std::string> DatabaseHeldByOthers(const std::string& databasePath);

// Why the repair cannot start (an operator-facing text), or nothing: the
// database path must fit in a backup, no one may have the database open and
// the disk must have room. Nothing is deleted or changed by the check.
std::optional<std::string> CheckRepairCanStart(const TInstallPaths& paths);

// Deletes an old safety copy and takes a new one, complete and on stable
// storage. Why no sound safety copy exists afterwards, or nothing.
std::optional<std::string> TakeSafetyCopy(const TInstallPaths& paths);

// Puts the safety copy in place of the database. The database file, whatever
// is left of it, goes first so that the copy fits where the check said it
// would; the safety copy stays. Nothing is touched unless the safety copy
// still has the size it had when it was taken.
platform::TFileResult PutSafetyCopyInPlace(const TInstallPaths& paths, std::uint64_t safetyCopySize);

// True when the safety copy exists with the given size.
bool SafetyCopyIsComplete(const TInstallPaths& paths, std::uint64_t safetyCopySize);
