#include "engine/Interpreter.h"

#include <strings.h>

#include "engine/Parser.h"
#include "engine/Restore.h"
#include "engine/RestoreOptions.h"
#include "engine/ScriptErrors.h"

namespace {

bool Named(const std::string& name, const char* expected) { return ::strcasecmp(name.c_str(), expected) == 0; }

void ExpectArguments(const TStatement& statement, const std::vector<std::string>& arguments, std::size_t count) {
  if (arguments.size() != count)
    throw EScriptError(statement.Name + " takes " + std::to_string(count) + " argument(s), " +
                       std::to_string(arguments.size()) + " given (" + statement.Position + ")");
}

}  // namespace

bool TCaseInsensitiveLess::operator()(const std::string& a, const std::string& b) const {
  return ::strcasecmp(a.c_str(), b.c_str()) < 0;
}

void TInterpreter::Run(const TScriptBlock& block, const std::vector<std::string>& arguments) {
  TVariables variables;
  for (std::size_t i = 0; i < block.Parameters.size(); ++i)
    variables[block.Parameters[i].Name] = i < arguments.size() ? arguments[i] : std::string();
  for (const auto& statement : block.Statements) Execute(statement, variables);
}

namespace {

// The statement's place goes after a message that does not name one.
EScriptError At(const TStatement& statement, const EScriptError& error) {
  return EScriptError(error.Message() + " (" + statement.Position + ")");
}

}  // namespace

void TInterpreter::Execute(const TStatement& statement, TVariables& variables) {
  std::vector<std::string> arguments;
  try {
    for (const auto& argument : statement.Arguments) arguments.push_back(Evaluate(argument, variables));
  } catch (const EScriptError& error) {
    throw At(statement, error);
  }
  if (statement.What == TStatement::Kind::Assignment) {
    variables[statement.Name] = arguments.front();
    return;
  }
  Call(statement, arguments);
}

std::string TInterpreter::Evaluate(const TExpression& expression, const TVariables& variables) const {
  if (expression.IsLiteral) return expression.Text;
  auto found = variables.find(expression.Text);
  if (found == variables.end()) throw EScriptError("Variable " + expression.Text + " is not defined");
  return found->second;
}

void TInterpreter::Call(const TStatement& statement, const std::vector<std::string>& arguments) {
  if (Named(statement.Name, "sb_progress")) {
    ExpectArguments(statement, arguments, 1);
    if (!FProgress(arguments[0])) throw EScriptStopped();
  } else if (Named(statement.Name, "sb_RestoreDatabase")) {
    ExpectArguments(statement, arguments, 4);
    RestoreDatabase(statement, arguments);
  } else {
    throw EScriptError("Unknown function " + statement.Name + " (" + statement.Position + ")");
  }
}

void TInterpreter::RestoreDatabase(const TStatement& statement, const std::vector<std::string>& arguments) {
  TRestoreOptions options;
  try {
    options = TRestoreOptions::Parse(arguments[2]);
  } catch (const EScriptError& error) {
    throw At(statement, error);
  }
  const bool hasCallback = !arguments[3].empty();
  const TScriptBlock callback = hasCallback ? ParseSingleBlock(arguments[3]) : TScriptBlock{};
  ::RestoreDatabase(arguments[0], arguments[1], options, [&](const std::string& line) {
    if (hasCallback) Run(callback, {line});
  });
}
