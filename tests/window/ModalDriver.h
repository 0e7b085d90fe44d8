// Answers the modal dialogs that the code under test opens: each time one
// appears and is active, the test's handler sees it and closes it.
#pragma once

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>

class TModalDriver {
 public:
  explicit TModalDriver(std::function<void(QWidget*)> handler) : FHandler(std::move(handler)) {
    QObject::connect(&FTimer, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal == nullptr || modal == FLastSeen) return;
      // Typed text and key presses only count once the platform has activated the dialog.
      if (!modal->isActiveWindow()) return;
      FLastSeen = modal;
      ++Seen;
      FHandler(modal);
    });
    FTimer.start(20);
  }

  int Seen = 0;

 private:
  std::function<void(QWidget*)> FHandler;
  QTimer FTimer;
  QPointer<QWidget> FLastSeen;  // cleared when it is destroyed, so a new dialog at the same address counts
};
