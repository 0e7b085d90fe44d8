// The file that marks a repair in progress. It is written, durably, once the
// safety copy is complete on stable storage; it names that safety copy (size
// and checksum), the phase the repair has reached and every state (size and
// checksum) the repair itself left the database in, and its modification
// time is kept fresh while the repair runs. A repair that completes says so
// in the marker before removing it, so a marker that could not be removed is
// never taken for an interrupted repair.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "repair/InstallPaths.h"
#include "repair/RepairHost.h"

enum class TRepairPhase { SafetyCopy, Gfix, DataRepair, Rebuild, Completed };

// What identifies a database file's content.
struct TDatabaseState {
  std::uint64_t Size = 0;
  std::uint64_t Checksum = 0;
  bool operator==(const TDatabaseState& other) const { return Size == other.Size && Checksum == other.Checksum; }
};

// Nothing when the file cannot be read.
std::optional<TDatabaseState> DatabaseStateOf(const std::string& path);

struct TRepairMarker {
  // Both absent when the file is no marker of ours; the checksum is absent
  // in markers written by the earlier version, which recorded the size only.
  std::optional<std::uint64_t> SafetyCopySize;
  std::optional<std::uint64_t> SafetyCopyChecksum;
  TRepairPhase Phase = TRepairPhase::SafetyCopy;
  // Each state the repair left the database in, after each step that wrote
  // it (an attach writes the header page): only a database in one of them
  // is known to hold nothing newer than the repair's own work.
  std::vector<TDatabaseState> DatabaseStates;
  // The marker's modification time: the last sign of life of its repair.
  std::optional<std::int64_t> LastSignOfLife;
};

// How often a running repair refreshes the marker's modification time.
constexpr unsigned MarkerRefreshSeconds = 20;

// Nothing when no marker stands beside the database.
std::optional<TRepairMarker> ReadRepairMarker(const TInstallPaths& paths);

platform::TFileResult WriteRepairMarker(const TInstallPaths& paths, const TRepairMarker& marker);

platform::TFileResult RemoveRepairMarker(const TInstallPaths& paths);

// Marks the repair completed, then removes the marker, trying a few times
// (an antivirus or backup program may hold it for a moment). The text for
// the operator when it stays, or nothing.
std::optional<std::string> EndMarkedRepair(TRepairHost& host, const TInstallPaths& paths);

// The phase in the operator's words.
std::string PhaseName(TRepairPhase phase);
