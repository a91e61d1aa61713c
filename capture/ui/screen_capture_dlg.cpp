#include "capture/ui/screen_capture_dlg.h"

#include <QClipboard>
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

bool g_bCaptureAccepted = false;

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

CScreenCaptureDlg::CScreenCaptureDlg(QWidget* parent)
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

  tracker_.SetStyle(tracker::kCaptureStyle);
  tracker_.SetColor(kTrackerColour);
  CCaptureTracker::SetCursors(kCursorSizeVertical, kCursorSizeHorizontal, kCursorSizeTlbr,
                              kCursorSizeTrbl, kCursorMove);
  tracker_.m_rect = {-1, -2, -3, -4};
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

QImage CScreenCaptureDlg::CopyScreenToBitmap(const tracker::Rect& rect, bool toClipboard) {
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
  if (toClipboard) QGuiApplication::clipboard()->setImage(picture);
  return picture;
}

bool CScreenCaptureDlg::InfoBoxVisible() const { return infoBox_->isVisible(); }

void CScreenCaptureDlg::accept() {}

void CScreenCaptureDlg::reject() {
  if (hasSelection_) {
    drawing_ = false;
    ClearSelection();
  } else {
    EndWindow();
  }
}

void CScreenCaptureDlg::EndWindow() { QDialog::done(QDialog::Rejected); }

void CScreenCaptureDlg::ClearSelection() {
  hasSelection_ = false;
  tracker_.m_rect = kNoSelection;
  RepaintExceptInfoBox();
}

void CScreenCaptureDlg::RepaintExceptInfoBox() {
  QRegion region(rect());
  if (infoBox_->isVisible()) region -= infoBox_->geometry();
  update(region);
}

void CScreenCaptureDlg::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(QRect(0, 0, screenWidth_, screenHeight_), frozen_);
  if (showInfo_ && hasSelection_) DrawMessage(tracker_.TrueRect(), &painter);
  if (hasSelection_) tracker_.Draw(&painter);
}

void CScreenCaptureDlg::DrawMessage(const tracker::Rect& r, QPainter* painter) const {
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

void CScreenCaptureDlg::UpdateCursor(QPoint pos) {
  if (!drawing_ && hasSelection_ && tracker_.SetCursor(this, pos)) return;
  setCursor(captureCursor_);
}

void CScreenCaptureDlg::mousePressEvent(QMouseEvent* event) {
  QPoint q = event->position().toPoint();
  cursorPos_ = q;
  if (event->button() == Qt::RightButton) {
    // The right button during a drag puts the rectangle back.
    if (tracker_.IsTracking()) {
      tracker_.TrackCancel();
      RepaintExceptInfoBox();
    }
    return;
  }
  if (event->button() != Qt::LeftButton) return;
  if (tracker_.HitTest(q) == tracker::kHitNothing) {
    if (hasSelection_) return;
    start_ = q;
    drawing_ = true;
    hasSelection_ = true;
    tracker_.m_rect = {q.x(), q.y(), q.x() + kStartOffset, q.y() + kStartOffset};
    showInfo_ = true;
    RepaintExceptInfoBox();
    return;
  }
  showInfo_ = true;
  RepaintExceptInfoBox();
  if (hasSelection_) tracker_.TrackBegin(q, true);
}

void CScreenCaptureDlg::mouseMoveEvent(QMouseEvent* event) {
  QPoint q = event->position().toPoint();
  cursorPos_ = q;
  if (drawing_) {
    tracker_.m_rect = {start_.x() + kStartOffset, start_.y() + kStartOffset, q.x(), q.y()};
    RepaintExceptInfoBox();
  } else if (tracker_.IsTracking()) {
    tracker_.TrackMove(q);
    RepaintExceptInfoBox();
  } else if (showInfo_) {
    RepaintExceptInfoBox();  // the readout follows the cursor
  }
  // The info box never covers the spot under the cursor.
  infoBox_->setVisible(!infoBox_->geometry().contains(q));
  UpdateCursor(q);
}

void CScreenCaptureDlg::mouseReleaseEvent(QMouseEvent* event) {
  QPoint q = event->position().toPoint();
  cursorPos_ = q;
  if (event->button() == Qt::LeftButton) {
    if (tracker_.IsTracking()) tracker_.TrackRelease(q);
    showInfo_ = false;
    drawing_ = false;
    RepaintExceptInfoBox();
  } else if (event->button() == Qt::RightButton) {
    if (hasSelection_) ClearSelection();
    else EndWindow();
  }
}

void CScreenCaptureDlg::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  QPoint q = event->position().toPoint();
  if (tracker_.HitTest(q) != tracker::kHitMiddle) return;
  tracker_.m_rect = tracker_.m_rect.normalized();
  // A rectangle without area puts nothing on the clipboard; the window then
  // ends without acceptance, so the page does not read a stale clipboard.
  if (!CopyScreenToBitmap(tracker_.m_rect, true).isNull()) g_bCaptureAccepted = true;
  EndWindow();
}

void CScreenCaptureDlg::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Escape:
      if (tracker_.IsTracking()) {
        tracker_.TrackCancel();
        RepaintExceptInfoBox();
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
