// One stage of the repair between the gfix passes and the end. A stage
// reports failure by raising an error that carries a message text.
#pragma once

#include <string>
#include <vector>

#include "repair/InstallPaths.h"

class TRepairStage {
 public:
  virtual ~TRepairStage() = default;
  virtual void Run(const TInstallPaths& paths) = 0;
  // Indexes the stage could not activate ("INDEX (TABLE)"): the database
  // works without them, and the operator must call support.
  virtual std::vector<std::string> IndexesLeftOff() const { return {}; }
};
