#include "repair/InterruptedRepair.h"

#include <algorithm>

#include "platform/Clock.h"
#include "platform/Files.h"
#include "repair/DatabaseHeader.h"
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
    if (databaseThere && !untouched && !LeftByTheRepair(marker))
      return Finish(texts::DatabaseMayHoldNewerWork(FPaths.Database, FPaths.SafetyCopy, FPaths.RepairMarker),
                    Outcome::Refused);
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

  // A state the marker records, or, in the rebuild, the file of a restore
  // that was running when the repair stopped: still shut down, or not yet a
  // database at all (nobody can have worked in either).
  bool LeftByTheRepair(const TRepairMarker& marker) const {
    const auto state = DatabaseStateOf(FPaths.Database);
    const auto& states = marker.DatabaseStates;
    if (state && std::find(states.begin(), states.end(), *state) != states.end()) return true;
    if (marker.Phase != TRepairPhase::Rebuild) return false;
    const auto header = ReadDatabaseHeader(FPaths.Database);
    return !header || header->ShutDown;
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
