#include "repair/ToolWatch.h"

#include "platform/Clock.h"
#include "platform/Files.h"
#include "repair/RepairHost.h"
#include "repair/RepairTexts.h"

void StopIfAsked(const TRepairHost& host, const std::string& step) {
  if (host.StopRequested()) throw ERepairStopped(texts::StoppedByOperator(step));
}

std::uint64_t SecondsFor(const TToolLimits& limits, std::uint64_t databaseBytes) {
  return limits.BaseSeconds + limits.SecondsPerMegabyte * (databaseBytes >> 20);
}

TToolBound BoundFor(const std::string& tool, const TInstallPaths& paths, const TToolLimits& limits) {
  TToolBound bound;
  bound.Tool = tool;
  bound.DatabaseBytes = platform::FileSize(paths.Database).value_or(0);
  bound.Seconds = SecondsFor(limits, bound.DatabaseBytes);
  bound.LargestFileBytes = limits.GrowthFactor * bound.DatabaseBytes + limits.GrowthAllowanceBytes;
  bound.LastWordsGraceSeconds = limits.LastWordsGraceSeconds;
  bound.WatchedFiles = {paths.Database, paths.Backup};
  return bound;
}

TToolWatch::TToolWatch(TToolBound bound) : FBound(std::move(bound)), FStarted(platform::SteadyMilliseconds()) {}

std::string TToolWatch::Check() {
  const std::uint64_t seconds = (platform::SteadyMilliseconds() - FStarted) / 1000;
  if (seconds >= FBound.Seconds) return texts::ToolTookTooLong(FBound.Tool, FBound.Seconds, FBound.DatabaseBytes);
  return CheckFiles();
}

std::string TToolWatch::CheckFiles() const {
  for (const auto& file : FBound.WatchedFiles) {
    const std::uint64_t size = platform::FileSize(file).value_or(0);
    if (size > FBound.LargestFileBytes) return texts::ToolGrewAFile(FBound.Tool, file, size, FBound.DatabaseBytes);
  }
  return "";
}

void TToolWatch::Saw(const std::string& line) {
  if (FLastWordsAt == 0 && line.find("Exiting before completion due to errors") != std::string::npos)
    FLastWordsAt = platform::SteadyMilliseconds();
}

bool TToolWatch::PastItsLastWords() const {
  return FLastWordsAt != 0 && platform::SteadyMilliseconds() - FLastWordsAt >= FBound.LastWordsGraceSeconds * 1000;
}
