// Where a run's time goes, phase by phase: every part of the repair that
// takes time adds its stretch here, so that a benchmark (or support) can say
// what the tools, the statements, the pauses and the repair's own checks
// cost. One account for the process; a run starts it anew.
#pragma once

#include <array>
#include <cstdint>
#include <string>

enum class TPhase {
  SafetyCopy, Checksum, Marker, Counts, Gfix, Statements, ChangeReport, Pauses, Backup, Restore, Count
};

class TPhaseTimes {
 public:
  static TPhaseTimes& OfThisRun();

  void Reset() { FMilliseconds.fill(0); }
  void Add(TPhase phase, std::uint64_t milliseconds) { FMilliseconds[static_cast<int>(phase)] += milliseconds; }
  std::uint64_t Milliseconds(TPhase phase) const { return FMilliseconds[static_cast<int>(phase)]; }

  static std::string Name(TPhase phase);

 private:
  std::array<std::uint64_t, static_cast<int>(TPhase::Count)> FMilliseconds{};
};

// Adds the time from its making to its end to one phase of this run.
class TTimedPhase {
 public:
  explicit TTimedPhase(TPhase phase);
  ~TTimedPhase();
  TTimedPhase(const TTimedPhase&) = delete;
  TTimedPhase& operator=(const TTimedPhase&) = delete;

 private:
  TPhase FPhase;
  std::uint64_t FStarted;
};

// The work's result, its time added to the phase.
template <typename Work>
auto Timed(TPhase phase, Work&& work) -> decltype(work()) {
  const TTimedPhase timed(phase);
  return work();
}
