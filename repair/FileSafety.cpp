#include "repair/FileSafety.h"

#include <cstdint>

#include "repair/RepairTexts.h"

namespace {

std::uint64_t SizeOrZero(const std::string& path) { return platform::FileSize(path).value_or(0); }

std::uint64_t Less(std::uint64_t wanted, std::uint64_t reclaimed) { return wanted > reclaimed ? wanted - reclaimed : 0; }

// Two moments need room: the safety copy, once the old one is gone; and the
// backup beside it, once the old backup is gone too. The restore and a
// copy-back take the place of the deleted database, so they fit as well.
std::optional<std::string> CheckDiskSpace(const TInstallPaths& paths) {
  const auto available = platform::FreeDiskSpace(paths.DataFolder);
  if (!available) return std::nullopt;
  const std::uint64_t database = SizeOrZero(paths.Database);
  const std::uint64_t oldSafetyCopy = SizeOrZero(paths.SafetyCopy);
  const std::uint64_t oldBackup = SizeOrZero(paths.Backup);
  const std::uint64_t forSafetyCopy = Less(database, oldSafetyCopy);
  const std::uint64_t forBoth = Less(2 * database, oldSafetyCopy + oldBackup);
  if (*available < forSafetyCopy) return texts::NotEnoughDiskSpace(forSafetyCopy, *available);
  if (*available < forBoth) return texts::NotEnoughDiskSpace(forBoth, *available);
  return std::nullopt;
}

}  // namespace

std::optional<std::string> CheckRepairFiles(const TInstallPaths& paths) {
  using platform::TFileKind;
  for (const auto& target : {paths.Database, paths.SafetyCopy, paths.Backup, paths.RepairMarker}) {
    for (const auto& path : {target, platform::CopyTemporaryName(target)}) {
      const TFileKind kind = platform::KindOfFile(path);
      if (kind != TFileKind::Regular && kind != TFileKind::Missing) return texts::NotARegularFile(path);
    }
  }
  return std::nullopt;
}

void RemoveCopyLeftovers(const TInstallPaths& paths) {
  for (const auto& target : {paths.Database, paths.SafetyCopy, paths.RepairMarker}) {
    const std::string leftover = platform::CopyTemporaryName(target);
    if (platform::KindOfFile(leftover) == platform::TFileKind::Regular) platform::DeleteFile(leftover);
  }
}

std::optional<std::string> DatabaseHeldByOthers(const std::string& databasePath) {
  switch (platform::FileUseByOthers(databasePath)) {
    case platform::TFileUse::Free: return std::nullopt;
    case platform::TFileUse::Written: return texts::DatabaseInUse(databasePath);
    case platform::TFileUse::Read: return texts::DatabaseOpenForReading(databasePath);
  }
  return std::nullopt;
}

std::optional<std::string> CheckRepairCanStart(const TInstallPaths& paths) {
  if (paths.Database.size() > LongestDatabasePath)
    return texts::DatabasePathTooLong(paths.Database, paths.Database.size(), LongestDatabasePath);
  if (platform::IsReadOnlyFile(paths.Database)) return texts::DatabaseReadOnly(paths.Database);
  if (auto held = DatabaseHeldByOthers(paths.Database)) return held;
  return CheckDiskSpace(paths);
}

std::optional<std::string> TakeSafetyCopy(const TInstallPaths& paths) {
  if (platform::FileExists(paths.SafetyCopy)) {
    if (auto failure = platform::DeleteFile(paths.SafetyCopy))
      return texts::SafetyCopyFailed(paths.SafetyCopy + ": " + texts::Reason(*failure));
  }
  if (auto failure = platform::CopyFile(paths.Database, paths.SafetyCopy))
    return texts::SafetyCopyFailed(paths.SafetyCopy + ": " + texts::Reason(*failure));
  const std::uint64_t expected = SizeOrZero(paths.Database);
  const auto copied = platform::FileSize(paths.SafetyCopy);
  if (!copied) return texts::SafetyCopyFailed("không thấy file " + paths.SafetyCopy);
  if (*copied != expected) return texts::SafetyCopyIncomplete(*copied, expected);
  return std::nullopt;
}

bool SafetyCopyIsComplete(const TInstallPaths& paths, std::uint64_t safetyCopySize) {
  return platform::FileSize(paths.SafetyCopy) == safetyCopySize;
}

platform::TFileResult PutSafetyCopyInPlace(const TInstallPaths& paths, std::uint64_t safetyCopySize) {
  if (!SafetyCopyIsComplete(paths, safetyCopySize))
    return platform::TFileFailure{platform::TFileFailureKind::Other, "bản sao an toàn không còn hoặc không đầy đủ"};
  if (platform::FileExists(paths.Database)) {
    if (auto failure = platform::DeleteFile(paths.Database)) return failure;
  }
  return platform::CopyFile(paths.SafetyCopy, paths.Database);
}
