// Cost of the window's log sink: 100,000 lines appended to the log, with
// pending events processed after every line, as during a repair.
#include <QApplication>
#include <QPlainTextEdit>
#include <chrono>
#include <cstdio>
#include <sys/resource.h>

#include "app/Repair.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  TRepairForm form;
  form.show();
  constexpr int Lines = 100000;
  const std::string line = "gbak:    restoring data for table BLUONG, 123456 rows processed";
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < Lines; ++i) form.AddLog(line);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  std::printf("log sink: %d lines in %.2f s, %.0f lines/s, %.1f us/line, peak memory %.1f MB\n", Lines, seconds,
              Lines / seconds, seconds * 1e6 / Lines, usage.ru_maxrss / 1024.0);
  return form.mLog->blockCount() == Lines ? 0 : 1;
}
