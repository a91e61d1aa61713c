// The selection rectangle of the screen capture window: eight square resize
// handles, hit tests, cursors, and a drag that follows the mouse while the
// left button is held. The owner routes its mouse events to the Track*
// functions and repaints; the tracker never paints on its own.
#pragma once
#include <QColor>
#include <QPoint>
#include <cstdint>

#include "capture/ui/tracker_geometry.h"

class QPainter;
class QWidget;

class SelectionTracker {
 public:
  // Style 0, handle size 4, minimum size 8 x 8, black.
  SelectionTracker();

  void setStyle(uint32_t style) { params_.style = style; }
  uint32_t style() const { return params_.style; }
  void setColor(QColor color) { color_ = color; }
  QColor color() const { return color_; }
  const tracker::Params& params() const { return params_; }

  // Replaces the process-wide cursors of the handles and the inside with our
  // artwork (ids 139, 144..148, see capture_art.h).
  static void setCursors(int topBottom, int leftRight, int topLeftBottomRight,
                         int topRightBottomLeft, int inside);

  // Outline and handles, in the owner's coordinates.
  void draw(QPainter* painter) const;
  // The area covered on screen (outline and handles included).
  tracker::Rect trueRect() const { return tracker::TrueRect(params_, rect_); }
  // -1 nothing, 0..7 a handle (not normalised), 8 inside.
  int hitTest(QPoint point) const;
  // Shows the cursor of the handle under `pos` on `owner`; false (cursor left
  // alone) when the point is over nothing.
  bool showCursor(QWidget* owner, QPoint pos) const;

  // Drag: a press on a handle or inside starts it (false: nothing hit, nothing
  // changes); moves follow the mouse; the release keeps the result and answers
  // whether the rectangle changed (a click without a move answers false);
  // cancel (ESC, right button) puts the rectangle back.
  bool trackBegin(QPoint point, bool allowInvert);
  bool trackMove(QPoint point);
  bool trackRelease(QPoint point);
  void trackCancel();
  bool isTracking() const { return drag_.active(); }

  // The rectangle; (-1, -2, -3, -4) style values mean "no selection" to owners.
  const tracker::Rect& rect() const { return rect_; }
  void setRect(const tracker::Rect& rect) { rect_ = rect; }

 private:
  tracker::Rect rect_{};
  tracker::Params params_;
  QColor color_{Qt::black};
  tracker::Drag drag_;
};
