// The parsed form of a script: top-level script blocks made of assignments
// and calls whose arguments are string literals or variables.
#pragma once

#include <string>
#include <vector>

struct TExpression {
  bool IsLiteral = true;
  std::string Text;  // the literal's value or the variable's name
};

struct TStatement {
  enum class Kind { Assignment, Call } What = Kind::Call;
  std::string Name;                    // the variable assigned or the function called
  std::vector<TExpression> Arguments;  // one for an assignment: its value
  std::string Position;                // for messages
};

struct TParameter {
  std::string Name;
  std::string Type;
};

struct TScriptBlock {
  std::vector<TParameter> Parameters;
  std::vector<TStatement> Statements;
};

// One top-level statement with the text it was parsed from.
struct TTopStatement {
  std::string Text;
  TScriptBlock Block;
};
