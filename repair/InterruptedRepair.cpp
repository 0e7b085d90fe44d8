#include "repair/InterruptedRepair.h"

#include "platform/Clock.h"
#include "platform/Files.h"
#include "repair/FileSafety.h"
#include "repair/RepairTexts.h"

namespace {

std::string AsideName(const TInstallPaths& paths) {
  std::string name = paths.DataFolder + "VYR_HONG_" + platform::LocalTimeStamp();
  std::string candidate = name + ".FDB";
  for (int n = 2; platform::FileExists(candidate); ++n) candidate = name + "_" + std::to_string(n) + ".FDB";
  return candidate;
}

class TUndo {
 public:
  TUndo(TRepairHost& host, const TInstallPaths& paths) : FHost(host), FPaths(paths) {}

  void Run(const TRepairMarker& marker) {
    Say(texts::InterruptedRepairFound);
    if (!marker.SafetyCopySize || !SafetyCopyIsComplete(FPaths, *marker.SafetyCopySize))
      return Finish(texts::SafetyCopyOfInterruptedRepairMissing(FPaths.SafetyCopy, FPaths.RepairMarker));
    if (platform::FileExists(FPaths.Database) && platform::IsFileInUse(FPaths.Database))
      return Finish(texts::DatabaseInUse(FPaths.Database));
    if (auto failure = PutOriginalBack()) return Finish(texts::InterruptedRepairNotUndone(FPaths.SafetyCopy, *failure));
    EndMarkedRepair(FHost, FPaths);
    Finish(texts::InterruptedRepairUndone(FPaths.SafetyCopy));
  }

 private:
  // Why the original is not back as the database, or nothing.
  std::optional<std::string> PutOriginalBack() {
    if (platform::FileExists(FPaths.Database)) {
      if (platform::SameContents(FPaths.Database, FPaths.SafetyCopy)) return Reason(platform::SyncFile(FPaths.Database));
      const std::string aside = AsideName(FPaths);
      if (auto failure = platform::RenameFile(FPaths.Database, aside)) return texts::Reason(*failure);
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

  void Finish(const std::string& line) {
    Say(line);
    FHost.ShowMessage(FSaid);
  }

  TRepairHost& FHost;
  const TInstallPaths& FPaths;
  std::string FSaid;
};

}  // namespace

void UndoInterruptedRepair(TRepairHost& host, const TInstallPaths& paths, const TRepairMarker& marker) {
  TUndo(host, paths).Run(marker);
}
