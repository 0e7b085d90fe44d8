// The one process-wide 20x20 image list of the folder buttons. Created on
// first use, destroyed once when the application object goes.
#pragma once

#include <QIcon>
#include <QList>
#include <QPixmap>

class TFolderButtonImages {
 public:
  static constexpr int ImageSize = 20;

  // The shared list; it is created, with the "MYBMP" image at index 0, on the first call.
  static TFolderButtonImages& Shared();
  static bool Exists();

  int Count() const { return static_cast<int>(FImages.size()); }
  const QPixmap& Image(int index) const { return FImages.at(index); }
  QIcon Icon(int index) const;

 private:
  TFolderButtonImages();
  static void Destroy();
  void AddTransparent(QPixmap image);

  QList<QPixmap> FImages;
};
