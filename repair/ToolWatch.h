// A bound on a Firebird tool's run, so that a damaged database can never
// hang the repair or fill the disk: the tool may take time in proportion to
// the database, and the files it writes may not grow far past the
// database's size. A tool past its bound is ended and the repair fails
// through the guard, with a line that says which tool was stopped and why.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Exception.h"
#include "repair/InstallPaths.h"

class TRepairHost;

// The rule: BaseSeconds plus SecondsPerMegabyte for every megabyte of the
// database; the database and the backup at most GrowthFactor times the
// database's size plus GrowthAllowanceBytes. Generous: gfix and gbak read a
// sound database at tens of megabytes a second.
struct TToolLimits {
  std::uint64_t BaseSeconds = 300;
  std::uint64_t SecondsPerMegabyte = 2;
  std::uint64_t GrowthFactor = 4;
  std::uint64_t GrowthAllowanceBytes = 512ull << 20;
  // A tool that has said it is giving up ("Exiting before completion due to
  // errors") and is still there this much later will not end on its own: on
  // a damaged database gbak hangs in its detach.
  std::uint64_t LastWordsGraceSeconds = 10;
};

struct TToolBound {
  std::string Tool;  // as the log names it: "gfix -v", "gbak -b"
  std::uint64_t DatabaseBytes = 0;
  std::uint64_t Seconds = 0;
  std::uint64_t LargestFileBytes = 0;
  std::uint64_t LastWordsGraceSeconds = 10;
  std::vector<std::string> WatchedFiles;
};

// The time the rule gives a database of that size.
std::uint64_t SecondsFor(const TToolLimits& limits, std::uint64_t databaseBytes);
TToolBound BoundFor(const std::string& tool, const TInstallPaths& paths, const TToolLimits& limits);

// A tool ended for being past its bound.
class EToolStopped : public Exception {
 public:
  using Exception::Exception;
};

// The operator stopped the repair: the running step ends and the guard puts
// the safety copy back.
class ERepairStopped : public Exception {
 public:
  using Exception::Exception;
};

// Throws ERepairStopped, naming the step, once the operator has asked.
void StopIfAsked(const TRepairHost& host, const std::string& step);

// Watches one run: Check answers the reason to stop it, or nothing.
class TToolWatch {
 public:
  explicit TToolWatch(TToolBound bound);
  std::string Check();
  // The files alone: a tool may grow one and end before a look during its run.
  std::string CheckFiles() const;
  // The tool's lines, and whether it is past the grace after its last words.
  void Saw(const std::string& line);
  bool PastItsLastWords() const;

 private:
  TToolBound FBound;
  std::uint64_t FStarted;
  std::uint64_t FLastWordsAt = 0;
};
