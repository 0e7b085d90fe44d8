// Reads a script one top-level statement at a time:
//   execute scriptblock [(name type, ...)] as begin { statement } end [;]
// where a statement is "name = expression;" or "function(expression, ...);"
// and an expression is a single-quoted string or a variable name.
// Keywords are case-insensitive.
#pragma once

#include <optional>

#include "engine/Lexer.h"
#include "engine/Syntax.h"

class TParser {
 public:
  explicit TParser(const std::string& text);

  // The next top-level statement, or nothing at the end of the script.
  // A syntax error raises EScriptError.
  std::optional<TTopStatement> NextStatement();

  // Where the statement being read began: the text from there to the end,
  // for reporting a statement that could not be read.
  std::string TextFromStatementStart() const;

 private:
  TScriptBlock ParseBlock();
  std::vector<TParameter> ParseParameters();
  TStatement ParseStatement();
  TExpression ParseExpression();
  void ExpectWord(const char* word);
  void Expect(char punctuation);
  [[noreturn]] void Fail(const std::string& expected) const;
  void Advance() { FToken = FLexer.Next(); }

  TLexer FLexer;
  TToken FToken;
  std::size_t FStatementStart = 0;
};

// Parses a text that must hold exactly one script block (a callback block).
TScriptBlock ParseSingleBlock(const std::string& text);
