#include "widgets/FolderEdit.h"

#include <QAction>
#include <QFileDialog>

#include "widgets/FolderButtonImages.h"

namespace {

const char* const PickerTitle = "Chọn thư mục";
const char* const PickerAccept = "Chọn";

}  // namespace

TFolderEdit::TFolderEdit(QWidget* owner) : QLineEdit(owner) {
  FRightButton = new QAction(TFolderButtonImages::Shared().Icon(0), QString(), this);
  FRightButton->setEnabled(true);
  FRightButton->setVisible(true);
  addAction(FRightButton, QLineEdit::TrailingPosition);
  setText(QStringLiteral("D:\\"));
  connect(FRightButton, &QAction::triggered, this, [this] { RightButtonClick(); });
  update();
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
