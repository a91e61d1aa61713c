#include "capture/ui/screen_capture_window.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <algorithm>

#include "capture/ui/capture_art.h"

namespace {

// The window's own offset between the press point and the first rectangle.
constexpr int kStartOffset = 4;
const QColor kTrackerColour(10, 100, 130);
const tracker::Rect kNoSelection{-1, -1, -1, -1};

QFont ReadoutFont() {
  QFont font;
  font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("宋体"),
                    QStringLiteral("WenQuanYi Micro Hei")});
  font.setPointSize(9);
  return font;
}

}  // namespace

QRect ReadoutBox(QPoint cursor, int boxWidth, int lineHeight, QSize screen) {
  int height = 6 * lineHeight;
  QRect box(cursor.x() + 3, cursor.y() - height - 3, boxWidth, height);
  if (cursor.x() + boxWidth >= screen.width()) box.translate(-(boxWidth + 6), 0);
  if (cursor.y() - height <= 0) box.translate(0, height + 6);
  return box;
}

QStringList ReadoutLines(const tracker::Rect& r, QPoint cursor) {
  return {QStringLiteral("顶点位置"),
          QStringLiteral("(%1,%2)").arg(r.left).arg(r.top),
          QStringLiteral("矩形大小"),
          QStringLiteral("(%1,%2)").arg(r.width()).arg(r.height()),
          QStringLiteral("光标坐标"),
          QStringLiteral("(%1,%2)").arg(cursor.x()).arg(cursor.y())};
}

ScreenCaptureWindow::ScreenCaptureWindow(QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  QScreen* screen = QGuiApplication::primaryScreen();
  QRect geometry = screen != nullptr ? screen->geometry() : QRect(0, 0, 640, 480);
  screenWidth_ = geometry.width();
  screenHeight_ = geometry.height();
  if (screen != nullptr) frozen_ = screen->grabWindow(0).toImage();
  if (frozen_.isNull()) {
    frozen_ = QImage(screenWidth_, screenHeight_, QImage::Format_RGB32);
    frozen_.fill(Qt::black);
  }

  tracker_.setStyle(tracker::kCaptureStyle);
  tracker_.setColor(kTrackerColour);
  SelectionTracker::setCursors(kCursorSizeVertical, kCursorSizeHorizontal, kCursorSizeTlbr,
                              kCursorSizeTrbl, kCursorMove);
  tracker_.setRect({-1, -2, -3, -4});
  captureCursor_ = CaptureCursor(kCursorCapture);

  // Without a window manager a full-screen request leaves a small window:
  // the geometry is set explicitly.
  setGeometry(geometry);
  setMouseTracking(true);
  setCursor(captureCursor_);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setWindowIcon(QGuiApplication::windowIcon());
  infoBox_ = new QLabel(this);
  infoBox_->setPixmap(QPixmap::fromImage(CaptureInfoPicture()));
  infoBox_->setGeometry(0, 0, kInfoPictureWidth, kInfoPictureHeight);
  infoBox_->setAttribute(Qt::WA_TransparentForMouseEvents);
  cursorPos_ = mapFromGlobal(QCursor::pos());
}

QImage ScreenCaptureWindow::copyScreen(const tracker::Rect& rect) const {
  if (rect.right <= rect.left || rect.bottom <= rect.top) return QImage();
  int x1 = std::max(rect.left, 0);
  int y1 = std::max(rect.top, 0);
  int x2 = std::min(rect.right, screenWidth_);
  int y2 = std::min(rect.bottom, screenHeight_);
  if (x2 <= x1 || y2 <= y1) return QImage();
  // The grab holds device pixels; copy the same screen area from it.
  qreal dpr = frozen_.devicePixelRatio();
  QRect source(qRound(x1 * dpr), qRound(y1 * dpr), qRound((x2 - x1) * dpr),
               qRound((y2 - y1) * dpr));
  QImage picture = frozen_.copy(source).convertToFormat(QImage::Format_RGB32);
  picture.setDevicePixelRatio(1.0);
  return picture;
}

bool ScreenCaptureWindow::infoBoxVisible() const { return infoBox_->isVisible(); }

void ScreenCaptureWindow::accept() {}

void ScreenCaptureWindow::reject() {
  if (hasSelection_) {
    drawing_ = false;
    clearSelection();
  } else {
    endWindow();
  }
}

void ScreenCaptureWindow::endWindow() { QDialog::done(QDialog::Rejected); }

