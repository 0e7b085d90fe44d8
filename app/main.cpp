// The program entry: the options that need no window (see CommandLine.h),
// else theme, repair window, event loop. An error while the window is
// created ends the program with a message box and no window.
#include <QApplication>
#include <QMessageBox>
#include <exception>

#include "app/CommandLine.h"
#include "app/Repair.h"
#include "app/Startup.h"
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
  platform::GiveUpControllingTerminal();
  if (const auto status = RunWithoutWindow(argc, argv)) return *status;
  QApplication application(argc, argv);
  PrepareApplication(application);
  try {
    TRepairForm RepairForm;
    RepairForm.show();
    return application.exec();
  } catch (const std::exception& error) {
    return ReportStartupError(QString::fromUtf8(error.what()));
  }
}
