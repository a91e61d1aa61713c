#include "capture/ui/tracker_geometry.h"

#include <algorithm>
#include <cstdlib>

namespace tracker {
namespace {

// Edges of a rectangle by index.
enum Edge { kLeft = 0, kTop = 1, kRight = 2, kBottom = 3 };

int32_t& EdgeOf(Rect& r, int edge) {
  switch (edge) {
    case kLeft: return r.left;
    case kTop: return r.top;
    case kRight: return r.right;
    default: return r.bottom;
  }
}
int32_t EdgeOf(const Rect& r, int edge) { return EdgeOf(const_cast<Rect&>(r), edge); }

struct HandleInfo {
  int xEdge, yEdge;        // the edges that give the handle's position
  int centreX, centreY;    // 1: centred along that axis
  int offsetX, offsetY;    // in handle sizes
  int invertX, invertY;    // the handle it becomes when inverted in x / y
};

constexpr HandleInfo kHandles[8] = {
    {kLeft, kTop, 0, 0, 0, 0, 1, 3},       // 0 top-left
    {kRight, kTop, 0, 0, -1, 0, 0, 2},     // 1 top-right
    {kRight, kBottom, 0, 0, -1, -1, 3, 1}, // 2 bottom-right
    {kLeft, kBottom, 0, 0, 0, -1, 2, 0},   // 3 bottom-left
    {kLeft, kTop, 1, 0, 0, 0, 4, 6},       // 4 top
    {kRight, kTop, 0, 1, -1, 0, 7, 5},     // 5 right
    {kLeft, kBottom, 1, 0, 0, -1, 6, 4},   // 6 bottom
    {kLeft, kTop, 0, 1, 0, 0, 5, 7},       // 7 left
};

bool HasLine(uint32_t style) { return (style & (kSolidLine | kDottedLine)) != 0; }
bool HasHandles(uint32_t style) { return (style & (kResizeInside | kResizeOutside)) != 0; }

int HandleHitTest(const Params& p, const Rect& rect, int32_t x, int32_t y) {
  uint32_t mask = HandleMask(p, rect);
  for (int i = 0; i < 8; ++i) {
    if ((mask & (1u << i)) != 0 && HandleRect(p, rect, i).contains(x, y)) return i;
  }
  if ((p.style & kHatchedBorder) != 0) return kHitMiddle;
  return rect.normalized().inflated(1).contains(x, y) ? kHitMiddle : kHitNothing;
}

}  // namespace

Rect Rect::normalized() const {
  return {std::min(left, right), std::min(top, bottom), std::max(left, right),
          std::max(top, bottom)};
}

int NormalizeHit(const Rect& rect, int handle) {
  if (handle < 0 || handle > 7) return handle;
  if (rect.width() < 0) handle = kHandles[handle].invertX;
  if (rect.height() < 0) handle = kHandles[handle].invertY;
  return handle;
}

int32_t HandleSizeFor(const Params& p, const Rect& rect) {
  if ((p.style & kResizeOutside) != 0) return p.handleSize;
  int32_t m = std::min(std::abs(rect.width()), std::abs(rect.height()));
  return 2 * p.handleSize > m ? m / 2 : p.handleSize;
}

uint32_t HandleMask(const Params& p, const Rect& rect) {
  uint32_t mask = 0x0F;
  int32_t size = 3 * p.handleSize;
  if (std::abs(rect.width()) - size >= 5) mask |= 0x50;
  if (std::abs(rect.height()) - size >= 5) mask |= 0xA0;
  return mask;
}

Rect TrueRect(const Params& p, const Rect& rect) {
  int32_t k = 0;
  if ((p.style & (kResizeOutside | kHatchedBorder)) != 0) k += p.handleSize - 1;
  if (HasLine(p.style)) k += 1;
  return rect.normalized().inflated(k);
}

Rect HandleRect(const Params& p, const Rect& rect, int handle) {
  Rect r = rect.normalized();
  if (HasLine(p.style)) r = r.inflated(1);
  const HandleInfo& h = kHandles[NormalizeHit(rect, handle)];
  int32_t s = HandleSizeFor(p, rect);
  if ((p.style & kResizeOutside) != 0) {
    r = r.inflated((p.style & kCentredHandlesMask) != 0 ? s - s / 2 - 1 : s - 1);
  }
  int32_t left = EdgeOf(r, h.xEdge) + h.offsetX * s + h.centreX * (r.width() - s) / 2;
  int32_t top = EdgeOf(r, h.yEdge) + h.offsetY * s + h.centreY * (r.height() - s) / 2;
  return {left, top, left + s, top + s};
}

int HitTest(const Params& p, const Rect& rect, int32_t x, int32_t y) {
  if (!TrueRect(p, rect).contains(x, y)) return kHitNothing;
  if (!HasHandles(p.style)) return kHitMiddle;
  return HandleHitTest(p, rect, x, y);
}

int CursorHit(const Params& p, const Rect& rect, int32_t x, int32_t y) {
  int hit = HandleHitTest(p, rect, x, y);
  if (hit == kHitNothing) return kHitNothing;
  hit = NormalizeHit(rect, hit);
  if (hit == kHitMiddle && (p.style & kHatchedBorder) != 0 &&
      !rect.normalized().contains(x, y)) {
    hit = kHitHatchedBorder;
  }
  return hit;
}

bool Drag::begin(const Params& p, const Rect& rect, int32_t x, int32_t y, bool allowInvert) {
  int hit = HandleHitTest(p, rect, x, y);
  if (hit == kHitNothing) return false;
  params_ = p;
  saved_ = rect;
  handle_ = hit;
  allowInvert_ = allowInvert;
  moved_ = false;
  active_ = true;
  // The inside moves the top-left corner; the far edges follow at the saved size.
  const HandleInfo& h = kHandles[hit == kHitMiddle ? kHitTopLeft : hit];
  int index = hit == kHitMiddle ? kHitTopLeft : hit;
  xEdge_ = h.invertX != index ? h.xEdge : -1;
  yEdge_ = h.invertY != index ? h.yEdge : -1;
  xDiff_ = xEdge_ >= 0 ? x - EdgeOf(rect, xEdge_) : 0;
  yDiff_ = yEdge_ >= 0 ? y - EdgeOf(rect, yEdge_) : 0;
  return true;
}

void Drag::adjust(Rect* rect) const {
  if (handle_ == kHitMiddle) return;
  if (xEdge_ >= 0) {
    int32_t w = rect->width();
    int32_t a = allowInvert_ ? std::abs(w) : w;
    if (a < params_.minWidth) {
      int32_t d = a != 0 ? w / a : 1;
      if (xEdge_ == kLeft) rect->left = rect->right - params_.minWidth * d;
      else rect->right = rect->left + params_.minWidth * d;
    }
  }
  if (yEdge_ >= 0) {
    int32_t h = rect->height();
    int32_t a = allowInvert_ ? std::abs(h) : h;
    if (a < params_.minHeight) {
      int32_t d = a != 0 ? h / a : 1;
      if (yEdge_ == kTop) rect->top = rect->bottom - params_.minHeight * d;
      else rect->bottom = rect->top + params_.minHeight * d;
    }
  }
}

bool Drag::step(Rect* rect, int32_t x, int32_t y) {
  Rect old = *rect;
  if (xEdge_ >= 0) EdgeOf(*rect, xEdge_) = x - xDiff_;
  if (yEdge_ >= 0) EdgeOf(*rect, yEdge_) = y - yDiff_;
  if (handle_ == kHitMiddle) {
    rect->right = rect->left + saved_.width();
    rect->bottom = rect->top + saved_.height();
  }
  adjust(rect);
  return !(old == *rect);
}

bool Drag::moveTo(Rect* rect, int32_t x, int32_t y) {
  if (!active_) return false;
  bool changed = step(rect, x, y);
  if (changed) moved_ = true;
  return changed;
}

bool Drag::release(Rect* rect, int32_t x, int32_t y) {
  if (!active_) return false;
  step(rect, x, y);
  active_ = false;
  // A rectangle that never followed a move goes back as it was.
  if (!moved_) *rect = saved_;
  return !(*rect == saved_);
}

void Drag::cancel(Rect* rect) {
  if (!active_) return;
  active_ = false;
  *rect = saved_;
}

}  // namespace tracker
