#include "ui/preview_picture.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>

int PreviewPicture::load(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return 0;
  image_ = QImage();
  QImageReader reader(&file);
  image_ = reader.read();  // null when the file does not decode
  return 1;
}

int PreviewPicture::draw(QPainter* surface, int left, int top, int right, int bottom) const {
  if (surface == nullptr || image_.isNull()) return 1;
  if (left == 0 && top == 0 && right == 0 && bottom == 0) {
    right = image_.width();
    bottom = image_.height();
  }
  surface->drawImage(QRect(left, top, right - left, bottom - top), image_);
  return 1;
}
