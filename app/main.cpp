// The program entry: theme, repair window, event loop. An error while the
// window is created ends the program with a message box and no window.
//   vyr-repair --check   creates the window without showing it, loads the
//                        libraries the repair uses and prints what it found;
//                        the exit status is 0 only when everything is there.
#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstring>
#include <exception>

#include "app/Repair.h"
#include "app/Startup.h"
#include "platform/Locale.h"
#include "platform/Process.h"
#include "repair/ProgramCheck.h"

namespace {

int ReportStartupError(const QString& text) {
  QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), text, QMessageBox::Ok);
  box.exec();
  return 1;
}

int CheckProgram() {
  const TProgramCheck check = CheckProgramLibraries();
  for (const auto& line : check.Lines) std::printf("%s\n", line.c_str());
  return check.Complete ? 0 : 1;
}

bool AskedToCheck(int argc, char* argv[]) { return argc == 2 && std::strcmp(argv[1], "--check") == 0; }

}  // namespace

int main(int argc, char* argv[]) {
  platform::SelectUtf8Locale();
  platform::UseEmptyStandardInput();
  platform::GiveUpControllingTerminal();
  QApplication application(argc, argv);
  PrepareApplication(application);
  const bool checkOnly = AskedToCheck(argc, argv);
  try {
    TRepairForm RepairForm;
    if (checkOnly) return CheckProgram();
    RepairForm.show();
    return application.exec();
  } catch (const std::exception& error) {
    if (checkOnly) {
      std::fprintf(stderr, "%s\n", error.what());
      return 1;
    }
    return ReportStartupError(QString::fromUtf8(error.what()));
  }
}
