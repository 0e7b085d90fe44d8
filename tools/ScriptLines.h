// A script held as a list of lines.
#pragma once

#include <string>
#include <vector>

class TScriptLines {
 public:
  // Replaces the content, splitting the text at CR LF, lone CR and lone LF.
  // A line break at the very end adds no empty line.
  void SetText(const std::string& text);
  // Every line followed by CR LF.
  std::string Text() const;

  void Add(const std::string& line) { FLines.push_back(line); }
  void Clear() { FLines.clear(); }
  const std::vector<std::string>& Lines() const { return FLines; }

 private:
  std::vector<std::string> FLines;
};
