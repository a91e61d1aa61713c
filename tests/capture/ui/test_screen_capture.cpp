// The screen capture window under a real X server: the frozen screen, the
// first drag, adjusting, the readout, the info box and the ways it ends.
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>

#include "capture/ui/screen_capture_dlg.h"
#include "capture_ui_util.h"

using tracker::Rect;

namespace {

using captest::DoubleClick;
using captest::Drag;
using captest::RightClick;
using captest::SendMouse;

// A window over the whole screen with a picture whose every pixel differs from
// its neighbours, so that copies of different areas cannot compare equal.
QImage Pattern(QSize size) {
  QImage image(size, QImage::Format_RGB32);
  for (int y = 0; y < size.height(); ++y) {
    for (int x = 0; x < size.width(); ++x) {
      image.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, ((x >> 8) * 40 + (y >> 8) * 80) & 0xFF));
    }
  }
  return image;
}

}  // namespace

class TestScreenCapture : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void init() { g_bCaptureAccepted = false; }
  void readoutDescribesTrueRectAndFlipsAtEdges();
  void firstDragStartsFourPixelsOff();
  void dragEitherWaySelectsSameArea();
  void selectionIsClippedToScreen();
  void zeroAreaDoubleClickEndsWithoutAcceptance();
  void pressOutsideSelectionChangesNothing();
  void escapeAndRightButtonClearThenEndEnterDoesNothing();
  void rightClickDuringHandleDragRestores();
  void infoBoxHidesUnderCursor();

 private:
  QLabel backdrop_;
  QImage pattern_;
};

void TestScreenCapture::initTestCase() {
  QRect screen = QGuiApplication::primaryScreen()->geometry();
  pattern_ = Pattern(screen.size());
  backdrop_.setWindowFlags(Qt::FramelessWindowHint);
  backdrop_.setPixmap(QPixmap::fromImage(pattern_));
  backdrop_.setGeometry(screen);
  backdrop_.show();
  QVERIFY(QTest::qWaitForWindowExposed(&backdrop_));
  QTest::qWait(200);
}

void TestScreenCapture::readoutDescribesTrueRectAndFlipsAtEdges() {
  CCaptureTracker t;
  t.SetStyle(tracker::kCaptureStyle);
  t.m_rect = {100, 100, 200, 150};
  QCOMPARE(ReadoutLines(t.TrueRect(), QPoint(7, 9)),
           (QStringList{QStringLiteral("顶点位置"), QStringLiteral("(96,96)"),
                        QStringLiteral("矩形大小"), QStringLiteral("(108,58)"),
                        QStringLiteral("光标坐标"), QStringLiteral("(7,9)")}));
  const QSize screen(1280, 1024);
  // Above right of the cursor; at the right edge left of it; at the top below it; both.
  QCOMPARE(ReadoutBox({500, 500}, 60, 12, screen), QRect(503, 425, 60, 72));
  QCOMPARE(ReadoutBox({1230, 500}, 60, 12, screen), QRect(1167, 425, 60, 72));
  QCOMPARE(ReadoutBox({500, 40}, 60, 12, screen), QRect(503, 43, 60, 72));
  QCOMPARE(ReadoutBox({1279, 0}, 60, 12, screen), QRect(1216, 3, 60, 72));
}

void TestScreenCapture::firstDragStartsFourPixelsOff() {
  CScreenCaptureDlg dlg;
  dlg.show();
  SendMouse(&dlg, QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton, Qt::LeftButton);
  QVERIFY(dlg.HasSelection());
  QVERIFY(dlg.ShowsInfo());
  QCOMPARE(dlg.Tracker().m_rect, (Rect{100, 100, 104, 104}));
  SendMouse(&dlg, QEvent::MouseMove, {300, 200}, Qt::NoButton, Qt::LeftButton);
  SendMouse(&dlg, QEvent::MouseButtonRelease, {300, 200}, Qt::LeftButton, Qt::NoButton);
  QCOMPARE(dlg.Tracker().m_rect, (Rect{104, 104, 300, 200}));
  QVERIFY(!dlg.ShowsInfo());
  QVERIFY(dlg.isVisible());
}

