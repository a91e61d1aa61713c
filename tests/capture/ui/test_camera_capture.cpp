// Camera capture with the image-file back end: device lists, frame layout,
// one decode per request, requests absorbed by the frame in progress.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTest>
#include <atomic>
#include <mutex>

#include "app/module_dir.h"
#include "capture/decode_frame.h"
#include "capture/ui/camera_capture.h"
#include "capture_ui_util.h"

namespace {

std::atomic<int> g_snapshots{0};
std::atomic<int> g_results{0};

void CountingHook(int32_t code) {
  if (code == DECODE_SNAPSHOT_WRITTEN) ++g_snapshots;
  if (code == DECODE_NOTHING_FOUND || code == DECODE_RESULTS_READY) ++g_results;
}

}  // namespace

class TestCameraCapture : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void init();
  void cleanup() { SetDialogService(nullptr); }
  void framesBecomeBottomUpPaddedBgr();
  void enumeratesDevicesInOrder();
  void startWithBadIndexIsSilent();
  void onlyRequestedFramesAreSavedAndDecodedOnce();
  void requestDuringDecodeIsAbsorbed();

 private:
  // A capture of the one frame file, started on camera 0.
  FileFrameSource* Started(CCameraCapture* capture) {
    auto* source = new FileFrameSource({QStringLiteral("Cam")}, {framePath_}, 0);
    capture->SetBackend(std::unique_ptr<CameraBackend>(source));
    if (capture->Start(0, &host_) != 0) qFatal("camera did not start");
    return source;
  }

  QString dir_;
  QString framePath_;
  captest::FakeDialogs dialogs_;
  QWidget host_;
};

void TestCameraCapture::initTestCase() {
  dir_ = QStringLiteral(QRTOOL_TEST_TMP);
  QDir().mkpath(dir_);
  SetModuleDirectory(dir_.toUtf8().constData());
  framePath_ = dir_ + QStringLiteral("/frame.png");
  QImage frame(61, 33, QImage::Format_RGB32);
  frame.fill(Qt::white);
  QVERIFY(frame.save(framePath_));
  SetDecodeNotifyHook(&CountingHook);
}

void TestCameraCapture::init() {
  g_snapshots = 0;
  g_results = 0;
  dialogs_.texts.clear();
  SetDialogService(&dialogs_);
  QFile::remove(dir_ + QStringLiteral("/ph.bmp"));
}

void TestCameraCapture::framesBecomeBottomUpPaddedBgr() {
  QImage image(5, 2, QImage::Format_RGB32);
  image.fill(qRgb(1, 2, 3));
  image.setPixel(0, 0, qRgb(10, 20, 30));  // top-left
  image.setPixel(4, 1, qRgb(40, 50, 60));  // bottom-right
  std::vector<uint8_t> rows = BottomUpBgr24(image);
  QCOMPARE(rows.size(), size_t{2 * 16});  // 15 bytes padded to 16
  // Row 0 of the buffer is the bottom row; bytes are blue, green, red.
  QCOMPARE(std::vector<uint8_t>(rows.begin() + 12, rows.begin() + 20),
           (std::vector<uint8_t>{60, 50, 40, 0, 30, 20, 10, 3}));
}

void TestCameraCapture::enumeratesDevicesInOrder() {
  CCameraCapture capture;
  capture.SetBackend(std::make_unique<FileFrameSource>(
      QStringList{QStringLiteral("Cam B"), QStringLiteral("Cam A")}, QStringList{}, 0));
  QComboBox list;
  QCOMPARE(capture.EnumDevices(&list), 2);
  QCOMPARE(list.itemText(0), QStringLiteral("Cam B"));
  QCOMPARE(list.itemText(1), QStringLiteral("Cam A"));
  QCOMPARE(capture.EnumDevices(nullptr), -1);
  // No device: -1 and an empty list.
  capture.SetBackend(std::make_unique<FileFrameSource>(QStringList{}, QStringList{}, 0));
  QComboBox none;
  QCOMPARE(capture.EnumDevices(&none), -1);
  QCOMPARE(none.count(), 0);
}

void TestCameraCapture::startWithBadIndexIsSilent() {
  CCameraCapture capture;
  capture.SetBackend(std::make_unique<FileFrameSource>(QStringList{QStringLiteral("Cam")},
                                                       QStringList{framePath_}, 0));
  QCOMPARE(capture.Start(-1, &host_), 1);
  QCOMPARE(capture.Start(1, &host_), 1);
  QVERIFY(dialogs_.texts.isEmpty());
  QCOMPARE(capture.Start(0, &host_), 0);
  QCOMPARE(capture.Stop(), 1);
}

void TestCameraCapture::onlyRequestedFramesAreSavedAndDecodedOnce() {
  CCameraCapture capture;
  FileFrameSource* source = Started(&capture);
  for (int i = 0; i < 3; ++i) source->DeliverFrame();
  capture.WaitForFrameDone();
  QCOMPARE(capture.FramesDecoded(), 0);
  QVERIFY(!QFile::exists(dir_ + QStringLiteral("/ph.bmp")));

  capture.RequestSnapshot(true);
  source->DeliverFrame();
  capture.WaitForFrameDone();
  QVERIFY(!capture.SnapshotRequested());
  QCOMPARE(capture.FramesDecoded(), 1);
  QCOMPARE(g_snapshots.load(), 1);
  QCOMPARE(g_results.load(), 1);
  // A 61 x 33 frame: 24-bit rows of 184 bytes behind a 54-byte header.
  QCOMPARE(QFile(dir_ + QStringLiteral("/ph.bmp")).size(), qint64(54 + 184 * 33));
  source->DeliverFrame();
  capture.WaitForFrameDone();
  QCOMPARE(capture.FramesDecoded(), 1);
  // Stopped: frames no longer arrive even when requested.
  capture.Stop();
  capture.RequestSnapshot(true);
  source->DeliverFrame();
  capture.WaitForFrameDone();
  QCOMPARE(capture.FramesDecoded(), 1);
}

void TestCameraCapture::requestDuringDecodeIsAbsorbed() {
  CCameraCapture capture;
  FileFrameSource* source = Started(&capture);
  {
    // Holding the reader keeps the first frame's decode in progress.
    std::lock_guard<std::mutex> hold(ReaderLock());
    capture.RequestSnapshot(true);
    source->DeliverFrame();
    QCOMPARE(capture.FramesDecoded(), 1);
    QTest::qWait(50);  // the worker now waits for the reader
    capture.RequestSnapshot(true);
    source->DeliverFrame();
    source->DeliverFrame();
    QCOMPARE(capture.FramesDecoded(), 1);
  }
  capture.WaitForFrameDone();
  QCOMPARE(capture.FramesDecoded(), 1);
  QVERIFY(!capture.SnapshotRequested());
  QCOMPARE(g_results.load(), 1);
}

QTEST_MAIN(TestCameraCapture)
#include "test_camera_capture.moc"
