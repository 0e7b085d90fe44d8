#include <QAction>
#include <csignal>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QToolButton>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <string>

#include "app/Repair.h"
#include "app/Theme.h"
#include "db/DbConnection.h"
#include "platform/Locale.h"
#include "platform/Files.h"
#include "repair/RepairTexts.h"
#include "support/FirebirdTools.h"
#include "support/TestFolder.h"
#include "support/VyrFixture.h"
#include "widgets/FolderButtonImages.h"
#include "widgets/FolderEdit.h"
#include "window/ModalDriver.h"

namespace {

// Closes every message box it sees and keeps its text; a question is
// answered with answer.
struct TMessageBoxes {
  explicit TMessageBoxes(QMessageBox::StandardButton answer = QMessageBox::No) : answer(answer) {}
  QMessageBox::StandardButton answer;
  QStringList texts;
  TModalDriver driver{[this](QWidget* modal) {
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      texts << box->text();
      if (box->button(QMessageBox::Ok) != nullptr) box->button(QMessageBox::Ok)->click();
      else if (box->button(answer) != nullptr) box->button(answer)->click();
      else box->reject();
    }
  }};
};

const QString StopQuestion =
    QString::fromUtf8("Dừng sửa dữ liệu?\rBước đang chạy sẽ dừng và cơ sở dữ liệu được đặt lại như trước khi sửa.");

QStringList LogLines(const TRepairForm& form) {
  return form.mLog->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// An install folder whose gfix prints its first argument, a pause, then
// "done"; gbak is Debian's, so the rebuild runs for real.
void MakeInstallFolder(const TTestFolder& folder, const std::string& pauseSeconds = "0") {
  MakeFolders(folder / "DATA");
  MakeFolders(folder / "fb/bin");
  CreateVyrDatabase(folder / "DATA/VYR.FDB");
  MakeExecutableScript(folder / "fb/bin/gfix", "echo \"gfix $1\"\nsleep " + pauseSeconds + "\necho done\n");
  std::filesystem::create_symlink(GbakPath, folder / "fb/bin/gbak");
}

const QString DoneText = QString::fromUtf8("Đã thực hiện xong!\rChạy kiểm tra cấu trúc bảng và tạo năm làm việc");
const QString SavedLogLine = QString::fromUtf8("\rNhật ký của lần sửa này: ");

// The boxes without the line that names the run's saved log.
QStringList WithoutSavedLog(QStringList boxes) {
  for (QString& box : boxes) box = box.left(box.indexOf(SavedLogLine));
  return boxes;
}

// The saved log named by a box.
QString SavedLogOf(const QString& box) { return box.mid(box.indexOf(SavedLogLine) + SavedLogLine.size()); }

}  // namespace

class RepairFormTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { platform::SelectUtf8Locale(); }

  void windowHasItsCaptionsGeometryAndStartState() {
    TRepairForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.windowTitle(), QString::fromUtf8("Sửa chữa Database"));
    QCOMPARE(form.size(), QSize(641, 394));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QVERIFY(!(form.windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(form.mLog->geometry(), QRect(0, 0, 641, 319));
    QCOMPARE(form.Panel1->geometry(), QRect(0, 319, 641, 75));
    QCOMPARE(form.Label1->text(), QString::fromUtf8("Thư mục cài VYR"));
    QCOMPARE(form.Label1->geometry(), QRect(10, 8, 95, 14));
    QCOMPARE(form.txtPath->geometry(), QRect(120, 5, 513, 22));
    QCOMPARE(form.btChap_Nhan->geometry(), QRect(477, 33, 75, 30));
    QCOMPARE(form.btHuy_Bo->geometry(), QRect(558, 33, 75, 30));
    QCOMPARE(form.btChap_Nhan->text(), QString::fromUtf8("&Chấp nhận"));
    QCOMPARE(form.btHuy_Bo->text(), QString::fromUtf8("&Hủy bỏ"));
    QCOMPARE(form.txtPath->text(), QStringLiteral("D:\\VYR10"));
    QVERIFY(form.mLog->toPlainText().isEmpty());
    QVERIFY(form.mLog->isReadOnly());
    QCOMPARE(form.mLog->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    QCOMPARE(form.mLog->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(form.font().family(), QStringLiteral("Tahoma"));
    form.activateWindow();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(form.txtPath));
    QTest::keyClick(form.txtPath, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(form.btChap_Nhan));
    QTest::keyClick(form.btChap_Nhan, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(form.btHuy_Bo));
  }

  void connectionCarriesItsDesignSettingsAndLogsItsErrors() {
    TRepairForm form;
    QCOMPARE(QString::fromStdString(form.cnn->ProviderName()), QStringLiteral("Firebird"));
    QCOMPARE(QString::fromStdString(form.cnn->Username()), QStringLiteral("SYSDBA"));
    QCOMPARE(form.cnn->ProviderOptions().Lines(),
             (std::vector<std::string>{"Firebird.Charset=UTF8", "Firebird.UseUnicode=True"}));
    QVERIFY(!form.cnn->LoginPrompt);
    form.cnn->ProviderOptions().SetValue("ClientLibrary", PROGRAM_FOLDER "/libfbclient.so.2");
    form.cnn->SetDatabase("/no/such/VYR.FDB");
    QVERIFY_THROWS_EXCEPTION(EDbError, form.cnn->Open());
    QCOMPARE(LogLines(form).size(), 3);  // the server's three lines, logged by cnnError before the raise
    QVERIFY(LogLines(form)[0].contains("/no/such/VYR.FDB"));
  }

  void logIsReadOnlySelectableAndSplitsLineBreaks() {
    TRepairForm form;
    form.AddLog("one\r\ntwo\rthree\nfour");
    QCOMPARE(LogLines(form), (QStringList{"one", "two", "three", "four"}));
    form.mLog->setFocus();
    QTest::keyClicks(form.mLog, "typed");
    QVERIFY(!form.mLog->toPlainText().contains("typed"));
    form.mLog->selectAll();
    QCOMPARE(form.mLog->textCursor().selectedText().left(3), QStringLiteral("one"));
    QVERIFY(form.mLog->textInteractionFlags() & Qt::TextSelectableByMouse);
  }

  void altCPressesAcceptAndAMissingDatabaseIsReported() {
    TRepairForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.txtPath->setText(QStringLiteral(" /no/such/VYR10 "));
    TMessageBoxes boxes;
    QTest::keyClick(&form, Qt::Key_C, Qt::AltModifier);
    QTRY_COMPARE(boxes.texts.size(), 1);
    QCOMPARE(boxes.texts[0], QString::fromStdString(texts::FolderMissing("/no/such/VYR10/")));
    QVERIFY(form.mLog->toPlainText().isEmpty());
    QCOMPARE(form.focusWidget(), static_cast<QWidget*>(form.txtPath));
  }

  void enterAndEscPressNeitherButton() {
    TRepairForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.txtPath->setText(QStringLiteral("/no/such/VYR10"));
    QSignalSpy accepted(form.btChap_Nhan, &QPushButton::clicked);
    QSignalSpy cancelled(form.btHuy_Bo, &QPushButton::clicked);
    form.txtPath->setFocus();
    QTest::keyClick(form.txtPath, Qt::Key_Return);
    QTest::keyClick(form.txtPath, Qt::Key_Enter);
    QTest::keyClick(form.txtPath, Qt::Key_Escape);
    QTest::qWait(50);
    QCOMPARE(accepted.count(), 0);
    QCOMPARE(cancelled.count(), 0);
    QVERIFY(form.isVisible());
    QVERIFY(!form.btChap_Nhan->isDefault() && !form.btChap_Nhan->autoDefault());
  }

  void altHClosesTheWindow() {
    TRepairForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::keyClick(&form, Qt::Key_H, Qt::AltModifier);
    QTRY_VERIFY(!form.isVisible());
  }

  void aRunLogsToolOutputAndASecondRunAppends() {
    TTestFolder folder("VYR 10");
    MakeInstallFolder(folder);
    TRepairForm form;
    form.SetPause([](unsigned) {});
    TMessageBoxes boxes;
    form.txtPath->setText(QString::fromStdString(folder.Path()));
    form.btChap_Nhan->click();
    const QStringList tools{"gfix -v", "done", "gfix -mend", "done", QString::fromUtf8("Đang kiểm tra trùng dữ liệu...")};
    const QStringList first = LogLines(form);
    QCOMPARE(first.mid(0, 5), tools);
    QVERIFY(first.size() > 10);  // what the statements changed, then the restore's progress
    const int restore = static_cast<int>(first.indexOf(QRegularExpression("gbak:opened file.*")));
    QVERIFY(restore > 5);
    QVERIFY(first[5].startsWith(QString::fromUtf8("Đã cấp ID cho ")));
    const int changeLines = restore - 5;
    const std::string repaired = RunIsqlOn(folder / "DATA/VYR.FDB",
        "select 'dup=' || count(*) from (select NAM, THANG, MSNV from BLUONG group by 1, 2, 3 having count(*) > 1);\n"
        "select 'noid=' || count(*) from DMPB where ID is null;\n");
    QVERIFY2(repaired.find("dup=0") != std::string::npos && repaired.find("noid=0") != std::string::npos, repaired.c_str());
    for (const char* file : {"DATA/VYR.FDB", "DATA/VYRBK.FBK", "DATA/VYR_LUU.FDB"})
      QVERIFY(std::filesystem::exists(folder / file));
    QVERIFY(!first.join("\n").contains(QString::fromUtf8("Lỗi")));
    QCOMPARE(WithoutSavedLog(boxes.texts), QStringList{DoneText});
    // Every line of the log, and the box, are in the saved log, each with its time.
    const std::string saved = platform::ReadWholeFile(SavedLogOf(boxes.texts[0]).toStdString()).value_or("");
    for (const QString& line : first) QVERIFY2(saved.find(" " + line.toStdString() + "\n") != std::string::npos, qPrintable(line));
    QVERIFY(saved.find(" Hộp thoại: Đã thực hiện xong!") != std::string::npos);
    form.btChap_Nhan->click();
    const QStringList both = LogLines(form);
    QCOMPARE(both.mid(0, first.size()), first);
    QCOMPARE(both.mid(first.size(), 5), tools);
    QVERIFY(both[first.size() + 5].startsWith("gbak:opened file"));  // nothing left to change
    QCOMPARE(both.size(), 2 * first.size() - changeLines);  // msg2 differs at the start of the second restore
    QCOMPARE(WithoutSavedLog(boxes.texts), (QStringList{DoneText, DoneText}));
  }

  void progressIsLoggedOnlyWhenItsFirst15CharactersChange() {
    TRepairForm form;
    bool go = false;
    form.ScriptEngineComBlockProgress("", go);  // equals the empty msg2: not logged
    QVERIFY(go);
    form.ScriptEngineComBlockProgress("gbak:restoring data 1", go);
    form.ScriptEngineComBlockProgress("gbak:restoring data 2", go);
    form.ScriptEngineComBlockProgress("gbak:đang xử lý 1", go);
    form.ScriptEngineComBlockProgress("gbak:đang xử lý 2", go);
    form.ScriptEngineComBlockProgress("short", go);
    form.ScriptEngineComBlockProgress("gbak:restoring data 3", go);
    form.ScriptEngineComBlockProgress("12345678901234A tail", go);  // the 15th character decides
    form.ScriptEngineComBlockProgress("12345678901234B tail", go);
    QCOMPARE(LogLines(form), (QStringList{"gbak:restoring data 1", QString::fromUtf8("gbak:đang xử lý 1"), "short",
                                          "gbak:restoring data 3", "12345678901234A tail", "12345678901234B tail"}));
    form.ScriptEngineComScriptError("stmt", "restore failed", go);
    QVERIFY(!go);
    form.ScriptEngineComConnectError("no connect");
    form.ScriptEngineComAfterStatement("stmt", false, go);
    QVERIFY(go);
    QCOMPARE(LogLines(form).mid(6), (QStringList{QString::fromUtf8("Lỗi: restore failed"), QString::fromUtf8("Lỗi no connect")}));
  }

  void acceptAndFolderBoxAreDisabledWhileARepairRuns() {
    TTestFolder folder("VYR10");
    MakeInstallFolder(folder, "0.4");
    TRepairForm form;
    form.SetPause([](unsigned) {});
    TMessageBoxes boxes;
    form.show();
    form.txtPath->setText(QString::fromStdString(folder.Path()));
    QList<bool> enabledDuringRun;
    QTimer probe;
    bool cancelled = false;
    connect(&probe, &QTimer::timeout, [&] {
      if (!form.RepairRunning() || QApplication::activeModalWidget() != nullptr) return;
      enabledDuringRun << (form.btChap_Nhan->isEnabled() || form.txtPath->isEnabled());
      form.btChap_NhanClick(form.btChap_Nhan);  // a second repair must not start inside the first
      if (!cancelled) form.btHuy_Bo->click();   // asks; the answer No lets the run go on
      cancelled = true;
      enabledDuringRun << !form.isVisible();
    });
    probe.start(50);
    form.btChap_Nhan->click();
    probe.stop();
    QVERIFY(!enabledDuringRun.isEmpty());
    QVERIFY(!enabledDuringRun.contains(true));
    QCOMPARE(LogLines(form).mid(0, 4), (QStringList{"gfix -v", "done", "gfix -mend", "done"}));
    QCOMPARE(WithoutSavedLog(boxes.texts), (QStringList{StopQuestion, DoneText}));  // one repair, one done box
    QVERIFY(form.btChap_Nhan->isEnabled() && form.txtPath->isEnabled());
    QVERIFY(form.isVisible());
  }

  // Cancel or the close box during a run: once the operator says yes, the
  // running tool ends at once and the original goes back; the close box
  // then closes the window. Nobody has to kill the program.
  void cancelOrCloseDuringARunStopsItOnceTheOperatorSaysYes() {
    for (const bool closing : {false, true}) {
      TTestFolder folder("VYR10");
      MakeInstallFolder(folder, "30");
      const std::string original = ReadFileBytes(folder / "DATA/VYR.FDB");
      TRepairForm form;
      form.SetPause([](unsigned) {});
      TMessageBoxes boxes(QMessageBox::Yes);
      form.show();
      form.txtPath->setText(QString::fromStdString(folder.Path()));
      QTimer probe;
      connect(&probe, &QTimer::timeout, [&] {
        if (!form.RepairRunning() || !LogLines(form).contains("gfix -v") || QApplication::activeModalWidget() != nullptr)
          return;
        probe.stop();
        closing ? (void)form.close() : form.btHuy_Bo->click();
      });
      probe.start(20);
      QElapsedTimer clock;
      clock.start();
      form.btChap_Nhan->click();
      QVERIFY2(clock.elapsed() < 25000, "the tool was not stopped");
      QVERIFY(LogLines(form).contains(QString::fromStdString(texts::StoppedByOperator("gfix -v"))));
      QCOMPARE(boxes.texts.size(), 2);
      QCOMPARE(boxes.texts[0], StopQuestion);
      QVERIFY(boxes.texts[1].startsWith(QString::fromStdString(texts::RepairFailedBox(""))));
      QCOMPARE(ReadFileBytes(folder / "DATA/VYR.FDB"), original);
      if (closing) QTRY_VERIFY(!form.isVisible());
      else QVERIFY(form.isVisible());
    }
  }

  void aStrayKeyDuringARunNeitherCancelsNorClosesTheWindow() {
    TTestFolder folder("VYR10");
    MakeInstallFolder(folder, "0.3");
    TRepairForm form;
    form.SetPause([](unsigned) {});
    TMessageBoxes boxes;
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.txtPath->setText(QString::fromStdString(folder.Path()));
    form.btChap_Nhan->setFocus();
    QSignalSpy cancelled(form.btHuy_Bo, &QPushButton::clicked);
    int keysDuringRun = 0;
    QTimer probe;
    connect(&probe, &QTimer::timeout, [&] {
      if (!form.RepairRunning() || QApplication::activeModalWidget() != nullptr) return;
      if (QApplication::focusWidget() == nullptr) return;
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
      ++keysDuringRun;
    });
    probe.start(30);
    QTest::keyClick(form.btChap_Nhan, Qt::Key_Space);
    probe.stop();
    QVERIFY(keysDuringRun > 0);
    QCOMPARE(cancelled.count(), 0);
    QCOMPARE(WithoutSavedLog(boxes.texts), QStringList{DoneText});
    QVERIFY(form.isVisible());
  }

  void theWindowAnswersWhileAToolRunsSilently() {
    TTestFolder folder("VYR10");
    MakeFolders(folder / "DATA");
    MakeFolders(folder / "fb/bin");
    CreateTestDatabase(folder / "DATA/VYR.FDB");
    MakeExecutableScript(folder / "fb/bin/gfix", "sleep 0.6\necho done\n");
    TRepairForm form;
    form.SetPause([](unsigned) {});
    TMessageBoxes boxes;
    form.txtPath->setText(QString::fromStdString(folder.Path()));
    int roundsBeforeAnyOutput = 0;
    QTimer probe;
    connect(&probe, &QTimer::timeout, [&] {
      if (form.RepairRunning() && form.mLog->toPlainText().isEmpty()) ++roundsBeforeAnyOutput;
    });
    probe.start(20);
    form.btChap_Nhan->click();
    probe.stop();
    QVERIFY2(roundsBeforeAnyOutput >= 3, QByteArray::number(roundsBeforeAnyOutput).constData());
  }

  void theLogMenuSpeaksVietnameseAndBoxesShowNoBusyCursor() {
    TRepairForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.AddLog("một dòng");
    QStringList items;
    QTimer::singleShot(0, [&] {
      QTRY_VERIFY(qobject_cast<QMenu*>(QApplication::activePopupWidget()) != nullptr);
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      for (QAction* action : menu->actions()) items << action->text();
      menu->close();
    });
    emit form.mLog->customContextMenuRequested(QPoint(5, 5));
    QCOMPARE(items, (QStringList{QString::fromUtf8("Sao chép"), QString::fromUtf8("Chọn tất cả")}));

    QApplication::setOverrideCursor(Qt::WaitCursor);  // as during a run
    Qt::CursorShape shapeOverBox = Qt::WaitCursor;
    TModalDriver box([&](QWidget* modal) {
      shapeOverBox = QApplication::overrideCursor()->shape();
      qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Ok)->click();
    });
    form.ShowMessage("xong");
    QCOMPARE(shapeOverBox, Qt::ArrowCursor);
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    QApplication::restoreOverrideCursor();
  }

  void aTerminationRequestAfterARepairClosesTheWindow() {
    TTestFolder folder("VYR10");
    MakeInstallFolder(folder);
    TRepairForm form;
    form.SetPause([](unsigned) {});
    TMessageBoxes boxes;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.txtPath->setText(QString::fromStdString(folder.Path()));
    form.btChap_Nhan->click();  // loads the embedded engine, which installs its own handlers
    QCOMPARE(WithoutSavedLog(boxes.texts), QStringList{DoneText});
    ::raise(SIGTERM);
    QTRY_VERIFY(!form.isVisible());
  }

  void folderPickerStartsAtTheTextAndSetsTheChosenFolder() {
    TTestFolder folder("Chọn");
    MakeFolders(folder / "start");
    MakeFolders(folder / "other");
    TFolderEdit box;
    QCOMPARE(box.text(), QStringLiteral("D:\\"));
    box.setText(QString::fromStdString(folder / "start"));
    QString title, acceptLabel, rejectLabel, lookInLabel, startFolder, nameText;
    TModalDriver pick([&](QWidget* modal) {
      auto* picker = qobject_cast<QFileDialog*>(modal);
      if (picker == nullptr) return;
      title = picker->windowTitle();
      acceptLabel = picker->labelText(QFileDialog::Accept);
      rejectLabel = picker->labelText(QFileDialog::Reject);
      lookInLabel = picker->labelText(QFileDialog::LookIn);
      startFolder = picker->directory().absolutePath();
      if (auto* nameBox = picker->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) nameText = nameBox->text();
      // the operator types another folder into the name box and confirms
      if (auto* nameBox = picker->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
        nameBox->setFocus();
        nameBox->setText(QString::fromStdString(folder / "other"));
      }
      QMetaObject::invokeMethod(picker, "accept", Qt::QueuedConnection);
    });
    box.RightButtonClick();
    QCOMPARE(title, QString::fromUtf8("Chọn thư mục"));
    QCOMPARE(acceptLabel, QString::fromUtf8("Chọn"));
    QCOMPARE(rejectLabel, QString::fromUtf8("Hủy bỏ"));
    QCOMPARE(lookInLabel, QString::fromUtf8("Tìm trong:"));
    QCOMPARE(startFolder, QDir(QString::fromStdString(folder / "start")).absolutePath());
    QCOMPARE(nameText, QString::fromStdString(folder / "start"));
    QCOMPARE(box.text(), QString::fromStdString(folder / "other"));
  }

  void confirmingThePickerAtOnceKeepsTheFolder() {
    TTestFolder folder("Kế toán");
    TFolderEdit box;
    box.setText(QString::fromStdString(folder / ""));
    TModalDriver confirm([](QWidget* modal) {
      if (modal->inherits("QFileDialog")) QMetaObject::invokeMethod(modal, "accept", Qt::QueuedConnection);
    });
    box.RightButtonClick();
    QCOMPARE(confirm.Seen, 1);
    QCOMPARE(QDir(box.text()), QDir(QString::fromStdString(folder.Path())));
  }

  void cancellingThePickerLeavesTheText() {
    TFolderEdit box;
    box.setText(QStringLiteral("/no/such/folder"));
    TModalDriver cancel([](QWidget* modal) {
      if (auto* picker = qobject_cast<QFileDialog*>(modal)) picker->reject();
    });
    box.RightButton()->trigger();
    QCOMPARE(cancel.Seen, 1);
    QCOMPARE(box.text(), QStringLiteral("/no/such/folder"));
  }

  void folderBoxesShareOneImageList() {
    auto* first = new TFolderEdit;
    TFolderEdit second;
    const TFolderButtonImages* images = &TFolderButtonImages::Shared();
    QCOMPARE(images->Count(), 1);
    QCOMPARE(images->Image(0).size(), QSize(20, 20));
    QVERIFY(!images->Image(0).mask().isNull());
    delete first;
    QVERIFY(TFolderButtonImages::Exists());
    QVERIFY(!second.RightButton()->icon().pixmap(20, 20).isNull());
    QVERIFY(second.RightButton()->isVisible() && second.RightButton()->isEnabled());
    auto* drawn = second.findChild<QToolButton*>(QStringLiteral("RightButton"));
    QVERIFY(drawn != nullptr);
    QCOMPARE(drawn->iconSize(), QSize(20, 20));  // the folder image at its own size, not 16 by 16
    QCOMPARE(drawn->defaultAction(), second.RightButton());
  }

  void folderBitmapIsOurs20x20WithAWhiteLowerLeftPixel() {
    QImage bitmap(QStringLiteral(":/widgets/MYBMP"), "BMP");
    QCOMPARE(bitmap.size(), QSize(20, 20));
    QCOMPARE(bitmap.pixelColor(0, 19), QColor(Qt::white));
    QCOMPARE(bitmap.dotsPerMeterX(), 3779);
  }

  void themeIsCarriedAndAnUnknownOneIsReported() {
    QVERIFY(ThemeExists(QString::fromUtf8(StartupThemeName)));
    QString text;
    bool hasClose = false;
    TModalDriver driver([&](QWidget* modal) {
      if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        text = box->text();
        hasClose = box->button(QMessageBox::Close) != nullptr;
        box->button(QMessageBox::Close) ? box->button(QMessageBox::Close)->click() : box->reject();
      }
    });
    ApplyTheme(*qApp, QStringLiteral("Nowhere"));
    QCOMPARE(text, QStringLiteral("Style 'Nowhere' not found"));
    QVERIFY(hasClose);
    ApplyTheme(*qApp, QString::fromUtf8(StartupThemeName));
    QVERIFY(!qApp->styleSheet().isEmpty());
  }
};

QTEST_MAIN(RepairFormTest)
#include "RepairFormTest.moc"
