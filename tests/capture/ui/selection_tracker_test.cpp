// The tracker's geometry and drags with the capture window's style.
#include <QTest>

#include "capture/ui/selection_tracker.h"
#include "capture/ui/tracker_geometry.h"

using tracker::Rect;

namespace {

tracker::Params CaptureParams() {
  tracker::Params p;
  p.style = tracker::kCaptureStyle;
  return p;
}

}  // namespace

class SelectionTrackerTest : public QObject {
  Q_OBJECT
 private slots:
  void handleMaskDependsOnSize() {
    // 16 x 16: corners only; 17 wide adds top and bottom, 17 high left and
    // right; inverted 17 x 17 has all eight.
    const struct { int width, height; uint mask; } rows[] = {
        {16, 16, 0x0F}, {17, 16, 0x5F}, {16, 17, 0xAF}, {-17, -17, 0xFF}};
    for (const auto& r : rows) {
      QCOMPARE(tracker::HandleMask(CaptureParams(), Rect{100, 100, 100 + r.width, 100 + r.height}),
               r.mask);
    }
  }

  void trueRectAndHandles() {
    const auto p = CaptureParams();
    const Rect r{100, 100, 200, 150};
    QCOMPARE(tracker::TrueRect(p, r), (Rect{96, 96, 204, 154}));
    // The same area for the inverted rectangle.
    QCOMPARE(tracker::TrueRect(p, Rect{200, 150, 100, 100}), (Rect{96, 96, 204, 154}));
    // Handles sit centred on the outline (one pixel outside the rectangle).
    QCOMPARE(tracker::HandleRect(p, r, tracker::kHitTopLeft), (Rect{98, 98, 102, 102}));
    QCOMPARE(tracker::HandleRect(p, r, tracker::kHitBottomRight), (Rect{198, 148, 202, 152}));
    QCOMPARE(tracker::HandleRect(p, r, tracker::kHitTop), (Rect{148, 98, 152, 102}));
    QCOMPARE(tracker::HandleRect(p, r, tracker::kHitLeft), (Rect{98, 123, 102, 127}));
    // Without "handles outside" the size shrinks to half the smaller side.
    tracker::Params inside;
    inside.style = tracker::kSolidLine | tracker::kResizeInside;
    QCOMPARE(tracker::HandleSizeFor(inside, Rect{0, 0, 6, 40}), 3);
    QCOMPARE(tracker::HandleSizeFor(inside, Rect{0, 0, 40, 40}), 4);
  }

  void hitTestAreas() {
    const auto p = CaptureParams();
    const Rect r{100, 100, 200, 150};
    QCOMPARE(tracker::HitTest(p, r, 50, 50), tracker::kHitNothing);
    QCOMPARE(tracker::HitTest(p, r, 150, 125), tracker::kHitMiddle);
    QCOMPARE(tracker::HitTest(p, r, 99, 130), tracker::kHitMiddle);  // on the outline
    QCOMPARE(tracker::HitTest(p, r, 100, 100), tracker::kHitTopLeft);
    QCOMPARE(tracker::HitTest(p, r, 201, 151), tracker::kHitBottomRight);
    QCOMPARE(tracker::HitTest(p, r, 150, 99), tracker::kHitTop);
    // Inside the true rectangle but beside the handle and the outline.
    QCOMPARE(tracker::HitTest(p, r, 97, 97), tracker::kHitNothing);
    // True rectangle edges are half open.
    QCOMPARE(tracker::HitTest(p, r, 204, 125), tracker::kHitNothing);
  }

  void invertedRectangleUsesPartnerHandle() {
    const Rect inverted{200, 100, 100, 150};  // right < left
    QCOMPARE(tracker::NormalizeHit(inverted, tracker::kHitRight), tracker::kHitLeft);
    QCOMPARE(tracker::NormalizeHit(inverted, tracker::kHitTopLeft), tracker::kHitTopRight);
    QCOMPARE(tracker::NormalizeHit(Rect{100, 150, 200, 100}, tracker::kHitTopLeft),
             tracker::kHitBottomLeft);
    QCOMPARE(tracker::NormalizeHit(inverted, tracker::kHitMiddle), tracker::kHitMiddle);
    // The raw right handle of an inverted rectangle is drawn on the left side,
    // and the cursor follows the normalised handle.
    const auto p = CaptureParams();
    Rect h = tracker::HandleRect(p, inverted, tracker::kHitRight);
    QCOMPARE(h.left, 98);
    QCOMPARE(tracker::CursorHit(p, inverted, 100, 125), tracker::kHitLeft);
  }

  void drags_data() {
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<bool>("allowInvert");
    QTest::addColumn<QList<QPoint>>("moves");
    QTest::addColumn<QList<int>>("rect");  // after the release at the last point
    QTest::addColumn<bool>("changed");
    auto row = [](const char* name, QPoint press, bool invert, QList<QPoint> moves, QList<int> rect,
                  bool changed = true) {
      QTest::newRow(name) << press << invert << moves << rect << changed;
    };
    // The right handle keeps 8 pixels unless it passes the left edge with invert on.
    const QPoint right(200, 125);
    row("invert, 5 right of left edge", right, true, {{105, 125}}, {100, 100, 108, 150});
    row("invert, on the left edge", right, true, {{100, 125}}, {100, 100, 108, 150});
    row("invert, 3 past the left edge", right, true, {{97, 125}}, {100, 100, 92, 150});
    row("invert, 20 past the left edge", right, true, {{80, 125}}, {100, 100, 80, 150});
    row("no invert, 3 past the left edge", right, false, {{97, 125}}, {100, 100, 108, 150});
    row("no invert, far past", right, false, {{20, 125}}, {100, 100, 108, 150});
    row("no invert, wide enough", right, false, {{150, 125}}, {100, 100, 150, 150});
    row("top-left keeps 8 x 8", {100, 100}, false, {{197, 148}, {300, 300}}, {192, 142, 200, 150});
    row("top edge, one axis only", {150, 99}, true, {{170, 60}}, {100, 61, 200, 150});
    row("move inside keeps size", {150, 125}, true, {{160, 120}, {140, 130}}, {90, 105, 190, 155});
    row("click on a handle without moving", {200, 150}, true, {}, {100, 100, 200, 150}, false);
  }

  void drags() {
    QFETCH(QPoint, press);
    QFETCH(bool, allowInvert);
    QFETCH(QList<QPoint>, moves);
    QFETCH(QList<int>, rect);
    QFETCH(bool, changed);
    SelectionTracker t;
    t.setStyle(tracker::kCaptureStyle);
    t.setRect({100, 100, 200, 150});
    QVERIFY(t.trackBegin(press, allowInvert));
    for (QPoint m : moves) t.trackMove(m);
    QCOMPARE(t.trackRelease(moves.isEmpty() ? press : moves.last()), changed);
    QCOMPARE(t.rect(), (Rect{rect[0], rect[1], rect[2], rect[3]}));
    QVERIFY(!t.isTracking());
  }

  // Cancelling is checked through the capture window; a press on nothing starts no drag.
  void pressOnNothingStartsNoDrag() {
    SelectionTracker t;
    t.setStyle(tracker::kCaptureStyle);
    t.setRect({100, 100, 200, 150});
    QVERIFY(!t.trackBegin({10, 10}, true));
    QVERIFY(!t.isTracking());
    QVERIFY(!t.trackMove({300, 300}));
    QCOMPARE(t.rect(), (Rect{100, 100, 200, 150}));
  }
};

QTEST_MAIN(SelectionTrackerTest)
#include "selection_tracker_test.moc"
