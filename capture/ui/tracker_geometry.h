// Geometry of the selection rectangle tracker: handle rectangles, hit tests,
// the handle mask and the minimum-size rule, and the drag that follows the
// mouse. Pure functions over plain values; no Qt, no window.
//
// Rectangles use half-open edges: a point (x, y) lies inside when
// left <= x < right and top <= y < bottom. A tracker rectangle may be inverted
// (right < left or bottom < top) while a handle is dragged past the other edge.
#pragma once
#include <cstdint>

namespace tracker {

struct Rect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  int32_t width() const { return right - left; }
  int32_t height() const { return bottom - top; }
  // Left <= right and top <= bottom.
  Rect normalized() const;
  Rect inflated(int32_t d) const { return {left - d, top - d, right + d, bottom + d}; }
  bool contains(int32_t x, int32_t y) const {
    return x >= left && x < right && y >= top && y < bottom;
  }
  bool operator==(const Rect&) const = default;
};

// Style bits.
constexpr uint32_t kSolidLine = 1;
constexpr uint32_t kDottedLine = 2;
constexpr uint32_t kHatchedBorder = 4;
constexpr uint32_t kResizeInside = 8;
constexpr uint32_t kResizeOutside = 16;
constexpr uint32_t kHatchInside = 32;
// Any of these bits (with kResizeOutside) centres the handles on the line.
constexpr uint32_t kCentredHandlesMask = 0xF4240;
// The capture window's style: solid line, handles outside, centred on it.
constexpr uint32_t kCaptureStyle = 0x51;

// Hit codes: -1 nothing, 0..7 a handle, 8 inside (move), 9 inside a hatched border.
constexpr int kHitNothing = -1;
constexpr int kHitTopLeft = 0, kHitTopRight = 1, kHitBottomRight = 2, kHitBottomLeft = 3;
constexpr int kHitTop = 4, kHitRight = 5, kHitBottom = 6, kHitLeft = 7;
constexpr int kHitMiddle = 8;
constexpr int kHitHatchedBorder = 9;

constexpr int32_t kDefaultHandleSize = 4;

struct Params {
  uint32_t style = 0;
  int32_t handleSize = kDefaultHandleSize;
  int32_t minWidth = 2 * kDefaultHandleSize;
  int32_t minHeight = 2 * kDefaultHandleSize;
};

// The handle that `handle` acts as once the rectangle's inversion is taken
// into account; -1 and 8 are returned unchanged.
int NormalizeHit(const Rect& rect, int handle);

// The handle size used for drawing `rect`: the configured size with handles
// outside, else at most half the smaller side.
int32_t HandleSizeFor(const Params& p, const Rect& rect);

// Bits 0..7 for the handles shown: corners always, top/bottom when the
// rectangle is wide enough (|width| - 3 * handle size >= 5), left/right when it
// is high enough.
uint32_t HandleMask(const Params& p, const Rect& rect);

// The area the tracker covers on screen: the normalised rectangle inflated by
// the handle overhang plus the line.
Rect TrueRect(const Params& p, const Rect& rect);

// The square of handle 0..7.
Rect HandleRect(const Params& p, const Rect& rect, int handle);

// The handle (raw, not normalised) or area under (x, y): -1 outside the true
// rectangle, otherwise a handle in the mask, else 8 inside the line, else -1.
int HitTest(const Params& p, const Rect& rect, int32_t x, int32_t y);

// The cursor entry for the point: the normalised handle, 9 for the inside of a
// hatched border outside the raw rectangle, -1 over nothing.
int CursorHit(const Params& p, const Rect& rect, int32_t x, int32_t y);

// A drag of a handle or of the whole rectangle, started by a press on it.
class Drag {
 public:
  // Starts a drag at (x, y) over `rect`. Returns false (nothing started) when
  // the point hits nothing.
  bool begin(const Params& p, const Rect& rect, int32_t x, int32_t y, bool allowInvert);
  bool active() const { return active_; }
  // Follows the mouse to (x, y); returns true when the rectangle changed.
  bool moveTo(Rect* rect, int32_t x, int32_t y);
  // The button went up at (x, y): final move, then the drag ends. The
  // rectangle stays where it ended, or goes back when it never moved. Returns
  // whether it differs from the rectangle before the drag.
  bool release(Rect* rect, int32_t x, int32_t y);
  // ESC or the right button: the rectangle goes back to where it was.
  void cancel(Rect* rect);
  const Rect& savedRect() const { return saved_; }

 private:
  // Applies the minimum-size rule to the moving edges.
  void adjust(Rect* rect) const;
  bool step(Rect* rect, int32_t x, int32_t y);

  Params params_;
  Rect saved_;
  int handle_ = kHitNothing;  // 0..8, as hit (not normalised)
  int xEdge_ = -1;            // 0 left, 2 right, -1 none
  int yEdge_ = -1;            // 1 top, 3 bottom, -1 none
  int32_t xDiff_ = 0, yDiff_ = 0;
  bool allowInvert_ = false;
  bool moved_ = false;
  bool active_ = false;
};

}  // namespace tracker
