#include "repair/RepairMarker.h"

#include <algorithm>
#include <cstdlib>

#include "platform/Clock.h"
#include "repair/RepairTexts.h"

namespace {

const std::string SizeKey = "SafetyCopySize=";
const std::string ChecksumKey = "SafetyCopyChecksum=";
const std::string PhaseKey = "Phase=";
const std::string StatesKey = "DatabaseStates=";

constexpr int RemovalAttempts = 5;
constexpr unsigned PauseBetweenRemovals = 200;

const char* const PhaseWords[] = {"safety-copy", "gfix", "data-repair", "rebuild", "completed"};

std::string Hex(std::uint64_t value) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
  return text;
}

// "size:checksum,size:checksum"
std::string StatesText(const std::vector<TDatabaseState>& states) {
  std::string text;
  for (const auto& state : states) text += (text.empty() ? "" : ",") + std::to_string(state.Size) + ":" + Hex(state.Checksum);
  return text;
}

// A reader who finds the file learns what it is for.
std::string MarkerText(const TRepairMarker& marker) {
  return "Chương trình sửa dữ liệu VYR đang sửa VYR.FDB; bản gốc là VYR_LUU.FDB.\n"
         "Nếu chương trình bị ngắt, lần chạy sau sẽ tự trả lại bản gốc.\n" +
         SizeKey + std::to_string(marker.SafetyCopySize.value_or(0)) + "\n" + ChecksumKey +
         Hex(marker.SafetyCopyChecksum.value_or(0)) + "\n" + PhaseKey + PhaseWords[static_cast<int>(marker.Phase)] +
         "\n" + StatesKey + StatesText(marker.DatabaseStates) + "\n";
}

// The value after key up to the end of its line, or nothing.
std::optional<std::string> ValueOf(const std::string& text, const std::string& key) {
  const auto start = text.find(key);
  if (start == std::string::npos || (start > 0 && text[start - 1] != '\n')) return std::nullopt;
  const auto from = start + key.size();
  const auto end = text.find('\n', from);
  return text.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

std::optional<std::uint64_t> ParseNumber(const std::optional<std::string>& value, int base) {
  if (!value || value->empty()) return std::nullopt;
  char* end = nullptr;
  const unsigned long long number = std::strtoull(value->c_str(), &end, base);
  if (*end != '\0' || value->front() == '-' || value->front() == '+') return std::nullopt;
  return number;
}

std::optional<TRepairPhase> ParsePhase(const std::optional<std::string>& value) {
  if (!value) return TRepairPhase::SafetyCopy;  // the earlier version's marker
  for (int phase = 0; phase <= static_cast<int>(TRepairPhase::Completed); ++phase)
    if (*value == PhaseWords[phase]) return static_cast<TRepairPhase>(phase);
  return std::nullopt;
}

// States that cannot be read are no states: the database then matches none.
std::vector<TDatabaseState> ParseStates(const std::optional<std::string>& value) {
  std::vector<TDatabaseState> states;
  if (!value) return states;
  std::size_t from = 0;
  while (from < value->size()) {
    const std::size_t comma = std::min(value->find(',', from), value->size());
    const std::string entry = value->substr(from, comma - from);
    const std::size_t colon = entry.find(':');
    if (colon == std::string::npos) return {};
    const auto size = ParseNumber(entry.substr(0, colon), 10);
    const auto checksum = ParseNumber(entry.substr(colon + 1), 16);
    if (!size || !checksum) return {};
    states.push_back({*size, *checksum});
    from = comma + 1;
  }
  return states;
}

TRepairMarker ParseMarker(const std::string& text) {
  TRepairMarker marker;
  const auto phase = ParsePhase(ValueOf(text, PhaseKey));
  marker.SafetyCopySize = ParseNumber(ValueOf(text, SizeKey), 10);
  if (!phase || !marker.SafetyCopySize) return TRepairMarker{};
  marker.Phase = *phase;
  if (auto checksum = ValueOf(text, ChecksumKey)) {
    marker.SafetyCopyChecksum = ParseNumber(checksum, 16);
    if (!marker.SafetyCopyChecksum) return TRepairMarker{};
  }
  marker.DatabaseStates = ParseStates(ValueOf(text, StatesKey));
  return marker;
}

}  // namespace

std::optional<TDatabaseState> DatabaseStateOf(const std::string& path) {
  const auto size = platform::FileSize(path);
  const auto checksum = platform::FileChecksum(path);
  if (!size || !checksum) return std::nullopt;
  return TDatabaseState{*size, *checksum};
}

std::optional<TRepairMarker> ReadRepairMarker(const TInstallPaths& paths) {
  if (platform::KindOfFile(paths.RepairMarker) == platform::TFileKind::Missing) return std::nullopt;
  TRepairMarker marker;
  if (auto text = platform::ReadWholeFile(paths.RepairMarker)) marker = ParseMarker(*text);
  marker.LastSignOfLife = platform::ModificationTime(paths.RepairMarker);
  return marker;
}

platform::TFileResult WriteRepairMarker(const TInstallPaths& paths, const TRepairMarker& marker) {
  return platform::WriteFileDurably(paths.RepairMarker, MarkerText(marker));
}

platform::TFileResult RemoveRepairMarker(const TInstallPaths& paths) {
  if (auto failure = platform::DeleteFile(paths.RepairMarker)) return failure;
  return platform::SyncFolder(paths.DataFolder);
}

std::optional<std::string> EndMarkedRepair(TRepairHost& host, const TInstallPaths& paths) {
  if (auto marker = ReadRepairMarker(paths); marker && marker->SafetyCopySize) {
    marker->Phase = TRepairPhase::Completed;
    WriteRepairMarker(paths, *marker);  // a failure here shows as the removal's failure below
  }
  platform::TFileResult failure;
  for (int attempt = 0; attempt < RemovalAttempts; ++attempt) {
    if (attempt > 0) platform::SleepMilliseconds(PauseBetweenRemovals);
    failure = RemoveRepairMarker(paths);
    if (!failure || platform::KindOfFile(paths.RepairMarker) == platform::TFileKind::Missing) return std::nullopt;
  }
  const std::string text = texts::MarkerNotRemoved(paths.RepairMarker, texts::Reason(*failure));
  host.AddLog(text);
  return text;
}

std::string PhaseName(TRepairPhase phase) {
  switch (phase) {
    case TRepairPhase::SafetyCopy: return "ngay sau khi chép bản sao an toàn";
    case TRepairPhase::Gfix: return "khi kiểm tra và sửa bằng gfix";
    case TRepairPhase::DataRepair: return "khi sửa dữ liệu trùng";
    case TRepairPhase::Rebuild: return "khi sao lưu và dựng lại cơ sở dữ liệu";
    case TRepairPhase::Completed: break;
  }
  return "sau khi đã sửa xong";
}