void TestScreenCapture::dragEitherWaySelectsSameArea() {
  QImage forward, backward;
  {
    CScreenCaptureDlg dlg;
    dlg.show();
    Drag(&dlg, {96, 96}, {200, 150});
    DoubleClick(&dlg, {150, 120});
    QVERIFY(g_bCaptureAccepted);
    QVERIFY(!dlg.isVisible());
    forward = QGuiApplication::clipboard()->image();
  }
  g_bCaptureAccepted = false;
  QGuiApplication::clipboard()->clear();
  {
    CScreenCaptureDlg dlg;
    dlg.show();
    Drag(&dlg, {196, 146}, {100, 100});
    QCOMPARE(dlg.Tracker().m_rect, (Rect{200, 150, 100, 100}));
    DoubleClick(&dlg, {150, 120});
    QVERIFY(g_bCaptureAccepted);
    backward = QGuiApplication::clipboard()->image();
  }
  QCOMPARE(forward.size(), QSize(100, 50));
  QCOMPARE(backward.convertToFormat(QImage::Format_RGB32),
           forward.convertToFormat(QImage::Format_RGB32));
  // The frozen screen, not something else: the backdrop's pixels at (100, 100).
  QCOMPARE(forward.pixel(0, 0) & 0xFFFFFF, pattern_.pixel(100, 100) & 0xFFFFFF);
  QCOMPARE(forward.pixel(99, 49) & 0xFFFFFF, pattern_.pixel(199, 149) & 0xFFFFFF);
}

void TestScreenCapture::selectionIsClippedToScreen() {
  CScreenCaptureDlg dlg;
  dlg.show();
  QSize screen = QGuiApplication::primaryScreen()->geometry().size();
  QPoint start(screen.width() - 84, screen.height() - 124);  // rect starts 80 x 120 from the edge
  Drag(&dlg, start, {screen.width() + 50, screen.height() + 50});
  DoubleClick(&dlg, start + QPoint(40, 40));
  QVERIFY(g_bCaptureAccepted);
  QCOMPARE(QGuiApplication::clipboard()->image().size(), QSize(80, 120));
}

void TestScreenCapture::zeroAreaDoubleClickEndsWithoutAcceptance() {
  CScreenCaptureDlg dlg;
  dlg.show();
  // Zero width, 196 high: the middle of its line counts as inside.
  Drag(&dlg, {100, 100}, {104, 300});
  QCOMPARE(dlg.Tracker().m_rect, (Rect{104, 104, 104, 300}));
  QCOMPARE(dlg.Tracker().HitTest({104, 150}), tracker::kHitMiddle);
  DoubleClick(&dlg, {104, 150});
  QVERIFY(!dlg.isVisible());
  QVERIFY(!g_bCaptureAccepted);
}

void TestScreenCapture::pressOutsideSelectionChangesNothing() {
  CScreenCaptureDlg dlg;
  dlg.show();
  Drag(&dlg, {96, 96}, {200, 150});
  Drag(&dlg, {400, 400}, {600, 600});
  QCOMPARE(dlg.Tracker().m_rect, (Rect{100, 100, 200, 150}));
  // A double-click outside does nothing either.
  DoubleClick(&dlg, {500, 500});
  QVERIFY(dlg.isVisible());
  QVERIFY(!g_bCaptureAccepted);
}

