#include "tools/ScriptLines.h"

void TScriptLines::SetText(const std::string& text) {
  FLines.clear();
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      FLines.push_back(text.substr(start));
      return;
    }
    FLines.push_back(text.substr(start, end - start));
    start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
}

std::string TScriptLines::Text() const {
  std::string text;
  for (const auto& line : FLines) text += line + "\r\n";
  return text;
}
