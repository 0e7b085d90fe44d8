#include "app/Repair.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSocketNotifier>
#include <algorithm>
#include <cstdint>
#include <functional>

#include "db/DbConnection.h"
#include "db/DbSQL.h"
#include "db/DbTransaction.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/Signals.h"
#include "repair/DataRepairStage.h"
#include "repair/IndexRecovery.h"
#include "repair/RebuildStage.h"
#include "repair/RepairProcedure.h"
#include "tools/LeadingChars.h"
#include "tools/ScriptEngineComponent.h"
#include "widgets/FolderEdit.h"

namespace {

constexpr int ClientWidth = 641;
constexpr int ClientHeight = 394;
constexpr int PanelHeight = 75;
constexpr std::uint64_t PauseSlice = 50;  // milliseconds between event rounds in a pause

const char* const StopQuestion =
    "Dừng sửa dữ liệu?\rBước đang chạy sẽ dừng và cơ sở dữ liệu được đặt lại như trước khi sửa.";

// Memo lines break at CR LF, a lone CR and a lone LF alike.
QString AsLogLines(const std::string& text) {
  QString lines = QString::fromStdString(text);
  lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return lines;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, int left) {
  auto* button = new QPushButton(QString::fromUtf8(caption), parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(left, 33, 75, 30);
  button->setAutoDefault(false);
  button->setDefault(false);
  return button;
}

// While a repair runs: Accept and the folder box disabled, a busy cursor.
class TRepairInProgress {
 public:
  TRepairInProgress(bool& running, const std::function<void(bool)>& enable) : FRunning(running), FEnable(enable) {
    FRunning = true;
    FEnable(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
  }
  ~TRepairInProgress() {
    QApplication::restoreOverrideCursor();
    FEnable(true);
    FRunning = false;
  }
  TRepairInProgress(const TRepairInProgress&) = delete;
  TRepairInProgress& operator=(const TRepairInProgress&) = delete;

 private:
  bool& FRunning;
  std::function<void(bool)> FEnable;
};

}  // namespace

TRepairForm::TRepairForm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("RepairForm"));
  setWindowTitle(QString::fromUtf8("Sửa chữa Database"));
  setFont(QFont(QStringLiteral("Tahoma"), 9));
  setFixedSize(ClientWidth, ClientHeight);
  CreateComponents();
  CreateControls();
  WatchTerminationRequests();
  txtPath->setFocus();
}

// SIGTERM and SIGINT close the window: at once when idle; a running repair
// is stopped first, without a question, and the window closes when it has
// put the original back.
void TRepairForm::WatchTerminationRequests() {
  platform::CatchTerminationRequests();
  const int descriptor = platform::TerminationRequestDescriptor();
  if (descriptor < 0) return;
  auto* notifier = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
  connect(notifier, &QSocketNotifier::activated, this, [this] {
    platform::DrainTerminationRequests();
    if (FRepairRunning) {
      FStopRequested = true;
      FCloseRequested = true;
      return;
    }
    close();
  });
}

TRepairForm::~TRepairForm() = default;

