#include "app/Startup.h"

#include <QApplication>

#include "app/Fonts.h"
#include "app/Theme.h"

void PrepareApplication(QApplication& application) {
  QApplication::setApplicationName(QStringLiteral("VYR Repair"));
  QApplication::setQuitOnLastWindowClosed(true);
  LoadTahomaWhereMissing();
  ApplyTheme(application, QString::fromUtf8(StartupThemeName));
}
