// What a run does when it finds the marker of an interrupted repair: it puts
// the original (the safety copy) back as the database, keeps a broken file
// aside under a clear name, tells the operator, and stops.
#pragma once

#include "repair/InstallPaths.h"
#include "repair/RepairHost.h"
#include "repair/RepairMarker.h"

void UndoInterruptedRepair(TRepairHost& host, const TInstallPaths& paths, const TRepairMarker& marker);
