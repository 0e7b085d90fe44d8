// A one-line edit box for a folder path with a folder button at its right
// end; the button opens a folder picker whose choice replaces the text.
#pragma once

#include <QLineEdit>

class QAction;
class QFileDialog;
class QToolButton;

class TFolderEdit : public QLineEdit {
 public:
  explicit TFolderEdit(QWidget* owner = nullptr);
  ~TFolderEdit() override;

  // Opens the folder picker on the current text; OK sets the chosen
  // folder's full path, Cancel leaves the text as it was.
  void RightButtonClick();

  QAction* RightButton() const { return FRightButton; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  static constexpr int ImageSize = 20;
  void PlaceButton();

  QAction* FRightButton;
  QToolButton* FButton;
};
