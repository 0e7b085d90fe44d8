// The repair window: the install folder box, the log, Accept and Cancel.
// Pressing Accept runs the whole repair on the window's thread; the window
// is the repair's host, its log sink and message boxes.
#pragma once

#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "platform/Files.h"
#include "repair/RepairHost.h"
#include "repair/RowCountChild.h"
#include "repair/SavedLog.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class EDataAccessError;
class TDbConnection;
class TDbQuery;
class TDbSQL;
class TDbTransaction;
class TDataRepairStage;
class TIndexRecovery;
class TFolderEdit;
class TRebuildStage;
class TScriptEngineComponent;

class TRepairForm : public QWidget, public TRepairHost {
 public:
  explicit TRepairForm(QWidget* parent = nullptr);
  ~TRepairForm() override;

  // The log sink: appends the text as the log's new last line(s), then
  // processes pending events.
  void AddLog(const std::string& text) override;
  void ProcessEvents() override;
  void ShowMessage(const std::string& text) override;
  void FocusFolderBox() override;
  void Pause(unsigned milliseconds) override;
  bool StopRequested() const override { return FStopRequested; }

  void btChap_NhanClick(QObject* sender);
  void btHuy_BoClick(QObject* sender);

  // Handlers of the script engine's events during the restore.
  void ScriptEngineComBlockProgress(const std::string& AProgressMessage, bool& AContinue);
  void ScriptEngineComScriptError(const std::string& AStatement, const std::string& AError, bool& AContinue);
  void ScriptEngineComAfterStatement(const std::string& AStatement, bool ASuccess, bool& AContinue);
  void ScriptEngineComConnectError(const std::string& AError);
  // The connection's error event: logs the text and leaves Fail as it is.
  void cnnError(TDbConnection* Sender, EDataAccessError& E, bool& Fail);

  bool RepairRunning() const { return FRepairRunning; }
  // Replaces the blocking pause after each repair statement (tests).
  void SetPause(std::function<void(unsigned)> pause) { FPause = std::move(pause); }

  QPlainTextEdit* mLog;
  QWidget* Panel1;
  QLabel* Label1;
  TFolderEdit* txtPath;
  QPushButton* btChap_Nhan;
  QPushButton* btHuy_Bo;
  std::unique_ptr<TDbConnection> cnn;
  std::unique_ptr<TDbTransaction> Trans;
  std::unique_ptr<TDbQuery> udDMPB;
  std::unique_ptr<TDbSQL> udDMPB2;
  std::unique_ptr<TDbQuery> scCreateTmp;
  std::unique_ptr<TDbQuery> Sql;
  std::unique_ptr<TScriptEngineComponent> ScriptEngineCom;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void CreateControls();
  void CreateComponents();
  // Appends to the log without processing events.
  void AppendToLog(const std::string& text);
  void SetRepairControlsEnabled(bool enabled);
  // Asks whether to stop the running repair; true when the answer is yes.
  bool ConfirmStop();
  void WatchTerminationRequests();
  void ShowLogMenu(const QPoint& position);

  std::string msg2;
  bool FRepairRunning = false;
  bool FCloseRequested = false;
  bool FCentred = false;
  bool FFocusFolderBoxAfterRun = false;
  std::unique_ptr<TDataRepairStage> FDataRepairStage;
  std::unique_ptr<TIndexRecovery> FIndexRecovery;
  std::unique_ptr<TRebuildStage> FRebuildStage;
  TSavedLog FSavedLog;  // the run's log in DATA, written with the window's
  TChildRowCounter FRowCounter{*this, platform::ProgramFolder()};
  std::atomic<bool> FStopRequested{false};
  std::function<void(unsigned)> FPause;
};
