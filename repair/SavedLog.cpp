#include "repair/SavedLog.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <vector>

#include "platform/Clock.h"
#include "repair/LogLines.h"
#include "repair/RepairTexts.h"

namespace {

const std::string Prefix = "VYR_SUA_";
const std::string Suffix = ".txt";

#ifdef _WIN32
const std::string LineEnd = "\r\n";
#else
const std::string LineEnd = "\n";
#endif

bool Digits(const std::string& text, std::size_t from, std::size_t count) {
  if (from + count > text.size()) return false;
  return std::all_of(text.begin() + static_cast<long>(from), text.begin() + static_cast<long>(from + count),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}

// The time of day of a line; the date is in the file's name.
std::string TimeOfDay() { return platform::LocalTimeText(static_cast<std::int64_t>(std::time(nullptr))).substr(0, 8); }

void RemoveOldLogs(const std::string& dataFolder) {
  std::vector<std::string> logs;
  for (const auto& name : platform::RegularFileNames(dataFolder))
    if (IsSavedLogName(name)) logs.push_back(name);
  if (logs.size() <= SavedLogsKept) return;
  std::sort(logs.begin(), logs.end());
  for (std::size_t i = 0; i + SavedLogsKept < logs.size(); ++i) platform::DeleteFile(dataFolder + logs[i]);
}

}  // namespace

// VYR_SUA_yyyymmdd_hhmmss.txt, or with _n before .txt for a second log of
// the same second.
bool IsSavedLogName(const std::string& name) {
  if (name.compare(0, Prefix.size(), Prefix) != 0) return false;
  const std::size_t stamp = Prefix.size();
  if (!Digits(name, stamp, 8) || name.size() <= stamp + 8 || name[stamp + 8] != '_' || !Digits(name, stamp + 9, 6))
    return false;
  std::string rest = name.substr(stamp + 15);
  if (rest.size() > 1 && rest[0] == '_' && Digits(rest, 1, 1)) rest = rest.substr(2);
  return rest == Suffix;
}

std::optional<std::string> TSavedLog::Start(const TInstallPaths& paths, const platform::TFileOwnership& ownership) {
  const std::string base = paths.DataFolder + Prefix + platform::LocalTimeStamp();
  platform::TFileResult failure;
  for (int attempt = 0; attempt < 10; ++attempt) {
    FPath = base + (attempt == 0 ? "" : "_" + std::to_string(attempt)) + Suffix;
    failure = FFile.CreateNew(FPath, ownership);
    if (!failure) break;
  }
  if (failure) return texts::SavedLogNotWritten(FPath, texts::Reason(*failure));
  RemoveOldLogs(paths.DataFolder);
  return std::nullopt;
}

void TSavedLog::Write(const std::string& text) {
  if (!IsOpen()) return;
  const std::string time = TimeOfDay();
  std::string lines;
  for (const auto& line : LogLines(text)) lines += time + " " + line + LineEnd;
  if (FFile.Append(lines)) FFile.Close();
}

void TSavedLog::Stop() { FFile.Close(); }
