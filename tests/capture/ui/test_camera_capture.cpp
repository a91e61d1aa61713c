// Camera capture with the image-file back end: device lists, frame layout,
// one decode per request, requests absorbed by the frame in progress.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTest>
#include <atomic>
#include <mutex>

#include "app/module_dir.h"
#include "app/ui/dialogs.h"
#include "capture/decode_frame.h"
#include "capture/ui/camera_capture.h"

namespace {

std::atomic<int> g_snapshots{0};
std::atomic<int> g_results{0};

void CountingHook(int32_t code) {
  if (code == DECODE_SNAPSHOT_WRITTEN) ++g_snapshots;
  if (code == DECODE_NOTHING_FOUND || code == DECODE_RESULTS_READY) ++g_results;
}

class FakeDialogs : public DialogService {
 public:
  void message(QWidget*, const QString& text, Icon, const QString&) override { texts << text; }
  QString saveFileName(QWidget*, const QString&, const QString&) override { return {}; }
  QString folder(QWidget*, const QString&) override { return {}; }
  QStringList texts;
};

}  // namespace

class TestCameraCapture : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void init();
  void cleanup() { SetDialogService(nullptr); }
  void framesBecomeBottomUpPaddedBgr();
  void enumeratesDevicesInOrder();
  void noDeviceAnswersMinusOne();
  void startWithBadIndexIsSilent();
  void requestedFrameIsSavedAndDecodedOnce();
  void requestDuringDecodeIsAbsorbed();
  void framesWithoutRequestOnlyPreview();

 private:
  QString dir_;
  QString framePath_;
  FakeDialogs dialogs_;
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
  image.setPixel(0, 0, qRgb(10, 20, 30));   // top-left
  image.setPixel(4, 1, qRgb(40, 50, 60));   // bottom-right
  std::vector<uint8_t> rows = BottomUpBgr24(image);
  QCOMPARE(rows.size(), size_t{2 * 16});    // 15 bytes padded to 16
  // Row 0 of the buffer is the bottom row; bytes are blue, green, red.
  QCOMPARE(int(rows[12]), 60);
  QCOMPARE(int(rows[13]), 50);
  QCOMPARE(int(rows[14]), 40);
  QCOMPARE(int(rows[15]), 0);               // padding
  QCOMPARE(int(rows[16]), 30);
  QCOMPARE(int(rows[17]), 20);
  QCOMPARE(int(rows[18]), 10);
  QCOMPARE(int(rows[19]), 3);
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
}

void TestCameraCapture::noDeviceAnswersMinusOne() {
  CCameraCapture capture;
  capture.SetBackend(std::make_unique<FileFrameSource>(QStringList{}, QStringList{}, 0));
  QComboBox list;
  QCOMPARE(capture.EnumDevices(&list), -1);
  QCOMPARE(list.count(), 0);
}

void TestCameraCapture::startWithBadIndexIsSilent() {
  CCameraCapture capture;
  capture.SetBackend(std::make_unique<FileFrameSource>(QStringList{QStringLiteral("Cam")},
                                                       QStringList{framePath_}, 0));
  QWidget host;
  QCOMPARE(capture.Start(-1, &host), 1);
  QCOMPARE(capture.Start(1, &host), 1);
  QVERIFY(dialogs_.texts.isEmpty());
  QCOMPARE(capture.Start(0, &host), 0);
  QCOMPARE(capture.Stop(), 1);
}

void TestCameraCapture::requestedFrameIsSavedAndDecodedOnce() {
  CCameraCapture capture;
  auto* source = new FileFrameSource({QStringLiteral("Cam")}, {framePath_}, 0);
  capture.SetBackend(std::unique_ptr<CameraBackend>(source));
  QWidget host;
  QCOMPARE(capture.Start(0, &host), 0);
  capture.RequestSnapshot(true);
  source->DeliverFrame();
  capture.WaitForFrameDone();
  QVERIFY(!capture.SnapshotRequested());
  QCOMPARE(capture.FramesDecoded(), 1);
  QCOMPARE(g_snapshots.load(), 1);
  QCOMPARE(g_results.load(), 1);
  // A 61 x 33 frame: 24-bit rows of 184 bytes behind a 54-byte header.
  QFile bmp(dir_ + QStringLiteral("/ph.bmp"));
  QCOMPARE(bmp.size(), qint64(54 + 184 * 33));
  source->DeliverFrame();
  capture.WaitForFrameDone();
  QCOMPARE(capture.FramesDecoded(), 1);
}

void TestCameraCapture::requestDuringDecodeIsAbsorbed() {
  CCameraCapture capture;
  auto* source = new FileFrameSource({QStringLiteral("Cam")}, {framePath_}, 0);
  capture.SetBackend(std::unique_ptr<CameraBackend>(source));
  QWidget host;
  QCOMPARE(capture.Start(0, &host), 0);
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

void TestCameraCapture::framesWithoutRequestOnlyPreview() {
  CCameraCapture capture;
  auto* source = new FileFrameSource({QStringLiteral("Cam")}, {framePath_}, 0);
  capture.SetBackend(std::unique_ptr<CameraBackend>(source));
  QWidget host;
  capture.Start(0, &host);
  for (int i = 0; i < 3; ++i) source->DeliverFrame();
  capture.WaitForFrameDone();
  QCOMPARE(capture.FramesDecoded(), 0);
  QVERIFY(!QFile::exists(dir_ + QStringLiteral("/ph.bmp")));
  // Stopped: frames no longer arrive even when requested.
  capture.Stop();
  capture.RequestSnapshot(true);
  source->DeliverFrame();
  capture.WaitForFrameDone();
  QCOMPARE(capture.FramesDecoded(), 0);
}

QTEST_MAIN(TestCameraCapture)
#include "test_camera_capture.moc"
