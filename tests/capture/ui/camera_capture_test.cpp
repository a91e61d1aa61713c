// Camera capture with the image-file back end: frame layout,
// one decode per request.
#include "capture/ui/camera_capture.h"

#include <QFile>
#include <QTest>
#include <atomic>
#include <memory>

#include "tests/support/page_support.h"

class CameraCaptureTest : public QObject {
  Q_OBJECT
 private slots:
  void init() {
    dir_ = FreshFolder(QString::fromLatin1(QTest::currentTestFunction()));
    QImage frame(61, 33, QImage::Format_RGB32);
    frame.fill(Qt::white);
    QVERIFY(frame.save(dir_ + "/frame.png"));
  }

  void framesBecomeBottomUpPaddedBgrAndOnlyRequestedOnesAreRead() {
    QImage image(5, 2, QImage::Format_RGB32);
    image.fill(qRgb(1, 2, 3));
    image.setPixel(0, 0, qRgb(10, 20, 30));  // top-left
    image.setPixel(4, 1, qRgb(40, 50, 60));  // bottom-right
    std::vector<uint8_t> rows = BottomUpBgr24(image);
    QCOMPARE(rows.size(), size_t{2 * 16});  // 15 bytes padded to 16
    // Row 0 of the buffer is the bottom row; bytes are blue, green, red.
    QCOMPARE(std::vector<uint8_t>(rows.begin() + 12, rows.begin() + 20),
             (std::vector<uint8_t>{60, 50, 40, 0, 30, 20, 10, 3}));

    // Only requested frames are saved and decoded, once each.
    CameraCapture capture;
    FileFrameSource* source = started(&capture);
    for (int i = 0; i < 3; ++i) source->deliverFrame();
    capture.waitForFrameDone();
    QCOMPARE(capture.framesDecoded(), 0);
    QVERIFY(!QFile::exists(dir_ + "/ph.bmp"));
    capture.requestSnapshot(true);
    source->deliverFrame();
    capture.waitForFrameDone();
    QCOMPARE(capture.framesDecoded(), 1);
    QCOMPARE(snapshots_.load(), 1);
    QCOMPARE(results_.load(), 1);
    // A 61 x 33 frame: 24-bit rows of 184 bytes behind a 54-byte header.
    QCOMPARE(QFile(dir_ + "/ph.bmp").size(), qint64(54 + 184 * 33));
    source->deliverFrame();
    capture.stop();  // stopped: frames no longer arrive even when requested
    capture.requestSnapshot(true);
    source->deliverFrame();
    capture.waitForFrameDone();
    QCOMPARE(capture.framesDecoded(), 1);
  }

 private:
  // A capture of the one frame file, started on camera 0, counting the codes.
  FileFrameSource* started(CameraCapture* capture) {
    auto* source = new FileFrameSource({QStringLiteral("Cam")}, {dir_ + "/frame.png"}, 0);
    capture->setBackend(std::unique_ptr<CameraBackend>(source));
    capture->setSnapshotTarget((dir_ + "/ph.bmp").toStdString(), [this](int32_t code) {
      if (code == DECODE_SNAPSHOT_WRITTEN) ++snapshots_;
      if (code == DECODE_NOTHING_FOUND || code == DECODE_RESULTS_READY) ++results_;
    });
    if (capture->start(0, &host_) != 0) qFatal("camera did not start");
    return source;
  }

  QString dir_;
  QWidget host_;
  std::atomic<int> snapshots_{0};
  std::atomic<int> results_{0};
};

QTEST_MAIN(CameraCaptureTest)
#include "camera_capture_test.moc"