void TestScreenCapture::escapeAndRightButtonClearThenEndEnterDoesNothing() {
  {
    CScreenCaptureDlg dlg;
    dlg.show();
    QTest::keyClick(&dlg, Qt::Key_Return);
    QVERIFY(dlg.isVisible());
    Drag(&dlg, {96, 96}, {200, 150});
    QTest::keyClick(&dlg, Qt::Key_Enter);
    QTest::keyClick(&dlg, Qt::Key_Return);
    QVERIFY(dlg.isVisible() && dlg.HasSelection());
    QCOMPARE(dlg.Tracker().m_rect, (Rect{100, 100, 200, 150}));
    QTest::keyClick(&dlg, Qt::Key_Escape);
    QVERIFY(!dlg.HasSelection());
    QVERIFY(dlg.isVisible());
    // A new selection can be made once cleared.
    Drag(&dlg, {296, 296}, {400, 350});
    QCOMPARE(dlg.Tracker().m_rect, (Rect{300, 300, 400, 350}));
    QTest::keyClick(&dlg, Qt::Key_Escape);
    QTest::keyClick(&dlg, Qt::Key_Escape);
    QVERIFY(!dlg.isVisible());
  }
  CScreenCaptureDlg dlg;
  dlg.show();
  Drag(&dlg, {96, 96}, {200, 150});
  RightClick(&dlg, {150, 120});
  QVERIFY(!dlg.HasSelection());
  QVERIFY(dlg.isVisible());
  RightClick(&dlg, {150, 120});
  QVERIFY(!dlg.isVisible());
  QVERIFY(!g_bCaptureAccepted);
}

void TestScreenCapture::rightClickDuringHandleDragRestores() {
  CScreenCaptureDlg dlg;
  dlg.show();
  Drag(&dlg, {96, 96}, {200, 150});
  // Grab the right handle and pull it.
  SendMouse(&dlg, QEvent::MouseButtonPress, {200, 125}, Qt::LeftButton, Qt::LeftButton);
  SendMouse(&dlg, QEvent::MouseMove, {260, 125}, Qt::NoButton, Qt::LeftButton);
  QCOMPARE(dlg.Tracker().m_rect.right, 260);
  QVERIFY(dlg.ShowsInfo());
  SendMouse(&dlg, QEvent::MouseButtonPress, {260, 125}, Qt::RightButton,
            Qt::LeftButton | Qt::RightButton);
  QCOMPARE(dlg.Tracker().m_rect, (Rect{100, 100, 200, 150}));
  // Further moves no longer drag.
  SendMouse(&dlg, QEvent::MouseMove, {300, 125}, Qt::NoButton, Qt::LeftButton | Qt::RightButton);
  QCOMPARE(dlg.Tracker().m_rect, (Rect{100, 100, 200, 150}));
  SendMouse(&dlg, QEvent::MouseButtonRelease, {300, 125}, Qt::RightButton, Qt::LeftButton);
  QVERIFY(!dlg.HasSelection());
  SendMouse(&dlg, QEvent::MouseButtonRelease, {300, 125}, Qt::LeftButton, Qt::NoButton);
  QVERIFY(dlg.isVisible());

  // ESC during a drag restores too, and the selection stays.
  Drag(&dlg, {96, 96}, {200, 150});
  SendMouse(&dlg, QEvent::MouseButtonPress, {150, 120}, Qt::LeftButton, Qt::LeftButton);
  SendMouse(&dlg, QEvent::MouseMove, {180, 160}, Qt::NoButton, Qt::LeftButton);
  QCOMPARE(dlg.Tracker().m_rect, (Rect{130, 140, 230, 190}));
  QTest::keyClick(&dlg, Qt::Key_Escape);
  QCOMPARE(dlg.Tracker().m_rect, (Rect{100, 100, 200, 150}));
  SendMouse(&dlg, QEvent::MouseButtonRelease, {180, 160}, Qt::LeftButton, Qt::NoButton);
  QVERIFY(dlg.HasSelection());
  QVERIFY(dlg.isVisible());
}

void TestScreenCapture::infoBoxHidesUnderCursor() {
  CScreenCaptureDlg dlg;
  dlg.show();
  QVERIFY(dlg.InfoBoxVisible());
  SendMouse(&dlg, QEvent::MouseMove, {20, 20}, Qt::NoButton, Qt::NoButton);
  QVERIFY(!dlg.InfoBoxVisible());
  SendMouse(&dlg, QEvent::MouseMove, {174, 145}, Qt::NoButton, Qt::NoButton);
  QVERIFY(!dlg.InfoBoxVisible());
  SendMouse(&dlg, QEvent::MouseMove, {175, 145}, Qt::NoButton, Qt::NoButton);
  QVERIFY(dlg.InfoBoxVisible());
}

QTEST_MAIN(TestScreenCapture)
#include "test_screen_capture.moc"
