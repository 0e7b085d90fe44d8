#include "db/SqlScanner.h"

#include <cctype>
#include <optional>
#include <strings.h>

#include "platform/Exception.h"

namespace {

const char* const Keywords[] = {"SELECT", "WITH", "INSERT", "UPDATE", "DELETE", "EXECUTE", "BLOCK", "BEGIN",
                                "ALTER", "CREATE", "DECLARE", "DROP", "GRANT", "REVOKE", "FROM", "WHERE",
                                "AS", "END", "INTO", "VALUES", "SET", "AND", "OR", "NOT", "NULL", "RETURNING"};

bool IsIdentifierStart(unsigned char c) { return std::isalpha(c) || c == '_' || c == '#' || c == '$' || c > 127; }
bool IsIdentifierPart(unsigned char c) { return IsIdentifierStart(c) || std::isdigit(c); }
bool IsBlankChar(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsKeyword(const std::string& word) {
  for (const char* keyword : Keywords)
    if (::strcasecmp(word.c_str(), keyword) == 0) return true;
  return false;
}

bool Is(const TSqlToken& token, const char* keyword) {
  return token.Kind == TSqlTokenKind::Keyword && ::strcasecmp(token.Text.c_str(), keyword) == 0;
}

bool IsNoise(const TSqlToken& token) {
  return token.Kind == TSqlTokenKind::Blank || token.Kind == TSqlTokenKind::LineComment ||
         token.Kind == TSqlTokenKind::BlockComment;
}

// The end of a token that starts with an opening character and runs to its
// closing one; doubled closing characters stay inside.
std::size_t QuotedEnd(const std::string& text, std::size_t start, char quote) {
  std::size_t i = start + 1;
  while (i < text.size()) {
    if (text[i] == quote) {
      if (i + 1 < text.size() && text[i + 1] == quote) {
        i += 2;
        continue;
      }
      return i + 1;
    }
    ++i;
  }
  return text.size();
}

// Firebird's q-string: q'<open>…<close>' where close is the bracket that
// matches open, or open itself; nothing inside is special. The end of the
// literal, or nothing when the text at start is no q-string.
std::optional<std::size_t> QStringEnd(const std::string& text, std::size_t start) {
  if (start + 2 >= text.size() || (text[start] != 'q' && text[start] != 'Q') || text[start + 1] != '\'') return std::nullopt;
  const char open = text[start + 2];
  const char close = open == '(' ? ')' : open == '[' ? ']' : open == '{' ? '}' : open == '<' ? '>' : open;
  for (std::size_t i = start + 3; i + 1 < text.size(); ++i)
    if (text[i] == close && text[i + 1] == '\'') return i + 2;
  return text.size();
}

}  // namespace

std::vector<TSqlToken> TokenizeSql(const std::string& text) {
  std::vector<TSqlToken> tokens;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t start = i;
    const unsigned char c = static_cast<unsigned char>(text[i]);
    TSqlTokenKind kind = TSqlTokenKind::Symbol;
    if (IsBlankChar(static_cast<char>(c))) {
      kind = TSqlTokenKind::Blank;
      while (i < text.size() && IsBlankChar(text[i])) ++i;
    } else if (text.compare(i, 2, "--") == 0) {
      kind = TSqlTokenKind::LineComment;
      while (i < text.size() && text[i] != '\r' && text[i] != '\n') ++i;
    } else if (text.compare(i, 2, "/*") == 0) {
      kind = TSqlTokenKind::BlockComment;
      const std::size_t close = text.find("*/", i + 2);
      i = close == std::string::npos ? text.size() : close + 2;
    } else if (auto end = QStringEnd(text, i)) {
      kind = TSqlTokenKind::String;
      i = *end;
    } else if (c == '\'') {
      kind = TSqlTokenKind::String;
      i = QuotedEnd(text, i, '\'');
    } else if (c == '"') {
      kind = TSqlTokenKind::QuotedIdentifier;
      i = QuotedEnd(text, i, '"');
    } else if (IsIdentifierStart(c)) {
      while (i < text.size() && IsIdentifierPart(static_cast<unsigned char>(text[i]))) ++i;
      kind = IsKeyword(text.substr(start, i - start)) ? TSqlTokenKind::Keyword : TSqlTokenKind::Identifier;
    } else if (std::isdigit(c)) {
      kind = TSqlTokenKind::Number;
      while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
      if (i + 1 < text.size() && text[i] == '.' && std::isdigit(static_cast<unsigned char>(text[i + 1]))) {
        ++i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
      }
    } else {
      ++i;
    }
    tokens.push_back({kind, text.substr(start, i - start), start});
  }
  return tokens;
}

std::string UniversalSql(const std::string& text) {
  std::string result;
  for (const auto& token : TokenizeSql(text)) {
    if (token.Kind == TSqlTokenKind::Symbol && (token.Text == "{" || token.Text == "&"))
      throw Exception("Universal SQL constructs (\"" + token.Text + "\") are not supported");
    if (token.Kind == TSqlTokenKind::LineComment && token.Text.find("*/") == std::string::npos)
      result += "/*" + token.Text.substr(2) + "*/";
    else
      result += token.Text;
  }
  return result;
}

TScannedSql ScanParameters(const std::string& text, bool scanParams) {
  TScannedSql scanned;
  const auto tokens = TokenizeSql(text);
  bool kindDecided = false;
  bool stopped = false;
  const TSqlToken* previous = nullptr;  // the last token that is no blank or comment
  int brackets = 0;                      // inside [ ]: array bounds such as [1:5], no markers
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const TSqlToken& token = tokens[i];
    if (token.Kind == TSqlTokenKind::Symbol && token.Text == "[") ++brackets;
    if (token.Kind == TSqlTokenKind::Symbol && token.Text == "]" && brackets > 0) --brackets;
    if (!IsNoise(token)) {
      if (!kindDecided) {
        kindDecided = true;
        if (Is(token, "SELECT") || Is(token, "WITH")) scanned.Kind = TParsedSQLType::qtSelect;
        else if (Is(token, "INSERT")) scanned.Kind = TParsedSQLType::qtInsert;
        else if (Is(token, "UPDATE")) scanned.Kind = TParsedSQLType::qtUpdate;
        else if (Is(token, "DELETE")) scanned.Kind = TParsedSQLType::qtDelete;
      }
      if (Is(token, "BLOCK") && previous != nullptr && Is(*previous, "EXECUTE"))
        scanned.Kind = TParsedSQLType::qtExecuteBlock;
      for (const char* stop : {"BEGIN", "ALTER", "CREATE", "DECLARE", "DROP", "GRANT", "REVOKE"})
        if (Is(token, stop)) stopped = true;
      previous = &token;
    }
    const bool marker = !stopped && brackets == 0 && token.Kind == TSqlTokenKind::Symbol && token.Text == ":" && i + 1 < tokens.size() &&
                        (tokens[i + 1].Kind == TSqlTokenKind::Identifier || tokens[i + 1].Kind == TSqlTokenKind::Keyword ||
                         tokens[i + 1].Kind == TSqlTokenKind::Number || tokens[i + 1].Kind == TSqlTokenKind::QuotedIdentifier);
    if (!marker) {
      scanned.NativeText += token.Text;
      continue;
    }
    std::string name = tokens[i + 1].Text;
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
    scanned.NativeText += "?";
    if (scanParams) {
      scanned.ParamNames.push_back(name);
      scanned.ParamPositions.emplace_back(token.Start, tokens[i + 1].Start + tokens[i + 1].Text.size());
    }
    ++i;
  }
  return scanned;
}
