#include "repair/FileSafety.h"

#include <cstdint>

#include "platform/Files.h"
#include "repair/RepairTexts.h"

namespace {

std::uint64_t SizeOrZero(const std::string& path) { return platform::FileSize(path).value_or(0); }

// Room for the safety copy and the backup, less what deleting the old ones frees.
std::optional<std::string> CheckDiskSpace(const TInstallPaths& paths) {
  const std::uint64_t database = SizeOrZero(paths.Database);
  const std::uint64_t reclaimed = SizeOrZero(paths.SafetyCopy) + SizeOrZero(paths.Backup);
  const std::uint64_t wanted = 2 * database;
  const std::uint64_t needed = wanted > reclaimed ? wanted - reclaimed : 0;
  const auto available = platform::FreeDiskSpace(paths.DataFolder);
  if (!available || *available >= needed) return std::nullopt;
  return texts::NotEnoughDiskSpace(needed, *available);
}

}  // namespace

std::optional<std::string> CheckRepairCanStart(const TInstallPaths& paths) {
  if (platform::IsFileInUse(paths.Database)) return texts::DatabaseInUse(paths.Database);
  return CheckDiskSpace(paths);
}

std::optional<std::string> TakeSafetyCopy(const TInstallPaths& paths) {
  if (platform::FileExists(paths.SafetyCopy)) platform::DeleteFile(paths.SafetyCopy);
  if (auto reason = platform::CopyFile(paths.Database, paths.SafetyCopy)) return texts::SafetyCopyFailed(*reason);
  const std::uint64_t expected = SizeOrZero(paths.Database);
  const auto copied = platform::FileSize(paths.SafetyCopy);
  if (!copied) return texts::SafetyCopyFailed("không thấy file " + paths.SafetyCopy);
  if (*copied != expected) return texts::SafetyCopyIncomplete(*copied, expected);
  return std::nullopt;
}

std::optional<std::string> RestoreSafetyCopy(const TInstallPaths& paths) {
  if (auto reason = platform::CopyFile(paths.SafetyCopy, paths.Database))
    return texts::CopyBackFailed(paths.SafetyCopy, *reason);
  return std::nullopt;
}
