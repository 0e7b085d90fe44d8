#include "app/Fonts.h"

#include <QFile>
#include <QFontDatabase>

void LoadTahomaWhereMissing() {
  if (QFontDatabase::families().contains(QStringLiteral("Tahoma"))) return;
  for (const char* path : {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/fonts/truetype/wine/tahoma.ttf"}) {
    if (QFile::exists(QString::fromLatin1(path)) && QFontDatabase::addApplicationFont(QString::fromLatin1(path)) >= 0)
      return;
  }
}
