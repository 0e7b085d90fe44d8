// The program entry: theme, repair window, event loop. An error while the
// window is created ends the program with a message box and no window.
#include <QApplication>
#include <QMessageBox>
#include <exception>

#include "app/Fonts.h"
#include "app/Repair.h"
#include "app/Theme.h"
#include "platform/Locale.h"
#include "platform/Process.h"

namespace {

int ReportStartupError(const QString& text) {
  QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), text, QMessageBox::Ok);
  box.exec();
  return 1;
}

}  // namespace

int main(int argc, char* argv[]) {
  platform::SelectUtf8Locale();
  platform::UseEmptyStandardInput();
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("VYR Repair"));
  QApplication::setQuitOnLastWindowClosed(true);
  LoadTahomaWhereMissing();
  ApplyTheme(application, QString::fromUtf8(StartupThemeName));
  try {
    TRepairForm RepairForm;
    RepairForm.show();
    return application.exec();
  } catch (const std::exception& error) {
    return ReportStartupError(QString::fromUtf8(error.what()));
  }
}
