// How a run ended, for a caller without a window; the values are the
// command line's exit statuses.
#pragma once

enum class TRepairOutcome {
  Done = 0,                        // repaired, the done box shown
  FailedAsBefore = 1,              // not repaired; the database is the original again
  FailedOriginalInSafetyCopy = 2,  // not repaired; the original is only in the safety copy
  Refused = 3,                     // nothing was changed
  DoneIndexesOff = 4,              // rebuilt and working, some indexes off: call support
  DoneRowsNotVerified = 5,         // rebuilt, but not every table could be counted before: call support
};
