// The statement components: TDbSQL executes a statement that returns no
// rows; TDbQuery is a data set that can also just execute, through its
// internal command and physical record set.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/FbCommand.h"

class TDbConnection;
class TDbTransaction;

struct TDbParam {
  std::string Name;
  std::optional<std::string> Value;  // sent as text; nothing is null
};

class TDbSQL {
 public:
  TDbSQL() = default;
  virtual ~TDbSQL();
  TDbSQL(const TDbSQL&) = delete;
  TDbSQL& operator=(const TDbSQL&) = delete;

  std::vector<std::string> SQL;
  TDbConnection* Connection = nullptr;
  TDbTransaction* Transaction = nullptr;
  bool AutoCommit = true;
  bool ParamCheck = true;
  std::vector<TDbParam> Params;
  std::int32_t RowsAffected = -1;

  // The lines joined by CR LF, trailing characters up to 32 removed, then
  // the universal SQL step.
  std::string FinalSQL() const;
  // The transaction a statement runs in: its own, or the connection's default.
  TDbTransaction* UsedTransaction() const;

  virtual void Execute();

 protected:
  // Begin: connection, physical statement with the final text, the used
  // transaction gained and fixed.
  TFbCommand& BeginExecution(const void* component);
  void BindParams(TFbCommand& command);
  void AfterExecuteStep(TFbCommand& command, bool result);

  std::unique_ptr<TFbCommand> FCommand;
  unsigned FCommandGeneration = 0;  // the connection's physical generation FCommand belongs to
  TDbTransaction* FFixedUsedTransaction = nullptr;
};

// The physical record set of a data set; it owns the physical statement.
class TFbRecordSet {
 public:
  explicit TFbRecordSet(TFbCommand& command) : FCommand(command) {}
  // Prepares, executes and unprepares a statement without rows.
  void ExecCommand();

 private:
  TFbCommand& FCommand;
};

class TDbQuery : public TDbSQL {
 public:
  void Execute() override;
  bool Active() const { return false; }  // executing a statement without rows never opens it
};
