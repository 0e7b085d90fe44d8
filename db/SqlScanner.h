// Reading statement texts: the tokenizer, the universal SQL step (line
// comments rewritten as block comments) and the parameter scan that turns
// ":name" markers into "?".
#pragma once

#include <string>
#include <vector>

enum class TSqlTokenKind { Blank, LineComment, BlockComment, String, QuotedIdentifier, Identifier, Keyword, Number, Symbol };

struct TSqlToken {
  TSqlTokenKind Kind;
  std::string Text;
  std::size_t Start;
};

// Tokens whose texts, joined, give the text back.
std::vector<TSqlToken> TokenizeSql(const std::string& text);

// The text as the server gets it: line comments as block comments. Brace
// constructs and macros are not part of this layer and are refused.
std::string UniversalSql(const std::string& text);

enum class TParsedSQLType { qtUnparsed, qtUnknown, qtSelect, qtCursor, qtInsert, qtUpdate, qtDelete,
                            qtInsertReturning, qtUpdateReturning, qtExecuteBlock };

struct TScannedSql {
  std::string NativeText;
  std::vector<std::string> ParamNames;  // one per marker, in text order
  std::vector<std::pair<std::size_t, std::size_t>> ParamPositions;
  TParsedSQLType Kind = TParsedSQLType::qtUnknown;
};

// Markers count only before the first stop word (BEGIN, ALTER, CREATE,
// DECLARE, DROP, GRANT, REVOKE); names are recorded when scanParams is true.
TScannedSql ScanParameters(const std::string& text, bool scanParams);
