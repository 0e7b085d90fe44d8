// What a run does when it finds the marker of an interrupted repair: it puts
// the original (the safety copy) back as the database, keeps a broken file
// aside under a clear name, tells the operator, and stops. It changes
// nothing unless the safety copy is the one the marker names and the
// database was not written after the interrupted repair stopped.
#pragma once

#include <cstdint>

#include "repair/InstallPaths.h"
#include "repair/RepairOutcome.h"
#include "repair/RepairHost.h"
#include "repair/RepairMarker.h"

// A database written later than this after the marker's last sign of life
// was written by someone else than the repair. Three missed refreshes and
// the coarse clocks of some file systems fit in it.
constexpr std::int64_t LatestRepairWriteAfterSignOfLife = 3 * MarkerRefreshSeconds + 60;

// Refused when it changed nothing; FailedAsBefore when the original is back.
TRepairOutcome UndoInterruptedRepair(TRepairHost& host, const TInstallPaths& paths, const TRepairMarker& marker);
