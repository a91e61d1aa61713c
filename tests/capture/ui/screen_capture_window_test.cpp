// The screen capture window under a real X server: the frozen screen, the
// first drag, adjusting, the readout, the info box and the ways it ends; and
// its selection tracker's geometry and drags.
#include "capture/ui/screen_capture_window.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>

#include "capture/ui/selection_tracker.h"
#include "capture/ui/tracker_geometry.h"
#include "tests/support/page_support.h"

using tracker::Rect;

namespace {

void RightClick(QWidget* w, QPoint at) {
  SendMouse(w, QEvent::MouseButtonPress, at, Qt::RightButton, Qt::RightButton);
  SendMouse(w, QEvent::MouseButtonRelease, at, Qt::RightButton, Qt::NoButton);
}

// The picture a drag from `from` to `to` and a double-click at `click` give;
// a 1 x 1 picture while the window is still open.
QImage Pick(QPoint from, QPoint to, QPoint click) {
  ScreenCaptureWindow window;
  window.show();
  Drag(&window, from, to);
  DoubleClick(&window, click);
  return window.isVisible() ? QImage(1, 1, QImage::Format_Mono) : window.picture();
}

}  // namespace

class ScreenCaptureWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    // Every pixel differs from its neighbours, so copies of different areas differ.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    pattern_ = QImage(screen.size(), QImage::Format_RGB32);
    for (int y = 0; y < screen.height(); ++y)
      for (int x = 0; x < screen.width(); ++x)
        pattern_.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, ((x >> 8) * 40 + (y >> 8) * 80) & 0xFF));
    backdrop_.setWindowFlags(Qt::FramelessWindowHint);
    backdrop_.setPixmap(QPixmap::fromImage(pattern_));
    backdrop_.setGeometry(screen);
    backdrop_.show();
    QVERIFY(QTest::qWaitForWindowExposed(&backdrop_));
    QTest::qWait(200);
  }

  // The info box hides under the cursor. Where the first drag puts the
  // rectangle is the picking case's to check.
  void infoBoxAndFirstDrag() {
    ScreenCaptureWindow window;
    window.show();
    QVERIFY(window.infoBoxVisible());
    SendMouse(&window, QEvent::MouseMove, {174, 145}, Qt::NoButton, Qt::NoButton);
    QVERIFY(!window.infoBoxVisible());
    SendMouse(&window, QEvent::MouseMove, {175, 145}, Qt::NoButton, Qt::NoButton);
    QVERIFY(window.infoBoxVisible());
    SendMouse(&window, QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton, Qt::LeftButton);
    QVERIFY(window.hasSelection() && window.showsInfo());
    SendMouse(&window, QEvent::MouseMove, {300, 200}, Qt::NoButton, Qt::LeftButton);
    SendMouse(&window, QEvent::MouseButtonRelease, {300, 200}, Qt::LeftButton, Qt::NoButton);
    QVERIFY(!window.showsInfo());
    // A press outside the selection, and a double-click there, change nothing.
    Drag(&window, {400, 400}, {600, 600});
    DoubleClick(&window, {500, 500});
    QCOMPARE(window.selectionTracker().rect(), (Rect{104, 104, 300, 200}));
    QVERIFY(window.isVisible());
  }

  void picksTheFrozenScreenClippedToIt() {
    const QImage forward = Pick({96, 96}, {200, 150}, {150, 120});
    const QImage backward = Pick({196, 146}, {100, 100}, {150, 120});
    QCOMPARE(forward.size(), QSize(100, 50));
    QCOMPARE(backward.convertToFormat(QImage::Format_RGB32), forward.convertToFormat(QImage::Format_RGB32));
    QCOMPARE(forward.pixel(0, 0) & 0xFFFFFF, pattern_.pixel(100, 100) & 0xFFFFFF);
    QCOMPARE(forward.pixel(99, 49) & 0xFFFFFF, pattern_.pixel(199, 149) & 0xFFFFFF);
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    const QPoint start(screen.width() - 84, screen.height() - 124);
    QCOMPARE(Pick(start, {screen.width() + 50, screen.height() + 50}, start + QPoint(40, 40)).size(),
             QSize(80, 120));
    // Zero width: the middle of its line counts as inside; the window ends with no picture.
    QVERIFY(Pick({100, 100}, {104, 300}, {104, 150}).isNull());
  }

  // A right click or Escape during a drag puts the rectangle back.
  void rightClickAndEscape() {
    ScreenCaptureWindow window;
    window.show();
    Drag(&window, {96, 96}, {200, 150});
    SendMouse(&window, QEvent::MouseButtonPress, {200, 125}, Qt::LeftButton, Qt::LeftButton);
    SendMouse(&window, QEvent::MouseMove, {260, 125}, Qt::NoButton, Qt::LeftButton);
    QCOMPARE(window.selectionTracker().rect().right, 260);
    SendMouse(&window, QEvent::MouseButtonPress, {260, 125}, Qt::RightButton,
              Qt::LeftButton | Qt::RightButton);
    QCOMPARE(window.selectionTracker().rect(), (Rect{100, 100, 200, 150}));
    SendMouse(&window, QEvent::MouseButtonRelease, {300, 125}, Qt::RightButton, Qt::LeftButton);
    SendMouse(&window, QEvent::MouseButtonRelease, {300, 125}, Qt::LeftButton, Qt::NoButton);
    QVERIFY(!window.hasSelection() && window.isVisible());
    Drag(&window, {96, 96}, {200, 150});
    SendMouse(&window, QEvent::MouseButtonPress, {150, 120}, Qt::LeftButton, Qt::LeftButton);
    SendMouse(&window, QEvent::MouseMove, {180, 160}, Qt::NoButton, Qt::LeftButton);
    QCOMPARE(window.selectionTracker().rect(), (Rect{130, 140, 230, 190}));
    QTest::keyClick(&window, Qt::Key_Escape);
    QCOMPARE(window.selectionTracker().rect(), (Rect{100, 100, 200, 150}));
    SendMouse(&window, QEvent::MouseButtonRelease, {180, 160}, Qt::LeftButton, Qt::NoButton);
    QVERIFY(window.hasSelection() && window.isVisible());
    // Enter does nothing; Escape, or a right click, clears the selection, then ends.
    QTest::keyClick(&window, Qt::Key_Enter);
    QVERIFY(window.isVisible() && window.hasSelection());
    QTest::keyClick(&window, Qt::Key_Escape);
    QVERIFY(!window.hasSelection() && window.isVisible());
    Drag(&window, {296, 296}, {400, 350});
    RightClick(&window, {350, 320});
    QVERIFY(!window.hasSelection() && window.isVisible());
    RightClick(&window, {350, 320});
    QVERIFY(!window.isVisible());
    QVERIFY(window.picture().isNull());
  }

  // What a point hits: handles centred on the outline, mid-edge ones only from
  // 17 pixels on, the outline and the inside; an inverted rectangle's cursor
  // names the handle where it is drawn. And the readout.
  void hitsAndReadout() {
    tracker::Params p;
    p.style = tracker::kCaptureStyle;
    const Rect r{100, 100, 200, 150}, w16{100, 100, 116, 116}, w17{100, 100, 117, 116};
    const struct { Rect rect; int x, y, hit; } rows[] = {
        {r, 50, 50, tracker::kHitNothing},       {r, 150, 125, tracker::kHitMiddle},
        {r, 99, 130, tracker::kHitMiddle},       {r, 100, 100, tracker::kHitTopLeft},
        {r, 201, 151, tracker::kHitBottomRight}, {r, 150, 99, tracker::kHitTop},
        {r, 97, 97, tracker::kHitNothing},       {w16, 108, 99, tracker::kHitMiddle},
        {w17, 108, 99, tracker::kHitTop},        {w17, 99, 108, tracker::kHitMiddle},
        {Rect{100, 100, 116, 117}, 99, 108, tracker::kHitLeft}};
    for (const auto& row : rows) {
      QCOMPARE(tracker::HitTest(p, row.rect, row.x, row.y), row.hit);
    }
    QCOMPARE(tracker::CursorHit(p, Rect{200, 100, 100, 150}, 100, 125), tracker::kHitLeft);
    QCOMPARE(tracker::CursorHit(p, Rect{100, 150, 200, 100}, 100, 100), tracker::kHitTopLeft);
    // The readout describes the true rectangle, its box flips at the screen's edges.
    SelectionTracker t;
    t.setStyle(tracker::kCaptureStyle);
    t.setRect(r);
    QCOMPARE(ReadoutLines(t.trueRect(), QPoint(7, 9)),
             (QStringList{QStringLiteral("顶点位置"), QStringLiteral("(96,96)"),
                          QStringLiteral("矩形大小"), QStringLiteral("(108,58)"),
                          QStringLiteral("光标坐标"), QStringLiteral("(7,9)")}));
    const QSize screen(1280, 1024);
    QCOMPARE(ReadoutBox({500, 500}, 60, 12, screen), QRect(503, 425, 60, 72));
    QCOMPARE(ReadoutBox({1279, 0}, 60, 12, screen), QRect(1216, 3, 60, 72));
  }

  // Drags of the rectangle {100, 100, 200, 150}: the right handle keeps 8
  // pixels unless it passes the left edge with invert on.
  void drags() {
    const QPoint right(200, 125);
    const struct { QPoint press; bool invert; QList<QPoint> moves; Rect after; bool changed; } rows[] = {
        {right, true, {{105, 125}}, {100, 100, 108, 150}, true},  // 5 right of the left edge
        {right, true, {{100, 125}}, {100, 100, 108, 150}, true},  // on the left edge
        {right, true, {{97, 125}}, {100, 100, 92, 150}, true},    // 3 past it
        {right, false, {{97, 125}}, {100, 100, 108, 150}, true},  // 3 past it, no invert
        {{100, 100}, false, {{197, 148}, {300, 300}}, {192, 142, 200, 150}, true},  // top-left keeps 8 x 8
        {{150, 99}, true, {{170, 60}}, {100, 61, 200, 150}, true},  // top edge: one axis only
        {{200, 150}, true, {}, {100, 100, 200, 150}, false},        // a click on a handle
    };
    for (const auto& row : rows) {
      SelectionTracker t;
      t.setStyle(tracker::kCaptureStyle);
      t.setRect({100, 100, 200, 150});
      QVERIFY(t.trackBegin(row.press, row.invert));
      for (QPoint m : row.moves) t.trackMove(m);
      QCOMPARE(t.trackRelease(row.moves.isEmpty() ? row.press : row.moves.last()), row.changed);
      QCOMPARE(t.rect(), row.after);
      QVERIFY(!t.isTracking());
    }
  }

 private:
  QLabel backdrop_;
  QImage pattern_;
};

QTEST_MAIN(ScreenCaptureWindowTest)
#include "screen_capture_window_test.moc"
