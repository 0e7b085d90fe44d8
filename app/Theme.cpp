#include "app/Theme.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QPalette>

namespace {

QString ThemeResource(const QString& name) { return QStringLiteral(":/themes/") + name; }

QPalette CyanDuskPalette() {
  QPalette palette;
  palette.setColor(QPalette::Window, QColor(0x1f, 0x3b, 0x45));
  palette.setColor(QPalette::WindowText, QColor(0xe6, 0xf4, 0xf6));
  palette.setColor(QPalette::Base, QColor(0x12, 0x27, 0x2e));
  palette.setColor(QPalette::Text, QColor(0xd8, 0xee, 0xf2));
  palette.setColor(QPalette::Button, QColor(0x2b, 0x55, 0x63));
  palette.setColor(QPalette::ButtonText, QColor(0xf0, 0xfa, 0xfb));
  palette.setColor(QPalette::Highlight, QColor(0x2a, 0xa6, 0xb8));
  palette.setColor(QPalette::HighlightedText, Qt::white);
  return palette;
}

}  // namespace

bool ThemeExists(const QString& name) { return QFile::exists(ThemeResource(name)); }

void ApplyTheme(QApplication& application, const QString& name) {
  QFile sheet(ThemeResource(name));
  if (!sheet.open(QIODevice::ReadOnly)) {
    QMessageBox box(QMessageBox::Critical, QApplication::applicationName(),
                    QStringLiteral("Style '%1' not found").arg(name), QMessageBox::Close);
    box.exec();
    return;
  }
  application.setPalette(CyanDuskPalette());
  application.setStyleSheet(QString::fromUtf8(sheet.readAll()));
}
