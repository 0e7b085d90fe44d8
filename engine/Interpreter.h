// Runs parsed script blocks. Variables hold texts; the built-in functions are
//   sb_progress(text)                                  report progress to the host
//   sb_RestoreDatabase(backup, database, options, cb)  restore, running the
//                                                      callback block cb once per
//                                                      verbose line
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/Syntax.h"

struct TCaseInsensitiveLess {
  bool operator()(const std::string& a, const std::string& b) const;
};

class TInterpreter {
 public:
  // The host's progress callback: true to go on, false to stop the script.
  using TProgress = std::function<bool(const std::string& message)>;

  explicit TInterpreter(TProgress progress) : FProgress(std::move(progress)) {}

  // Runs a block with its parameters bound to the given values in order.
  // Raises EScriptError when a statement fails, EScriptStopped when the host
  // answers stop.
  void Run(const TScriptBlock& block, const std::vector<std::string>& arguments = {});

 private:
  using TVariables = std::map<std::string, std::string, TCaseInsensitiveLess>;

  void Execute(const TStatement& statement, TVariables& variables);
  std::string Evaluate(const TExpression& expression, const TVariables& variables) const;
  void Call(const TStatement& statement, const std::vector<std::string>& arguments);
  void RestoreDatabase(const TStatement& statement, const std::vector<std::string>& arguments);

  TProgress FProgress;
};
