// Holds one picture loaded from a file (JPEG or BMP) and draws it stretched
// into a rectangle. The single-code page and the decode page each own one.
#pragma once
#include <QImage>
#include <QString>

class QPainter;

class PreviewPicture {
 public:
  // 1 when the file could be opened: the held picture is replaced by what it
  // decodes to (empty when it does not decode). 0 when it cannot be opened:
  // the held picture stays.
  int load(const QString& path);
  // Draws the whole picture into (left, top)-(right, bottom), width and height
  // scaled independently; an all-zero rectangle means the natural size at the
  // origin. An empty holder draws nothing. Returns 1.
  int draw(QPainter* surface, int left, int top, int right, int bottom) const;
  bool isEmpty() const { return image_.isNull(); }
  const QImage& image() const { return image_; }

 private:
  QImage image_;
};
