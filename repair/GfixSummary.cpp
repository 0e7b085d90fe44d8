#include "repair/GfixSummary.h"

#include <cctype>
#include <map>

#include "repair/RepairTexts.h"
#include "tools/ConsoleTool.h"

namespace {

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// "record level" -> "bản ghi"; what is not known stays in gfix's words.
std::string PlaceOfError(const std::string& what) {
  static const std::map<std::string, std::string> places = {
      {"record level", "bản ghi"},       {"data page", "trang dữ liệu"},   {"index page", "trang chỉ mục"},
      {"pointer page", "trang con trỏ"}, {"blob page", "trang blob"},      {"Blob page", "trang blob"},
      {"transaction page", "trang giao dịch"}, {"database page", "trang cơ sở dữ liệu"},
  };
  const auto found = places.find(what);
  return found != places.end() ? found->second : what;
}

// "Number of record level errors : 1" -> {"record level", 1}
bool ParseCount(const std::string& line, std::string& what, std::string& count) {
  const std::string text = Trimmed(line);
  const std::string head = "Number of ";
  const auto errors = text.find(" errors");
  const auto colon = text.rfind(':');
  if (text.compare(0, head.size(), head) != 0 || errors == std::string::npos || colon == std::string::npos) return false;
  what = text.substr(head.size(), errors - head.size());
  count = Trimmed(text.substr(colon + 1));
  return !count.empty() && std::isdigit(static_cast<unsigned char>(count[0])) != 0 && count != "0";
}

}  // namespace

std::string SummariseGfix(const std::string& pass, const std::vector<std::string>& output, std::uint32_t exitCode) {
  std::string found;
  bool corrupt = false;
  for (const auto& line : output) {
    std::string what, count;
    if (ParseCount(line, what, count)) found += (found.empty() ? "" : ", ") + count + " lỗi ở " + PlaceOfError(what);
    if (line.find("database file appears corrupt") != std::string::npos) corrupt = true;
  }
  if (!found.empty() || corrupt) return texts::GfixFoundDamage(pass, found);
  if (exitCode == 0 || exitCode == ConsoleToolFailure) return "";
  for (const auto& line : output)
    if (!Trimmed(line).empty()) return texts::GfixStoppedOnError(pass, Trimmed(line));
  return texts::GfixEndedWithoutAWord(pass, exitCode);
}
