#include "engine/Lexer.h"

#include <algorithm>
#include <cctype>
#include <strings.h>

#include "engine/ScriptErrors.h"

namespace {

bool IsWordStart(unsigned char c) { return std::isalpha(c) || c == '_' || c >= 0x80; }
bool IsWordPart(unsigned char c) { return IsWordStart(c) || std::isdigit(c) || c == '$' || c == '.'; }

}  // namespace

bool TToken::IsWord(const char* word) const { return Kind == TTokenKind::Word && ::strcasecmp(Text.c_str(), word) == 0; }

std::string TToken::Describe() const {
  switch (Kind) {
    case TTokenKind::End: return "the end of the script";
    case TTokenKind::String: return "a string";
    default: return "\"" + Text + "\"";
  }
}

// Columns count characters (a UTF-8 continuation byte adds none). Offsets
// asked for mostly grow, so the count goes on from the last one asked for
// instead of starting again at the top of the script.
std::string TLexer::PositionOf(std::size_t offset) const {
  if (offset < FCounted.Offset) FCounted = TCountedPosition{};
  const std::size_t end = std::min(offset, FText.size());
  for (std::size_t& i = FCounted.Offset; i < end; ++i) {
    const unsigned char c = static_cast<unsigned char>(FText[i]);
    if (c == '\n' || (c == '\r' && (i + 1 >= FText.size() || FText[i + 1] != '\n'))) {
      ++FCounted.Line;
      FCounted.Column = 1;
    } else if (c != '\r' && (c & 0xC0) != 0x80) {
      ++FCounted.Column;
    }
  }
  return "line " + std::to_string(FCounted.Line) + ", column " + std::to_string(FCounted.Column);
}

void TLexer::SkipBlanksAndComments() {
  for (;;) {
    while (FPosition < FText.size() && std::isspace(static_cast<unsigned char>(FText[FPosition]))) ++FPosition;
    if (FText.compare(FPosition, 2, "--") == 0) {
      while (FPosition < FText.size() && FText[FPosition] != '\n' && FText[FPosition] != '\r') ++FPosition;
    } else if (FText.compare(FPosition, 2, "/*") == 0) {
      std::size_t close = FText.find("*/", FPosition + 2);
      if (close == std::string::npos) throw EScriptError("Unterminated comment at " + PositionOf(FPosition));
      FPosition = close + 2;
    } else {
      return;
    }
  }
}

TToken TLexer::Next() {
  SkipBlanksAndComments();
  TToken token;
  token.Start = FPosition;
  if (FPosition >= FText.size()) {
    token.Finish = FPosition;
    return token;
  }
  const unsigned char c = static_cast<unsigned char>(FText[FPosition]);
  if (c == '\'') return ReadString();
  if (IsWordStart(c)) return ReadWord();
  if (c == '(' || c == ')' || c == ',' || c == ';' || c == '=') {
    token.Kind = TTokenKind::Punctuation;
    token.Text = std::string(1, static_cast<char>(c));
    token.Finish = ++FPosition;
    return token;
  }
  throw EScriptError("Unexpected character \"" + std::string(1, static_cast<char>(c)) + "\" at " + PositionOf(FPosition));
}

TToken TLexer::ReadString() {
  TToken token;
  token.Kind = TTokenKind::String;
  token.Start = FPosition++;
  for (;;) {
    if (FPosition >= FText.size()) throw EScriptError("Unterminated string at " + PositionOf(token.Start));
    char c = FText[FPosition++];
    if (c != '\'') {
      token.Text += c;
    } else if (FPosition < FText.size() && FText[FPosition] == '\'') {
      token.Text += '\'';
      ++FPosition;
    } else {
      break;
    }
  }
  token.Finish = FPosition;
  return token;
}

TToken TLexer::ReadWord() {
  TToken token;
  token.Kind = TTokenKind::Word;
  token.Start = FPosition;
  while (FPosition < FText.size() && IsWordPart(static_cast<unsigned char>(FText[FPosition]))) ++FPosition;
  token.Text = FText.substr(token.Start, FPosition - token.Start);
  token.Finish = FPosition;
  return token;
}