void TRepairForm::CreateControls() {
  mLog = new QPlainTextEdit(this);
  mLog->setObjectName(QStringLiteral("mLog"));
  mLog->setGeometry(0, 0, ClientWidth, ClientHeight - PanelHeight);
  mLog->setReadOnly(true);
  mLog->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  mLog->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  mLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  mLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  mLog->setFocusPolicy(Qt::ClickFocus);
  mLog->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(mLog, &QPlainTextEdit::customContextMenuRequested, this, &TRepairForm::ShowLogMenu);

  Panel1 = new QWidget(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setGeometry(0, ClientHeight - PanelHeight, ClientWidth, PanelHeight);

  Label1 = new QLabel(QString::fromUtf8("Thư mục cài VYR"), Panel1);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(10, 8, 95, 14);

  txtPath = new TFolderEdit(Panel1);
  txtPath->setObjectName(QStringLiteral("txtPath"));
  txtPath->setGeometry(120, 5, 513, 22);
  txtPath->setText(QStringLiteral("D:\\VYR10"));

  btChap_Nhan = MakeButton(Panel1, "btChap_Nhan", "&Chấp nhận", 477);
  btHuy_Bo = MakeButton(Panel1, "btHuy_Bo", "&Hủy bỏ", 558);
  connect(btChap_Nhan, &QPushButton::clicked, this, [this] { btChap_NhanClick(btChap_Nhan); });
  connect(btHuy_Bo, &QPushButton::clicked, this, [this] { btHuy_BoClick(btHuy_Bo); });

  setTabOrder(txtPath, btChap_Nhan);
  setTabOrder(btChap_Nhan, btHuy_Bo);
}

// Loading the engine library here makes a missing one a start-up error.
void TRepairForm::CreateComponents() {
  cnn = std::make_unique<TDbConnection>();
  cnn->SetProviderName("Firebird");
  cnn->SetDatabase("D:\\VYR10/DATA/VYR.FDB");
  cnn->ProviderOptions().Add("Firebird.Charset=UTF8");
  cnn->ProviderOptions().Add("Firebird.UseUnicode=True");
  cnn->SetUsername("SYSDBA");
  cnn->LoginPrompt = false;
  cnn->OnError = [this](TDbConnection* sender, EDataAccessError& e, bool& fail) { cnnError(sender, e, fail); };
  Trans = std::make_unique<TDbTransaction>();
  Trans->SetDefaultConnection(cnn.get());
  udDMPB = std::make_unique<TDbQuery>();
  udDMPB2 = std::make_unique<TDbSQL>();
  scCreateTmp = std::make_unique<TDbQuery>();
  Sql = std::make_unique<TDbQuery>();
  FDataRepairStage = std::make_unique<TDataRepairStage>(
      *this, *cnn, SetUpRepairStatements(*cnn, *Trans, *udDMPB, *udDMPB2, *scCreateTmp, *Sql), platform::ProgramFolder());

  ScriptEngineCom = std::make_unique<TScriptEngineComponent>(TScriptEngineComponent::DefaultLibrary);
  ScriptEngineCom->OnBlockProgress = [this](const std::string& m, bool& c) { ScriptEngineComBlockProgress(m, c); };
  ScriptEngineCom->OnScriptError = [this](const std::string& s, const std::string& e, bool& c) {
    ScriptEngineComScriptError(s, e, c);
  };
  ScriptEngineCom->OnAfterStatement = [this](const std::string& s, bool ok, bool& c) {
    ScriptEngineComAfterStatement(s, ok, c);
  };
  ScriptEngineCom->OnConnectError = [this](const std::string& e) { ScriptEngineComConnectError(e); };
  FIndexRecovery = std::make_unique<TIndexRecovery>(*this, platform::ProgramFolder(), FDataRepairStage.get());
  FRebuildStage = std::make_unique<TRebuildStage>(*this, *ScriptEngineCom, platform::ProgramFolder(),
                                                  FIndexRecovery.get(), &FRowCounter);
}

void TRepairForm::AddLog(const std::string& text) {
  AppendToLog(text);
  ProcessEvents();
}

void TRepairForm::AppendToLog(const std::string& text) {
  FSavedLog.Write(text);
  mLog->appendPlainText(AsLogLines(text));
}

void TRepairForm::ScriptEngineComBlockProgress(const std::string& AProgressMessage, bool& AContinue) {
  const std::string prefix = LeadingChars(AProgressMessage, 15);
  if (prefix != msg2) {
    AppendToLog(AProgressMessage);
    msg2 = prefix;
    ProcessEvents();
  }
  AContinue = true;
}

void TRepairForm::ScriptEngineComScriptError(const std::string& AStatement, const std::string& AError,
                                             bool& AContinue) {
  AppendToLog("Lỗi: " + AError);
  AContinue = false;
}

void TRepairForm::ScriptEngineComAfterStatement(const std::string& AStatement, bool ASuccess, bool& AContinue) {
  AContinue = true;
}

void TRepairForm::cnnError(TDbConnection* Sender, EDataAccessError& E, bool& Fail) { AddLog(E.Message()); }

void TRepairForm::ScriptEngineComConnectError(const std::string& AError) { AppendToLog("Lỗi " + AError); }

// The embedded engine installs its own signal handlers when it loads; each
// event round takes the termination requests back.
void TRepairForm::ProcessEvents() {
  platform::CatchTerminationRequests();
  QCoreApplication::processEvents();
}

// The busy cursor of a running repair does not stand over a box that waits
// for the operator.
void TRepairForm::ShowMessage(const std::string& text) {
  FSavedLog.WriteBox(text);
  QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), QString::fromStdString(text),
                  QMessageBox::Ok, this);
  QApplication::setOverrideCursor(Qt::ArrowCursor);
  box.exec();
  QApplication::restoreOverrideCursor();
}

