// The file that marks a repair in progress. It is written, durably, once the
// safety copy is complete on stable storage, and removed only when the
// database is sound again; a marker found at the start of a run means the
// last repair was interrupted and the safety copy holds the original.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Files.h"
#include "repair/InstallPaths.h"
#include "repair/RepairHost.h"

struct TRepairMarker {
  // The size of the complete safety copy, when the marker could be read.
  std::optional<std::uint64_t> SafetyCopySize;
};

// Nothing when no repair is marked as in progress.
std::optional<TRepairMarker> ReadRepairMarker(const TInstallPaths& paths);

platform::TFileResult WriteRepairMarker(const TInstallPaths& paths, std::uint64_t safetyCopySize);

platform::TFileResult RemoveRepairMarker(const TInstallPaths& paths);

// Removes the marker; a failure goes to the log, with what to do about it.
void EndMarkedRepair(TRepairHost& host, const TInstallPaths& paths);
