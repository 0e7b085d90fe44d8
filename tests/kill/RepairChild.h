// A headless repair run as a child in a process group of its own, watched
// line by line and file by file, so that a test can kill the whole group at
// a chosen point.
#pragma once

#include <functional>
#include <string>
#include <vector>

class TRepairChild {
 public:
  // Starts headless_repair on the install folder; extra environment entries
  // ("NAME=value") are added to the child's.
  TRepairChild(const std::string& folder, const std::vector<std::string>& environment = {});
  ~TRepairChild();
  TRepairChild(const TRepairChild&) = delete;
  TRepairChild& operator=(const TRepairChild&) = delete;

  // What the watcher looks at each time something happens (a line, a file
  // event in the DATA folder) and at least every few milliseconds.
  struct TView {
    const std::vector<std::string>& Lines;
    const std::string& DataFolder;
    int GroupId;
  };
  using TTrigger = std::function<bool(const TView&)>;

  // Watches until the trigger holds; false when the child ended first.
  bool WaitUntil(const TTrigger& trigger);

  // Watches until the trigger holds, then kills the process group at once.
  // False when the child ended before the trigger held.
  bool KillWhen(const TTrigger& trigger);

  // Watches until the trigger holds, then kills the repair program alone,
  // as an operator ends a frozen window: whatever it started is left to
  // the system. False when the child ended before the trigger held.
  bool KillProgramWhen(const TTrigger& trigger);

  // Stops the whole run where it is (its tools too) and reads what it had
  // written by then; Thaw lets it go on.
  void Freeze();
  void Thaw();

  // Lets the child run to its end.
  void WaitForEnd();

  const std::vector<std::string>& Lines() const { return FLines; }
  bool Shows(const std::string& prefix) const;

 private:
  bool ReadAvailable();
  void Reap();

  std::string FDataFolder;
  std::vector<std::string> FLines;
  std::string FPartial;
  int FPid = -1;
  int FOutput = -1;
  int FWatch = -1;
  bool FEnded = false;
};

// Takes every free byte of the small file system (a tmpfs) that holds
// folder, in a file there; any other file system is refused.
void FillFileSystem(const std::string& folder);

// True when a process of the group runs a program of that name whose
// command line holds the given argument.
bool GroupRunsTool(int groupId, const std::string& program, const std::string& argument);

// The path of headless_repair.
std::string HeadlessRepairPath();
