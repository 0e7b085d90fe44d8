#include "repair/InterruptedRepair.h"

#include "platform/Clock.h"
#include "platform/Files.h"
#include "repair/FileSafety.h"
#include "repair/RepairTexts.h"

namespace {

std::string AsideName(const TInstallPaths& paths) {
  std::string name = paths.DataFolder + "VYR_HONG_" + platform::LocalTimeStamp();
  std::string candidate = name + ".FDB";
  for (int n = 2; platform::KindOfFile(candidate) != platform::TFileKind::Missing; ++n)
    candidate = name + "_" + std::to_string(n) + ".FDB";
  return candidate;
}

class TUndo {
 public:
  TUndo(TRepairHost& host, const TInstallPaths& paths) : FHost(host), FPaths(paths) {}

  TRepairOutcome Run(const TRepairMarker& marker) {
    using Outcome = TRepairOutcome;
    Say(texts::InterruptedRepairFound);
    if (marker.SafetyCopyChecksum) Say(texts::InterruptedRepairStopped(PhaseName(marker.Phase)));
    if (!SafetyCopyIsTheMarkedOne(marker))
      return Finish(texts::SafetyCopyOfInterruptedRepairMissing(FPaths.SafetyCopy, FPaths.RepairMarker), Outcome::Refused);
    const bool databaseThere = platform::FileExists(FPaths.Database);
    if (auto held = databaseThere ? DatabaseHeldByOthers(FPaths.Database) : std::nullopt)
      return Finish(*held, Outcome::Refused);
    const bool untouched = databaseThere && platform::SameContents(FPaths.Database, FPaths.SafetyCopy);
    if (databaseThere && !untouched && WrittenAfterTheRepairStopped(marker))
      return Finish(ChangedLater(marker), Outcome::Refused);
    if (auto failure = PutOriginalBack(untouched))
      return Finish(texts::InterruptedRepairNotUndone(FPaths.SafetyCopy, *failure), Outcome::FailedOriginalInSafetyCopy);
    if (auto stays = EndMarkedRepair(FHost, FPaths)) FSaid += "\r" + *stays;
    return Finish(texts::InterruptedRepairUndone(FPaths.SafetyCopy), Outcome::FailedAsBefore);
  }

 private:
  bool SafetyCopyIsTheMarkedOne(const TRepairMarker& marker) const {
    if (!marker.SafetyCopySize || !SafetyCopyIsComplete(FPaths, *marker.SafetyCopySize)) return false;
    return !marker.SafetyCopyChecksum || platform::FileChecksum(FPaths.SafetyCopy) == marker.SafetyCopyChecksum;
  }

  // Where either time is unknown the database counts as written later.
  bool WrittenAfterTheRepairStopped(const TRepairMarker& marker) const {
    const auto written = platform::ModificationTime(FPaths.Database);
    if (!written || !marker.LastSignOfLife) return true;
    return *written > *marker.LastSignOfLife + LatestRepairWriteAfterSignOfLife;
  }

  std::string ChangedLater(const TRepairMarker& marker) const {
    const auto written = platform::ModificationTime(FPaths.Database);
    const auto text = [](const std::optional<std::int64_t>& time) {
      return time ? platform::LocalTimeText(*time) : std::string("?");
    };
    return texts::DatabaseChangedAfterInterruptedRepair(FPaths.Database, text(written), text(marker.LastSignOfLife),
                                                        FPaths.SafetyCopy, FPaths.RepairMarker);
  }

  // Why the original is not back as the database, or nothing.
  std::optional<std::string> PutOriginalBack(bool untouched) {
    if (untouched) return Reason(platform::SyncFile(FPaths.Database));
    if (platform::FileExists(FPaths.Database)) {
      const std::string aside = AsideName(FPaths);
      if (auto failure = platform::RenameToNewName(FPaths.Database, aside)) return texts::Reason(*failure);
      Say(texts::BrokenDatabaseKeptAside(aside));
    }
    return Reason(platform::CopyFile(FPaths.SafetyCopy, FPaths.Database));
  }

  static std::optional<std::string> Reason(const platform::TFileResult& result) {
    if (!result) return std::nullopt;
    return texts::Reason(*result);
  }

  void Say(const std::string& line) {
    FHost.AddLog(line);
    FSaid += (FSaid.empty() ? "" : "\r") + line;
  }

  TRepairOutcome Finish(const std::string& line, TRepairOutcome outcome) {
    Say(line);
    FHost.ShowMessage(FSaid);
    return outcome;
  }

  TRepairHost& FHost;
  const TInstallPaths& FPaths;
  std::string FSaid;
};

}  // namespace

TRepairOutcome UndoInterruptedRepair(TRepairHost& host, const TInstallPaths& paths, const TRepairMarker& marker) {
  return TUndo(host, paths).Run(marker);
}
