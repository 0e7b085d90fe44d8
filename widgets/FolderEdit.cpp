#include "widgets/FolderEdit.h"

#include <QAction>
#include <QFileDialog>
#include <QToolButton>
#include <algorithm>

#include "widgets/FolderButtonImages.h"

namespace {

const char* const PickerTitle = "Chọn thư mục";
const char* const PickerAccept = "Chọn";

}  // namespace

// The folder button is a tool button of our own at the right end: a line
// edit draws its own trailing actions at the style's small icon size (16),
// and the folder image is 20 by 20.
TFolderEdit::TFolderEdit(QWidget* owner) : QLineEdit(owner) {
  FRightButton = new QAction(TFolderButtonImages::Shared().Icon(0), QString(), this);
  FRightButton->setEnabled(true);
  FRightButton->setVisible(true);
  FButton = new QToolButton(this);
  FButton->setObjectName(QStringLiteral("RightButton"));
  FButton->setDefaultAction(FRightButton);
  FButton->setIconSize(QSize(ImageSize, ImageSize));
  FButton->setAutoRaise(true);
  FButton->setCursor(Qt::ArrowCursor);
  FButton->setFocusPolicy(Qt::NoFocus);
  setTextMargins(0, 0, ImageSize + 2, 0);
  setText(QStringLiteral("D:\\"));
  connect(FRightButton, &QAction::triggered, this, [this] { RightButtonClick(); });
  PlaceButton();
  update();
}

void TFolderEdit::resizeEvent(QResizeEvent* event) {
  QLineEdit::resizeEvent(event);
  PlaceButton();
}

void TFolderEdit::PlaceButton() {
  const int side = std::min(height(), ImageSize + 2);
  FButton->setGeometry(width() - side - 1, (height() - side) / 2, side, side);
}

TFolderEdit::~TFolderEdit() = default;

void TFolderEdit::RightButtonClick() {
  QString folder = text();
  QFileDialog picker(window(), QString::fromUtf8(PickerTitle), folder);
  picker.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
  picker.setFileMode(QFileDialog::Directory);
  picker.setAcceptMode(QFileDialog::AcceptOpen);
  picker.setLabelText(QFileDialog::Accept, QString::fromUtf8(PickerAccept));
  picker.setLabelText(QFileDialog::Reject, QString::fromUtf8("Hủy bỏ"));
  picker.setLabelText(QFileDialog::LookIn, QString::fromUtf8("Tìm trong:"));
  picker.setLabelText(QFileDialog::FileName, QString::fromUtf8("Thư mục:"));
  picker.setLabelText(QFileDialog::FileType, QString::fromUtf8("Loại:"));
  // Open inside the folder itself, with its full path in the name box, so
  // that confirming at once keeps the folder.
  picker.setDirectory(folder);
  if (auto* nameBox = picker.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) nameBox->setText(folder);
  picker.setWindowModality(Qt::ApplicationModal);
  if (picker.exec() == QDialog::Accepted && !picker.selectedFiles().isEmpty())
    folder = QDir::toNativeSeparators(picker.selectedFiles().first());
  setText(folder);
  update();
}
