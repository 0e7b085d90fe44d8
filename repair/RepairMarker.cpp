#include "repair/RepairMarker.h"

#include <cstdlib>

#include "repair/RepairTexts.h"

namespace {

const std::string SizeKey = "SafetyCopySize=";

// A reader who finds the file learns what it is for.
std::string MarkerText(std::uint64_t safetyCopySize) {
  return "Chương trình sửa dữ liệu VYR đang sửa VYR.FDB; bản gốc là VYR_LUU.FDB.\n"
         "Nếu chương trình bị ngắt, lần chạy sau sẽ tự trả lại bản gốc.\n" +
         SizeKey + std::to_string(safetyCopySize) + "\n";
}

std::optional<std::uint64_t> ParseSize(const std::string& text) {
  const auto start = text.find(SizeKey);
  if (start == std::string::npos) return std::nullopt;
  const char* digits = text.c_str() + start + SizeKey.size();
  char* end = nullptr;
  const unsigned long long size = std::strtoull(digits, &end, 10);
  if (end == digits || (*end != '\n' && *end != '\0')) return std::nullopt;
  return size;
}

}  // namespace

std::optional<TRepairMarker> ReadRepairMarker(const TInstallPaths& paths) {
  if (!platform::FileExists(paths.RepairMarker)) return std::nullopt;
  TRepairMarker marker;
  if (auto text = platform::ReadWholeFile(paths.RepairMarker)) marker.SafetyCopySize = ParseSize(*text);
  return marker;
}

platform::TFileResult WriteRepairMarker(const TInstallPaths& paths, std::uint64_t safetyCopySize) {
  return platform::WriteFileDurably(paths.RepairMarker, MarkerText(safetyCopySize));
}

void EndMarkedRepair(TRepairHost& host, const TInstallPaths& paths) {
  if (auto failure = RemoveRepairMarker(paths))
    host.AddLog(texts::MarkerNotRemoved(paths.RepairMarker, texts::Reason(*failure)));
}

platform::TFileResult RemoveRepairMarker(const TInstallPaths& paths) {
  if (auto failure = platform::DeleteFile(paths.RepairMarker)) return failure;
  return platform::SyncFolder(paths.DataFolder);
}
