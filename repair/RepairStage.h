// One stage of the repair between the gfix passes and the end. A stage
// reports failure by raising an error that carries a message text.
#pragma once

#include "repair/InstallPaths.h"

class TRepairStage {
 public:
  virtual ~TRepairStage() = default;
  virtual void Run(const TInstallPaths& paths) = 0;
};