void ScreenCaptureWindow::clearSelection() {
  hasSelection_ = false;
  tracker_.setRect(kNoSelection);
  repaintExceptInfoBox();
}

void ScreenCaptureWindow::repaintExceptInfoBox() {
  QRegion region(rect());
  if (infoBox_->isVisible()) region -= infoBox_->geometry();
  update(region);
}

void ScreenCaptureWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(QRect(0, 0, screenWidth_, screenHeight_), frozen_);
  if (showInfo_ && hasSelection_) drawMessage(tracker_.trueRect(), &painter);
  if (hasSelection_) tracker_.draw(&painter);
}

void ScreenCaptureWindow::drawMessage(const tracker::Rect& r, QPainter* painter) const {
  painter->save();
  QFont font = ReadoutFont();
  painter->setFont(font);
  QFontMetrics metrics(font);
  int lineHeight = metrics.height() + metrics.leading();
  int boxWidth = metrics.horizontalAdvance(QStringLiteral("顶点位置  "));
  QRect box = ReadoutBox(cursorPos_, boxWidth, lineHeight, QSize(screenWidth_, screenHeight_));
  painter->setPen(QPen(Qt::black, 1));
  painter->setBrush(Qt::NoBrush);
  painter->drawRect(box.adjusted(0, 0, -1, -1));
  int y = box.top() + 2;
  for (const QString& line : ReadoutLines(r, cursorPos_)) {
    painter->drawText(QRect(box.left(), y, boxWidth, lineHeight), Qt::AlignHCenter | Qt::AlignTop,
                      line);
    y += lineHeight;
  }
  painter->restore();
}

void ScreenCaptureWindow::updateCursor(QPoint pos) {
  if (!drawing_ && hasSelection_ && tracker_.showCursor(this, pos)) return;
  setCursor(captureCursor_);
}

void ScreenCaptureWindow::mousePressEvent(QMouseEvent* event) {
  QPoint q = event->position().toPoint();
  cursorPos_ = q;
  if (event->button() == Qt::RightButton) {
    // The right button during a drag puts the rectangle back.
    if (tracker_.isTracking()) {
      tracker_.trackCancel();
      repaintExceptInfoBox();
    }
    return;
  }
  if (event->button() != Qt::LeftButton) return;
  if (tracker_.hitTest(q) == tracker::kHitNothing) {
    if (hasSelection_) return;
    start_ = q;
    drawing_ = true;
    hasSelection_ = true;
    tracker_.setRect({q.x(), q.y(), q.x() + kStartOffset, q.y() + kStartOffset});
    showInfo_ = true;
    repaintExceptInfoBox();
    return;
  }
  showInfo_ = true;
  repaintExceptInfoBox();
  if (hasSelection_) tracker_.trackBegin(q, true);
}

void ScreenCaptureWindow::mouseMoveEvent(QMouseEvent* event) {
  QPoint q = event->position().toPoint();
  cursorPos_ = q;
  if (drawing_) {
    tracker_.setRect({start_.x() + kStartOffset, start_.y() + kStartOffset, q.x(), q.y()});
    repaintExceptInfoBox();
  } else if (tracker_.isTracking()) {
    tracker_.trackMove(q);
    repaintExceptInfoBox();
  } else if (showInfo_) {
    repaintExceptInfoBox();  // the readout follows the cursor
  }
  // The info box never covers the spot under the cursor.
  infoBox_->setVisible(!infoBox_->geometry().contains(q));
  updateCursor(q);
}

void ScreenCaptureWindow::mouseReleaseEvent(QMouseEvent* event) {
  QPoint q = event->position().toPoint();
  cursorPos_ = q;
  if (event->button() == Qt::LeftButton) {
    if (tracker_.isTracking()) tracker_.trackRelease(q);
    showInfo_ = false;
    drawing_ = false;
    repaintExceptInfoBox();
  } else if (event->button() == Qt::RightButton) {
    if (hasSelection_) clearSelection();
    else endWindow();
  }
}

void ScreenCaptureWindow::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  QPoint q = event->position().toPoint();
  if (tracker_.hitTest(q) != tracker::kHitMiddle) return;
  tracker_.setRect(tracker_.rect().normalized());
  // A rectangle without area gives a null picture: the page then does nothing.
  picture_ = copyScreen(tracker_.rect());
  endWindow();
}

void ScreenCaptureWindow::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Escape:
      if (tracker_.isTracking()) {
        tracker_.trackCancel();
        repaintExceptInfoBox();
      } else {
        reject();
      }
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      break;
    default:
      QDialog::keyPressEvent(event);
  }
}
