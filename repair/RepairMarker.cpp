#include "repair/RepairMarker.h"

#include <cstdlib>

#include "platform/Clock.h"
#include "repair/RepairTexts.h"

namespace {

const std::string SizeKey = "SafetyCopySize=";
const std::string ChecksumKey = "SafetyCopyChecksum=";
const std::string PhaseKey = "Phase=";

constexpr int RemovalAttempts = 5;
constexpr unsigned PauseBetweenRemovals = 200;

const char* const PhaseWords[] = {"safety-copy", "gfix", "data-repair", "rebuild", "completed"};

// A reader who finds the file learns what it is for.
std::string MarkerText(const TRepairMarker& marker) {
  char checksum[17];
  std::snprintf(checksum, sizeof checksum, "%016llx", static_cast<unsigned long long>(marker.SafetyCopyChecksum.value_or(0)));
  return "Chương trình sửa dữ liệu VYR đang sửa VYR.FDB; bản gốc là VYR_LUU.FDB.\n"
         "Nếu chương trình bị ngắt, lần chạy sau sẽ tự trả lại bản gốc.\n" +
         SizeKey + std::to_string(marker.SafetyCopySize.value_or(0)) + "\n" + ChecksumKey + checksum + "\n" +
         PhaseKey + PhaseWords[static_cast<int>(marker.Phase)] + "\n";
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
  return marker;
}

}  // namespace

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
