#include "capture/ui/capture_art.h"

#include <QPainter>
#include <algorithm>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygon>
#include <memory>

#include "encoder/qr_encoder.h"

namespace {

constexpr int kCursorSize = 32;
const QColor kTitleColour(10, 100, 130);

QPixmap BlankCursor() {
  QPixmap pixmap(kCursorSize, kCursorSize);
  pixmap.fill(Qt::transparent);
  return pixmap;
}

// A double-headed arrow from `a` to `b`, white halo under a black line, so it
// stays visible over any screen content.
void DrawDoubleArrow(QPainter* p, QPointF a, QPointF b) {
  QLineF line(a, b);
  QLineF unit = line.unitVector();
  QPointF d = unit.p2() - unit.p1();
  QPointF n(-d.y(), d.x());
  auto head = [&](QPointF tip, QPointF dir) {
    QPolygonF poly;
    poly << tip << tip + dir * 6 + n * 4 << tip + dir * 6 - n * 4;
    return poly;
  };
  for (int pass = 0; pass < 2; ++pass) {
    QColor colour = pass == 0 ? Qt::white : Qt::black;
    p->setPen(QPen(colour, pass == 0 ? 4 : 1.5, Qt::SolidLine, Qt::RoundCap));
    p->setBrush(colour);
    p->drawLine(line);
    p->drawPolygon(head(a, d));
    p->drawPolygon(head(b, -d));
  }
}

QCursor ArrowCursor(QPointF a, QPointF b) {
  QPixmap pixmap = BlankCursor();
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  DrawDoubleArrow(&p, a, b);
  p.end();
  return QCursor(pixmap, 16, 16);
}

QCursor MoveCursor() {
  QPixmap pixmap = BlankCursor();
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  DrawDoubleArrow(&p, {4, 16}, {28, 16});
  DrawDoubleArrow(&p, {16, 4}, {16, 28});
  p.end();
  return QCursor(pixmap, 16, 16);
}

// An arrow pointing up and left with its tip at (2, 4), and a small frame
// corner beside it that says "capture".
QCursor CaptureArrowCursor() {
  QPixmap pixmap = BlankCursor();
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  QPolygonF arrow;
  arrow << QPointF(2, 4) << QPointF(2, 21) << QPointF(6.5, 16.5) << QPointF(10, 24)
        << QPointF(13, 22.5) << QPointF(9.5, 15.5) << QPointF(15, 15.5);
  p.setPen(QPen(Qt::black, 1));
  p.setBrush(Qt::white);
  p.drawPolygon(arrow);
  p.setPen(QPen(kTitleColour, 2));
  p.setBrush(Qt::NoBrush);
  p.drawPolyline(QPolygonF() << QPointF(18, 28) << QPointF(29, 28) << QPointF(29, 17));
  p.end();
  return QCursor(pixmap, 2, 4);
}

// The symbol as dark squares of `scale` pixels with a two-module quiet zone,
// as large as fits in `maxSide` pixels, centred at (centreX, top); false when
// the encoder fails.
bool DrawInfoCode(QPainter* p, int centreX, int top, int maxSide) {
  std::unique_ptr<QrSymbol, void (*)(QrSymbol*)> symbol(qr_create_symbol(), qr_delete_symbol);
  if (!symbol) return false;
  symbol->symbology = QR_SYMBOLOGY_QRCODE;
  symbol->ecLevel = 2;
  symbol->version = 0;
  symbol->inputMode = DATA_MODE;
  static const char kText[] = "Velmora";
  if (qr_encode(symbol.get(), reinterpret_cast<const uint8_t*>(kText), 0) != QR_OK) return false;
  int n = symbol->width;
  int scale = std::max(1, maxSide / (n + 4));
  int side = (n + 4) * scale;
  int left = centreX - side / 2;
  p->fillRect(left, top, side, side, Qt::white);
  for (int r = 0; r < n; ++r) {
    for (int c = 0; c < n; ++c) {
      if (qr_module_is_set(symbol.get(), r, c)) {
        p->fillRect(left + (c + 2) * scale, top + (r + 2) * scale, scale, scale, Qt::black);
      }
    }
  }
  return true;
}

}  // namespace

QCursor CaptureCursor(int id) {
  switch (id) {
    case kCursorCapture: return CaptureArrowCursor();
    case kCursorSizeTlbr: return ArrowCursor({5, 5}, {27, 27});
    case kCursorSizeTrbl: return ArrowCursor({27, 5}, {5, 27});
    case kCursorMove: return MoveCursor();
    case kCursorSizeHorizontal: return ArrowCursor({3, 16}, {29, 16});
    case kCursorSizeVertical: return ArrowCursor({16, 3}, {16, 29});
    default: return QCursor(Qt::ArrowCursor);
  }
}

QImage CaptureInfoPicture() {
  QImage image(kInfoPictureWidth, kInfoPictureHeight, QImage::Format_RGB32);
  image.fill(QColor(250, 250, 245));
  QPainter p(&image);
  p.fillRect(0, 0, kInfoPictureWidth, 18, kTitleColour);
  QFont font = p.font();
  font.setPixelSize(12);
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(QRect(6, 0, 80, 18), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("截图"));
  p.drawText(QRect(80, 0, 89, 18), Qt::AlignVCenter | Qt::AlignRight, QStringLiteral("Velmora"));
  p.setPen(Qt::black);
  const QString lines[] = {QStringLiteral("按住左键选择截图区域"),
                           QStringLiteral("ESC键或右键退出截图"),
                           QStringLiteral("双击选区完成截图")};
  int y = 21;
  for (const QString& line : lines) {
    p.drawText(QRect(6, y, kInfoPictureWidth - 8, 15), Qt::AlignVCenter | Qt::AlignLeft, line);
    y += 15;
  }
  DrawInfoCode(&p, kInfoPictureWidth / 2, 68, kInfoPictureHeight - 70);
  p.setPen(QColor(90, 90, 90));
  p.setBrush(Qt::NoBrush);
  p.drawRect(0, 0, kInfoPictureWidth - 1, kInfoPictureHeight - 1);
  return image;
}
