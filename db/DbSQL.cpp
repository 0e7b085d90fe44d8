#include "db/DbSQL.h"

#include <algorithm>

#include "db/DbConnection.h"
#include "db/DbErrors.h"
#include "db/DbTransaction.h"
#include "db/SqlScanner.h"

TDbSQL::~TDbSQL() = default;

std::string TDbSQL::FinalSQL() const {
  std::string text;
  for (const auto& line : SQL) text += line + "\r\n";
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) text.pop_back();
  if (Connection != nullptr && !Connection->ProviderName().empty()) text = UniversalSql(text);
  return text;
}

TDbTransaction* TDbSQL::UsedTransaction() const {
  if (Transaction != nullptr) return Transaction;
  return Connection != nullptr ? Connection->DefaultTransaction() : nullptr;
}

TFbCommand& TDbSQL::BeginExecution(const void* component) {
  if (Connection == nullptr) throw EDatabaseError("Connection is not defined");
  if (!Connection->Connected()) Connection->Open();
  if (FCommand && FCommandGeneration != Connection->PhysicalGeneration()) {
    FCommand->Abandon();
    FCommand.reset();
  }
  if (!FCommand) {
    FCommand = std::make_unique<TFbCommand>(Connection->PhysicalConnection());
    FCommandGeneration = Connection->PhysicalGeneration();
  }
  FCommand->SetSQL(FinalSQL(), ParamCheck);
  FCommand->FComponent = component;
  TDbTransaction* used = UsedTransaction();
  if (used == nullptr) throw EDatabaseError("Transaction not assigned");
  used->GainTransaction();
  FCommand->SetTransaction(used->Physical());
  FFixedUsedTransaction = used;
  FCommand->AfterExecute = [this](bool result) { AfterExecuteStep(*FCommand, result); };
  return *FCommand;
}

void TDbSQL::BindParams(TFbCommand& command) {
  if (!ParamCheck) return;
  for (auto& description : command.Params()) {
    auto found = std::find_if(Params.begin(), Params.end(), [&](const TDbParam& p) { return p.Name == description.Name; });
    if (found == Params.end()) found = Params.insert(Params.end(), TDbParam{description.Name, std::nullopt});
    description.Value = found->Value;
  }
}

void TDbSQL::AfterExecuteStep(TFbCommand& command, bool result) {
  if (result) RowsAffected = command.RowsAffected;
  TDbTransaction* used = FFixedUsedTransaction;
  used->AutoCommitTransaction(Connection->AutoCommit && AutoCommit);
  used->ReleaseTransaction();
  if (!command.Prepared()) FFixedUsedTransaction = nullptr;
}

void TDbSQL::Execute() {
  if (FCommand && FCommand->Executing()) return;
  TFbCommand& command = BeginExecution(this);
  BindParams(command);
  try {
    command.Execute();
  } catch (const EDbError&) {
    throw;
  } catch (const EDataAccessError& error) {
    throw EDbError(error);
  }
}

void TFbRecordSet::ExecCommand() {
  FCommand.Prepare();
  try {
    FCommand.Execute();
  } catch (...) {
    FCommand.Unprepare();
    throw;
  }
  FCommand.Unprepare();
}

void TDbQuery::Execute() {
  if (FCommand && FCommand->Executing()) return;
  TFbCommand& command = BeginExecution(this);
  BindParams(command);
  try {
    TFbRecordSet(command).ExecCommand();
  } catch (const EDbError&) {
    throw;
  } catch (const EDataAccessError& error) {
    throw EDbError(error);
  }
}
