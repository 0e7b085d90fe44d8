// Makes the README's picture: the repair window after a repair of an install
// folder, with its done box, grabbed from the X server it runs on.
//   window_screenshot FOLDER OUTPUT.png
// Exit status 0 only when the repair ended with the done box and the picture
// was written.
#include <QApplication>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <cstdio>

#include "app/Repair.h"
#include "app/Startup.h"
#include "platform/Locale.h"
#include "widgets/FolderEdit.h"

namespace {

const char* const DoneText = "Đã thực hiện xong!";

// The window and the box over it, with a small margin.
bool SavePicture(const TRepairForm& form, QWidget& box, const QString& output) {
  const QRect area = form.frameGeometry().united(box.frameGeometry()).adjusted(-6, -6, 6, 6);
  const QPixmap picture = box.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
  return picture.save(output, "PNG");
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: window_screenshot FOLDER OUTPUT.png\n");
    return 2;
  }
  platform::SelectUtf8Locale();
  QApplication application(argc, argv);
  PrepareApplication(application);

  TRepairForm form;
  form.show();
  form.txtPath->setText(QString::fromUtf8(argv[1]));

  int status = 1;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isActiveWindow() || !box->windowHandle()->isExposed()) return;
    watch.stop();
    QApplication::processEvents();  // the box is painted before it is grabbed
    const bool done = box->text().startsWith(QString::fromUtf8(DoneText));
    if (!done) std::fprintf(stderr, "the repair did not end well: %s\n", box->text().toUtf8().constData());
    if (done && SavePicture(form, *box, QString::fromUtf8(argv[2]))) status = 0;
    box->accept();
  });
  watch.start(50);
  QTimer::singleShot(0, [&] {
    form.btChap_Nhan->click();  // returns when the repair and its box are over
    form.close();
  });
  application.exec();
  return status;
}
