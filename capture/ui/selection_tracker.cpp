#include "capture/ui/selection_tracker.h"

#include <QCursor>
#include <QPainter>
#include <QWidget>
#include <array>

#include "capture/ui/capture_art.h"

namespace {

// Cursor per hit code 0..9, shared by every tracker (as the handle cursors of
// a desktop are); owners replace entries 0..8 with their own artwork.
std::array<QCursor, 10>& CursorTable() {
  static std::array<QCursor, 10> table = {
      QCursor(Qt::SizeFDiagCursor), QCursor(Qt::SizeBDiagCursor),
      QCursor(Qt::SizeFDiagCursor), QCursor(Qt::SizeBDiagCursor),
      QCursor(Qt::SizeVerCursor),   QCursor(Qt::SizeHorCursor),
      QCursor(Qt::SizeVerCursor),   QCursor(Qt::SizeHorCursor),
      QCursor(Qt::SizeAllCursor),   QCursor(Qt::SizeAllCursor)};
  return table;
}

}  // namespace

SelectionTracker::SelectionTracker() = default;

void SelectionTracker::setCursors(int topBottom, int leftRight, int topLeftBottomRight,
                                 int topRightBottomLeft, int inside) {
  auto& table = CursorTable();
  table[tracker::kHitTopLeft] = table[tracker::kHitBottomRight] =
      CaptureCursor(topLeftBottomRight);
  table[tracker::kHitTopRight] = table[tracker::kHitBottomLeft] =
      CaptureCursor(topRightBottomLeft);
  table[tracker::kHitTop] = table[tracker::kHitBottom] = CaptureCursor(topBottom);
  table[tracker::kHitRight] = table[tracker::kHitLeft] = CaptureCursor(leftRight);
  table[tracker::kHitMiddle] = CaptureCursor(inside);
}

void SelectionTracker::draw(QPainter* painter) const {
  using namespace tracker;
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing, false);
  const Rect r = rect_.normalized();
  if ((params_.style & (kSolidLine | kDottedLine)) != 0) {
    // The outline covers the pixels from left - 1 to right, inclusive.
    Rect o = r.inflated(1);
    painter->setPen(QPen(color_, 1, (params_.style & kDottedLine) ? Qt::DotLine : Qt::SolidLine));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(o.left, o.top, o.width() - 1, o.height() - 1);
  }
  if ((params_.style & kHatchInside) != 0) {
    painter->setPen(Qt::NoPen);
    painter->setBrush(QBrush(color_, Qt::BDiagPattern));
    painter->drawRect(r.left + 1, r.top + 1, r.width() - 1, r.height() - 1);
  }
  if ((params_.style & kHatchedBorder) != 0) {
    Rect t = trueRect();
    QRegion band = QRegion(t.left, t.top, t.width(), t.height()) -
                   QRegion(r.left, r.top, r.width(), r.height());
    painter->setClipRegion(band);
    painter->fillRect(t.left, t.top, t.width(), t.height(), QBrush(color_, Qt::BDiagPattern));
    painter->setClipping(false);
  }
  if ((params_.style & (kResizeInside | kResizeOutside)) != 0) {
    uint32_t mask = HandleMask(params_, rect_);
    for (int i = 0; i < 8; ++i) {
      if ((mask & (1u << i)) == 0) continue;
      Rect h = HandleRect(params_, rect_, i);
      painter->fillRect(h.left, h.top, h.width(), h.height(), color_);
    }
  }
  painter->restore();
}

int SelectionTracker::hitTest(QPoint point) const {
  return tracker::HitTest(params_, rect_, point.x(), point.y());
}

bool SelectionTracker::showCursor(QWidget* owner, QPoint pos) const {
  int hit = tracker::CursorHit(params_, rect_, pos.x(), pos.y());
  if (hit == tracker::kHitNothing) return false;
  owner->setCursor(CursorTable()[hit]);
  return true;
}

bool SelectionTracker::trackBegin(QPoint point, bool allowInvert) {
  return drag_.begin(params_, rect_, point.x(), point.y(), allowInvert);
}

bool SelectionTracker::trackMove(QPoint point) {
  return drag_.moveTo(&rect_, point.x(), point.y());
}

bool SelectionTracker::trackRelease(QPoint point) {
  return drag_.release(&rect_, point.x(), point.y());
}

void SelectionTracker::trackCancel() { drag_.cancel(&rect_); }
