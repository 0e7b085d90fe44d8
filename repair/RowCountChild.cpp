#include "repair/RowCountChild.h"

#include <optional>
#include <sstream>

#include "platform/CommandLine.h"
#include "platform/Exception.h"
#include "platform/Files.h"
#include "repair/RepairTexts.h"
#include "repair/ToolCommands.h"
#include "tools/ConsoleTool.h"

namespace {

const std::string CountStep = "đếm dòng";

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string HexOf(const std::string& text) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : text) {
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  return hex;
}

std::string TextOfHex(const std::string& hex) {
  if (hex.size() % 2 != 0) throw Exception("Not a hexadecimal text: " + hex);
  std::string text;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = HexDigit(hex[i]), low = HexDigit(hex[i + 1]);
    if (high < 0 || low < 0) throw Exception("Not a hexadecimal text: " + hex);
    text += static_cast<char>(high << 4 | low);
  }
  return text;
}

std::vector<std::string> RowCountLines(const TRowCounts& counts) {
  std::vector<std::string> lines{"tables " + std::to_string(counts.size())};
  for (const auto& [table, rows] : counts)
    lines.push_back(rows == UnreadableRows ? "unreadable " + HexOf(table) : "rows " + std::to_string(rows) + " " + HexOf(table));
  return lines;
}

std::string RowCountErrorLine(const std::string& error) { return "error " + HexOf(error); }

TRowCounts RowCountsOfLines(const std::vector<std::string>& lines) {
  TRowCounts counts;
  std::optional<std::size_t> announced;
  std::size_t listed = 0;
  for (const auto& line : lines) {
    std::istringstream words(line);
    std::string kind, first, second;
    words >> kind >> first >> second;
    if (kind == "error") throw Exception(TextOfHex(first));
    if (kind == "tables" && !announced && !first.empty() && second.empty() &&
        first.find_first_not_of("0123456789") == std::string::npos) {
      announced = std::stoull(first);
      continue;
    }
    if (!announced) throw Exception("Unreadable line from " + RowCountProgramName + ": " + line);
    ++listed;
    if (kind == "unreadable" && !first.empty() && second.empty()) {
      counts[TextOfHex(first)] = UnreadableRows;
      continue;
    }
    if (kind != "rows" || second.empty() || first.find_first_not_of("0123456789") != std::string::npos)
      throw Exception("Unreadable line from " + RowCountProgramName + ": " + line);
    counts[TextOfHex(second)] = std::stoll(first);
  }
  if (!announced || listed != *announced || counts.size() != *announced)
    throw Exception(RowCountProgramName + " listed " + std::to_string(listed) + " of " +
                    (announced ? std::to_string(*announced) : std::string("?")) + " tables");
  return counts;
}

// The child's time bound is the tools' rule; its lines are kept, not logged.
TRowCounts TChildRowCounter::Count(const std::string& database) {
  const std::string program = FProgramFolder + RowCountProgramName;
  if (!platform::FileExists(program)) throw Exception(texts::FileMissing(program));
  TToolBound bound;
  bound.Tool = CountStep;
  bound.DatabaseBytes = platform::FileSize(database).value_or(0);
  bound.Seconds = SecondsFor(Limits, bound.DatabaseBytes);
  bound.LargestFileBytes = UINT64_MAX;
  std::vector<std::string> lines;
  const TToolRun run{platform::QuoteArgument(program) + " " + HexOf(database), ""};
  const std::uint32_t exitCode = RunBoundedTool(FHost, run, bound, [&](const std::string& line) {
    if (!line.empty()) lines.push_back(line);
    return line.rfind("error ", 0) != 0;  // the child ends on its own after an error; no need to wait
  });
  if (exitCode == ConsoleToolFailure && lines.empty()) throw Exception(texts::ToolNotStarted(program));
  const TRowCounts counts = RowCountsOfLines(lines);  // the child's own error first
  if (exitCode != 0) throw Exception(texts::RowCountEndedBadly(program, exitCode));
  return counts;
}
