// The tracker's geometry and drags with the capture window's style.
#include <QTest>

#include "capture/ui/capture_tracker.h"
#include "capture/ui/tracker_geometry.h"

using tracker::Rect;

namespace {

tracker::Params CaptureParams() {
  tracker::Params p;
  p.style = tracker::kCaptureStyle;
  return p;
}

QPoint Centre(const Rect& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

}  // namespace

class TestCaptureTracker : public QObject {
  Q_OBJECT
 private slots:
  void handleMaskDependsOnSize_data();
  void handleMaskDependsOnSize();
  void trueRectAndHandles();
  void hitTestAreas();
  void invertedRectangleUsesPartnerHandle();
  void rightHandleMinimumWidth_data();
  void rightHandleMinimumWidth();
  void leftAndTopHandlesKeepMinimum();
  void edgeHandleMovesOneAxisOnly();
  void moveInsideKeepsSize();
  void clickWithoutMoveAnswersFalse();
  void cancelRestoresRectangle();
  void pressOnNothingStartsNoDrag();
};

void TestCaptureTracker::handleMaskDependsOnSize_data() {
  QTest::addColumn<int>("width");
  QTest::addColumn<int>("height");
  QTest::addColumn<uint>("mask");
  QTest::newRow("16 wide, 16 high: corners only") << 16 << 16 << 0x0Fu;
  QTest::newRow("17 wide: top and bottom") << 17 << 16 << 0x5Fu;
  QTest::newRow("17 high: left and right") << 16 << 17 << 0xAFu;
  QTest::newRow("inverted 17 x 17: all") << -17 << -17 << 0xFFu;
}

void TestCaptureTracker::handleMaskDependsOnSize() {
  QFETCH(int, width);
  QFETCH(int, height);
  QFETCH(uint, mask);
  Rect r{100, 100, 100 + width, 100 + height};
  QCOMPARE(tracker::HandleMask(CaptureParams(), r), mask);
}

void TestCaptureTracker::trueRectAndHandles() {
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

void TestCaptureTracker::hitTestAreas() {
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

void TestCaptureTracker::invertedRectangleUsesPartnerHandle() {
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

void TestCaptureTracker::rightHandleMinimumWidth_data() {
  QTest::addColumn<bool>("allowInvert");
  QTest::addColumn<int>("mouseX");
  QTest::addColumn<int>("right");
  QTest::newRow("invert, 5 right of left edge") << true << 105 << 108;
  QTest::newRow("invert, on the left edge") << true << 100 << 108;
  QTest::newRow("invert, 3 past the left edge") << true << 97 << 92;
  QTest::newRow("invert, 20 past the left edge") << true << 80 << 80;
  QTest::newRow("no invert, 3 past the left edge") << false << 97 << 108;
  QTest::newRow("no invert, far past") << false << 20 << 108;
  QTest::newRow("no invert, wide enough") << false << 150 << 150;
}

void TestCaptureTracker::rightHandleMinimumWidth() {
  QFETCH(bool, allowInvert);
  QFETCH(int, mouseX);
  QFETCH(int, right);
  CCaptureTracker t;
  t.SetStyle(tracker::kCaptureStyle);
  t.m_rect = {100, 100, 200, 150};
  QVERIFY(t.TrackBegin({200, 125}, allowInvert));  // on the right handle
  t.TrackMove({mouseX, 125});
  QCOMPARE(t.m_rect, (Rect{100, 100, right, 150}));
  QVERIFY(t.TrackRelease({mouseX, 125}));
  QCOMPARE(t.m_rect.right, right);
}

void TestCaptureTracker::leftAndTopHandlesKeepMinimum() {
  CCaptureTracker t;
  t.SetStyle(tracker::kCaptureStyle);
  t.m_rect = {100, 100, 200, 150};
  QVERIFY(t.TrackBegin({100, 100}, false));  // top-left corner
  t.TrackMove({197, 148});
  QCOMPARE(t.m_rect, (Rect{192, 142, 200, 150}));
  t.TrackMove({300, 300});
  QCOMPARE(t.m_rect, (Rect{192, 142, 200, 150}));
  t.TrackRelease({300, 300});
}

void TestCaptureTracker::edgeHandleMovesOneAxisOnly() {
  CCaptureTracker t;
  t.SetStyle(tracker::kCaptureStyle);
  t.m_rect = {100, 100, 200, 150};
  QVERIFY(t.TrackBegin({150, 99}, true));  // top handle, 1 pixel above the edge
  t.TrackMove({170, 60});
  QCOMPARE(t.m_rect, (Rect{100, 61, 200, 150}));
  t.TrackRelease({170, 60});
}

void TestCaptureTracker::moveInsideKeepsSize() {
  CCaptureTracker t;
  t.SetStyle(tracker::kCaptureStyle);
  t.m_rect = {100, 100, 200, 150};
  QVERIFY(t.TrackBegin({150, 125}, true));
  t.TrackMove({160, 120});
  t.TrackMove({140, 130});
  QVERIFY(t.TrackRelease({140, 130}));
  QCOMPARE(t.m_rect, (Rect{90, 105, 190, 155}));
}

void TestCaptureTracker::clickWithoutMoveAnswersFalse() {
  CCaptureTracker t;
  t.SetStyle(tracker::kCaptureStyle);
  t.m_rect = {100, 100, 200, 150};
  QVERIFY(t.TrackBegin({200, 150}, true));
  QVERIFY(!t.TrackRelease({200, 150}));
  QCOMPARE(t.m_rect, (Rect{100, 100, 200, 150}));
  QVERIFY(!t.IsTracking());
}

void TestCaptureTracker::cancelRestoresRectangle() {
  CCaptureTracker t;
  t.SetStyle(tracker::kCaptureStyle);
  t.m_rect = {100, 100, 200, 150};
  QVERIFY(t.TrackBegin({200, 125}, true));
  t.TrackMove({40, 125});
  QCOMPARE(t.m_rect.right, 40);
  t.TrackCancel();
  QCOMPARE(t.m_rect, (Rect{100, 100, 200, 150}));
  QVERIFY(!t.IsTracking());
  // Moves after the cancel no longer change anything.
  QVERIFY(!t.TrackMove({300, 300}));
  QCOMPARE(t.m_rect, (Rect{100, 100, 200, 150}));
}

void TestCaptureTracker::pressOnNothingStartsNoDrag() {
  CCaptureTracker t;
  t.SetStyle(tracker::kCaptureStyle);
  t.m_rect = {100, 100, 200, 150};
  QVERIFY(!t.TrackBegin({10, 10}, true));
  QVERIFY(!t.IsTracking());
  QCOMPARE(t.HitTest(QPoint(10, 10)), tracker::kHitNothing);
  QCOMPARE(t.HitTest(Centre(t.m_rect)), tracker::kHitMiddle);
}

QTEST_MAIN(TestCaptureTracker)
#include "test_capture_tracker.moc"
