// What a run does when it finds the marker of an interrupted repair: it puts
// the original (the safety copy) back as the database, keeps a broken file
// aside under a clear name, tells the operator, and stops. It changes
// nothing unless the safety copy is the one the marker names and the
// database is missing, is the original, or is a state the repair itself
// left it in (one the marker records, or, in the rebuild, a restore still in
// progress: shut down, or no database yet). Any other database may hold newer work, whatever
// its file time says: it is never replaced.
#pragma once

#include <cstdint>

#include "repair/InstallPaths.h"
#include "repair/RepairOutcome.h"
#include "repair/RepairHost.h"
#include "repair/RepairMarker.h"

// Refused when it changed nothing; FailedAsBefore when the original is back.
TRepairOutcome UndoInterruptedRepair(TRepairHost& host, const TInstallPaths& paths, const TRepairMarker& marker);
