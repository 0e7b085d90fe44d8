#include "widgets/FolderButtonImages.h"

#include <QCoreApplication>
#include <QBitmap>
#include <QImage>

namespace {

TFolderButtonImages* sharedImages = nullptr;

}  // namespace

TFolderButtonImages& TFolderButtonImages::Shared() {
  if (sharedImages == nullptr) {
    sharedImages = new TFolderButtonImages();
    qAddPostRoutine(&TFolderButtonImages::Destroy);
  }
  return *sharedImages;
}

bool TFolderButtonImages::Exists() { return sharedImages != nullptr; }

void TFolderButtonImages::Destroy() {
  delete sharedImages;
  sharedImages = nullptr;
}

TFolderButtonImages::TFolderButtonImages() {
  QPixmap bitmap(QStringLiteral(":/widgets/MYBMP"), "BMP");
  AddTransparent(bitmap.copy(0, 0, ImageSize, ImageSize));
}

// A transparent bitmap takes its lower-left pixel as the transparent colour.
void TFolderButtonImages::AddTransparent(QPixmap image) {
  if (!image.isNull()) {
    const QImage pixels = image.toImage();
    const QColor transparent = pixels.pixelColor(0, pixels.height() - 1);
    image.setMask(image.createMaskFromColor(transparent, Qt::MaskInColor));
  }
  FImages.append(image);
}

QIcon TFolderButtonImages::Icon(int index) const {
  QIcon icon;
  for (QIcon::Mode mode : {QIcon::Normal, QIcon::Active, QIcon::Selected, QIcon::Disabled})
    icon.addPixmap(Image(index), mode);
  return icon;
}
