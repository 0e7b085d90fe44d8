#include "repair/SqlText.h"

namespace {

std::string Enclosed(const std::string& text, char quote) {
  std::string quoted(1, quote);
  for (char c : text) {
    quoted += c;
    if (c == quote) quoted += quote;
  }
  return quoted + quote;
}

}  // namespace

std::string QuotedIdentifier(const std::string& name) { return Enclosed(name, '"'); }

std::string QuotedLiteral(const std::string& text) { return Enclosed(text, '\''); }
