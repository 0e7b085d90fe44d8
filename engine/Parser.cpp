#include "engine/Parser.h"

#include <cctype>

#include "engine/ScriptErrors.h"

TParser::TParser(const std::string& text) : FLexer(text) { Advance(); }

std::optional<TTopStatement> TParser::NextStatement() {
  while (FToken.Is(';')) Advance();
  FStatementStart = FToken.Start;
  if (FToken.Kind == TTokenKind::End) return std::nullopt;
  if (!FToken.IsWord("execute")) Fail("\"execute scriptblock\"");
  Advance();
  ExpectWord("scriptblock");
  TTopStatement statement;
  if (FToken.Is('(')) statement.Block.Parameters = ParseParameters();
  ExpectWord("as");
  TScriptBlock body = ParseBlock();
  statement.Block.Statements = std::move(body.Statements);
  statement.Text = FLexer.Text().substr(FStatementStart, FToken.Start - FStatementStart);
  while (!statement.Text.empty() && std::isspace(static_cast<unsigned char>(statement.Text.back())))
    statement.Text.pop_back();
  return statement;
}

std::string TParser::TextFromStatementStart() const { return FLexer.Text().substr(FStatementStart); }

std::vector<TParameter> TParser::ParseParameters() {
  Expect('(');
  std::vector<TParameter> parameters;
  for (;;) {
    if (FToken.Kind != TTokenKind::Word) Fail("a parameter name");
    TParameter parameter{FToken.Text, ""};
    Advance();
    if (FToken.Kind != TTokenKind::Word) Fail("the type of parameter " + parameter.Name);
    parameter.Type = FToken.Text;
    Advance();
    parameters.push_back(parameter);
    if (FToken.Is(')')) break;
    Expect(',');
  }
  Advance();
  return parameters;
}

TScriptBlock TParser::ParseBlock() {
  ExpectWord("begin");
  TScriptBlock block;
  while (!FToken.IsWord("end")) block.Statements.push_back(ParseStatement());
  Advance();
  return block;
}

TStatement TParser::ParseStatement() {
  if (FToken.Kind != TTokenKind::Word) Fail("a statement");
  TStatement statement;
  statement.Name = FToken.Text;
  statement.Position = FLexer.PositionOf(FToken.Start);
  Advance();
  if (FToken.Is('=')) {
    statement.What = TStatement::Kind::Assignment;
    Advance();
    statement.Arguments.push_back(ParseExpression());
  } else if (FToken.Is('(')) {
    statement.What = TStatement::Kind::Call;
    Advance();
    if (!FToken.Is(')')) {
      for (;;) {
        statement.Arguments.push_back(ParseExpression());
        if (FToken.Is(')')) break;
        Expect(',');
      }
    }
    Advance();
  } else {
    Fail("\"=\" or \"(\" after \"" + statement.Name + "\"");
  }
  Expect(';');
  return statement;
}

TExpression TParser::ParseExpression() {
  TExpression expression;
  if (FToken.Kind == TTokenKind::String) {
    expression.IsLiteral = true;
  } else if (FToken.Kind == TTokenKind::Word) {
    expression.IsLiteral = false;
  } else {
    Fail("a string or a variable (only those are expressions in this language)");
  }
  expression.Text = FToken.Text;
  Advance();
  return expression;
}

void TParser::ExpectWord(const char* word) {
  if (!FToken.IsWord(word)) Fail(std::string("\"") + word + "\"");
  Advance();
}

void TParser::Expect(char punctuation) {
  if (!FToken.Is(punctuation)) Fail(std::string("\"") + punctuation + "\"");
  Advance();
}

void TParser::Fail(const std::string& expected) const {
  throw EScriptError("Syntax error at " + FLexer.PositionOf(FToken.Start) + ": expected " + expected + ", found " +
                     FToken.Describe());
}

TScriptBlock ParseSingleBlock(const std::string& text) {
  TParser parser(text);
  auto statement = parser.NextStatement();
  if (!statement) throw EScriptError("The callback block is empty");
  if (parser.NextStatement()) throw EScriptError("The callback block holds more than one script block");
  return std::move(statement->Block);
}