// The log's own menu, in the operator's language: copy and select all.
void TRepairForm::ShowLogMenu(const QPoint& position) {
  QMenu menu(mLog);
  QAction* copy = menu.addAction(QString::fromUtf8("Sao chép"), mLog, &QPlainTextEdit::copy);
  copy->setEnabled(mLog->textCursor().hasSelection());
  menu.addAction(QString::fromUtf8("Chọn tất cả"), mLog, &QPlainTextEdit::selectAll);
  menu.exec(mLog->mapToGlobal(position));
}

// The folder box is disabled while a repair runs; it takes the focus when
// the run has ended.
void TRepairForm::FocusFolderBox() {
  if (FRepairRunning) FFocusFolderBoxAfterRun = true;
  else txtPath->setFocus();
}

// The window keeps answering during the pause; Accept and the folder box
// are disabled, and a close request waits for the run's end.
void TRepairForm::Pause(unsigned milliseconds) {
  if (FPause) {
    FPause(milliseconds);
    return;
  }
  const std::uint64_t end = platform::SteadyMilliseconds() + milliseconds;
  for (std::uint64_t now = platform::SteadyMilliseconds(); now < end; now = platform::SteadyMilliseconds()) {
    ProcessEvents();
    platform::SleepMilliseconds(static_cast<unsigned>(std::min<std::uint64_t>(PauseSlice, end - now)));
  }
}

void TRepairForm::btChap_NhanClick(QObject* sender) {
  if (FRepairRunning) return;
  QPointer<QWidget> focusBefore = QApplication::focusWidget();
  FFocusFolderBoxAfterRun = false;
  {
    FStopRequested = false;
    TRepairInProgress inProgress(FRepairRunning, [this](bool enabled) { SetRepairControlsEnabled(enabled); });
    TRepairProcedure procedure(*this, FDataRepairStage.get(), FRebuildStage.get(), &FSavedLog, &FRowCounter);
    procedure.Run(txtPath->text().toStdString());
  }
  if (FFocusFolderBoxAfterRun) txtPath->setFocus();
  else if (focusBefore) focusBefore->setFocus();
  platform::CatchTerminationRequests();
  if (FCloseRequested) close();
}

// During a run Cancel stops it, once the operator has said so: the running
// step ends and the original goes back. The window stays open.
void TRepairForm::btHuy_BoClick(QObject* sender) {
  if (FRepairRunning) ConfirmStop();
  else close();
}

bool TRepairForm::ConfirmStop() {
  if (FStopRequested) return true;
  QMessageBox box(QMessageBox::Question, QApplication::applicationName(), QString::fromUtf8(StopQuestion),
                  QMessageBox::Yes | QMessageBox::No, this);
  box.setDefaultButton(QMessageBox::No);
  QApplication::setOverrideCursor(Qt::ArrowCursor);
  const bool stop = box.exec() == QMessageBox::Yes;
  QApplication::restoreOverrideCursor();
  if (stop && FRepairRunning) FStopRequested = true;
  return stop;
}

// Disabling the focused control would hand the focus on to Cancel, where a
// stray Space would close the window when the run ends: the log takes it.
void TRepairForm::SetRepairControlsEnabled(bool enabled) {
  if (!enabled) mLog->setFocus();
  btChap_Nhan->setEnabled(enabled);
  txtPath->setEnabled(enabled);
}

void TRepairForm::closeEvent(QCloseEvent* event) {
  // A repair in progress is stopped first, when the operator confirms; the
  // window closes when the run has returned.
  if (FRepairRunning) {
    if (ConfirmStop()) FCloseRequested = true;
    event->ignore();
    return;
  }
  event->accept();
}

void TRepairForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (FCentred) return;
  FCentred = true;
  if (QScreen* display = screen()) move(display->availableGeometry().center() - rect().center());
}
