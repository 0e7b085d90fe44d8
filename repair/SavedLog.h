// The run's log kept in DATA for support: VYR_SUA_<yyyymmdd>_<hhmmss>.txt,
// every line of the log and every box with the time it came, written as it
// comes, so an interrupted run leaves its log up to the interruption. The
// newest SavedLogsKept of them stay; older ones are removed.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "platform/Files.h"
#include "repair/InstallPaths.h"

constexpr std::size_t SavedLogsKept = 20;

class TSavedLog {
 public:
  // Makes the file (never over another one or through a link) with the
  // given owner and bits, then removes the oldest logs beyond the newest
  // SavedLogsKept. The text for the log when the file cannot be made.
  std::optional<std::string> Start(const TInstallPaths& paths, const platform::TFileOwnership& ownership);
  // Each line of the text with the time; nothing while no file is open. A
  // write that fails closes the file: the repair goes on without it.
  void Write(const std::string& text);
  // A box's text, marked as a box.
  void WriteBox(const std::string& text) { Write("Hộp thoại: " + text); }
  void Stop();

  bool IsOpen() const { return FFile.IsOpen(); }
  const std::string& Path() const { return FPath; }

 private:
  platform::TAppendFile FFile;
  std::string FPath;
};

// Whether a file name is one of the saved logs.
bool IsSavedLogName(const std::string& name);
