// End to end under a real X server: QR codes made by our encoder are read from
// camera frames (image-file back end), from a dragged screen rectangle and from
// pictures opened, pasted or dropped, shown on the page and saved as "ph.bmp" / "cs.bmp".
#include <QCheckBox>
#include <QClipboard>
#include <QMimeData>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "capture/ui/decode_page.h"
#include "capture/ui/screen_capture_window.h"
#include "tests/support/fake_dialogs.h"
#include "tests/support/grey_image.h"
#include "tests/support/page_support.h"
#include "ui/decode_done_event.h"

namespace {

const char kText[] = "Hello qrtool 123";

// Our encoder's symbol for kText, `scale` pixels per module, 4-module quiet zone.
QImage SymbolImage(int scale) {
  testimage::Canvas c(49 * scale, 49 * scale);
  const int side = testimage::DrawCode(&c, kText, 4 * scale, 4 * scale, scale);
  return QImage(c.grey.data(), c.width, c.height, c.width, QImage::Format_Grayscale8)
      .copy(0, 0, (side + 8) * scale, (side + 8) * scale);
}

// Records the codes of the decode events the page receives, in order.
class CodeRecorder : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == DecodeDoneEvent::eventType()) codes << static_cast<DecodeDoneEvent*>(e)->code();
    return false;
  }
  QList<int> codes;
};

}  // namespace

class DecodePageE2eTest : public QObject {
  Q_OBJECT
 private slots:
  void cameraFrame_data() {
    QTest::addColumn<bool>("withCode");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QList<int>>("codes");  // snapshot written, then found (2) or nothing (1)
    QTest::newRow("code") << true << QStringLiteral("解码信息 1 :\nHello qrtool 123\n")
                          << QList<int>{3, 2};
    QTest::newRow("no code") << false << QStringLiteral("无解码内容") << QList<int>{3, 1};
  }
  void cameraFrame() {
    QFETCH(bool, withCode);
    QFETCH(QString, shown);
    QFETCH(QList<int>, codes);
    const QString dir = FreshFolder(QString::fromLatin1(QTest::currentDataTag()));
    QImage frame(320, 240, QImage::Format_RGB32);
    frame.fill(QColor(200, 200, 200));
    if (withCode) QPainter(&frame).drawImage(60, 40, SymbolImage(5));
    QVERIFY(frame.save(dir + "/frame.png"));
    FakeDialogs dialogs;
    DecodePage page(dir);
    auto* source = new FileFrameSource({QStringLiteral("File camera")}, {dir + "/frame.png"}, 0);
    page.camera().setBackend(std::unique_ptr<CameraBackend>(source));
    page.ensureInitialised();
    CodeRecorder recorder;
    page.installEventFilter(&recorder);
    page.findChild<QCheckBox*>("previewCheck")->click();
    page.findChild<QPushButton*>("videoDecodeButton")->click();
    source->deliverFrame();
    QTRY_COMPARE(page.findChild<QPlainTextEdit*>("resultText")->toPlainText(), shown);
    QCOMPARE(recorder.codes, codes);
    QCOMPARE(page.picture().image().size(), QSize(320, 240));
    QVERIFY(QFile::exists(dir + "/ph.bmp"));
  }

  void picturesOpenedPastedAndDropped_data() {
    QTest::addColumn<QString>("how");   // "open", "paste" or "drop"
    QTest::addColumn<QString>("file");  // picture file name (open, drop)
    QTest::addColumn<int>("scale");     // pixels per module; 0: not a picture
    QTest::addColumn<QSize>("shown");   // the picture box's picture after decoding
    QTest::newRow("open WebP") << "open" << "code.webp" << 4 << QSize(132, 132);
    QTest::newRow("paste") << "paste" << "" << 4 << QSize(132, 132);
    QTest::newRow("drop JPEG") << "drop" << "code.jpg" << 4 << QSize(132, 132);
    QTest::newRow("2600 x 1200 reduced by 3") << "open" << "big.png" << 24 << QSize(866, 400);
    QTest::newRow("open: not a picture") << "open" << "notes.png" << 0 << QSize();
    QTest::newRow("drop: not a picture") << "drop" << "notes.bmp" << 0 << QSize();
    QTest::newRow("paste: no picture") << "paste" << "" << 0 << QSize();
  }
  void picturesOpenedPastedAndDropped() {
    QFETCH(QString, how);
    QFETCH(QString, file);
    QFETCH(int, scale);
    QFETCH(QSize, shown);
    const QString dir = FreshFolder(QStringLiteral("picture"));
    QImage picture = scale > 0 ? SymbolImage(scale) : QImage();
    if (scale > 0 && file.startsWith(QStringLiteral("big"))) {
      QImage big(2600, 1200, QImage::Format_RGB32);
      big.fill(Qt::white);
      QPainter(&big).drawImage(900, 200, picture);
      picture = big;
    }
    const QString path = dir + QLatin1Char('/') + file;
    QFile notes(path);
    if (scale > 0 && !file.isEmpty()) QVERIFY(picture.save(path));
    if (scale == 0 && !file.isEmpty()) QVERIFY(notes.open(QIODevice::WriteOnly) && notes.write("text") > 0);
    notes.close();
    FakeDialogs dialogs;
    dialogs.openAnswers << path;
    DecodePage page(dir);
    page.camera().setBackend(std::make_unique<FileFrameSource>(QStringList{}, QStringList{}, 0));
    page.ensureInitialised();
    dialogs.messages.clear();
    auto* result = page.findChild<QPlainTextEdit*>("resultText");
    auto* copy = page.findChild<QPushButton*>("copyButton");
    const QString before = result->toPlainText();
    QSignalSpy handed(&page, &DecodePage::resultTextReady);
    if (how == "open") {
      page.findChild<QPushButton*>("openPictureButton")->click();
    } else if (how == "paste") {
      if (scale > 0) {
        QGuiApplication::clipboard()->setImage(picture);
      } else {
        QGuiApplication::clipboard()->setText(QStringLiteral("no picture"));
      }
      QTest::keySequence(&page, QKeySequence(QKeySequence::Paste));
    } else {
      QMimeData mime;
      mime.setUrls({QUrl::fromLocalFile(path)});
      QDragEnterEvent enter(QPoint(9, 9), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(&page, &enter);
      QVERIFY(enter.isAccepted());
      QDropEvent drop(QPointF(9, 9), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(&page, &drop);
    }
    if (shown.isEmpty()) {  // told, and nothing changed
      QCOMPARE(dialogs.messages.size(), size_t(1));
      QTest::qWait(50);
      QCOMPARE(result->toPlainText(), before);
      QVERIFY(page.picture().isEmpty());
      QVERIFY(!copy->isEnabled());
      QCOMPARE(handed.size(), 0);
      return;
    }
    QTRY_COMPARE(result->toPlainText(), QStringLiteral("解码信息 1 :\nHello qrtool 123\n"));
    QVERIFY2(dialogs.messages.empty(), qPrintable(dialogs.lastText()));
    QCOMPARE(page.picture().image().size(), shown);
    QCOMPARE(handed.size(), 1);
    copy->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromLatin1(kText));
  }

  void screenshotOfCode() {
    const QString dir = FreshFolder(QStringLiteral("screenshot"));
    QLabel shown;
    shown.setWindowFlags(Qt::FramelessWindowHint);
    shown.setPixmap(QPixmap::fromImage(SymbolImage(6)));
    shown.setGeometry(100, 100, shown.pixmap().width(), shown.pixmap().height());
    shown.show();
    QVERIFY(QTest::qWaitForWindowExposed(&shown));
    FakeDialogs dialogs;
    DecodePage page(dir);
    page.camera().setBackend(std::make_unique<FileFrameSource>(QStringList{}, QStringList{}, 0));
    page.ensureInitialised();
    page.move(700, 100);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QSignalSpy handed(&page, &DecodePage::resultTextReady);

    const QRect around = shown.geometry().adjusted(-10, -10, 10, 10);
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
      auto* window = qobject_cast<ScreenCaptureWindow*>(QApplication::activeModalWidget());
      if (window == nullptr) return;
      poll.stop();
      Drag(window, around.topLeft(), around.bottomRight());
      DoubleClick(window, around.center());
    });
    poll.start(20);
    page.onScreenshotDecode();
    QVERIFY(page.isVisible());
    QVERIFY(QFile::exists(dir + "/cs.bmp"));
    QVERIFY(!page.picture().isEmpty());
    QTRY_COMPARE(page.findChild<QPlainTextEdit*>("resultText")->toPlainText(),
                 QStringLiteral("解码信息 1 :\nHello qrtool 123\n"));
    QCOMPARE(handed.size(), 1);
  }
};

QTEST_MAIN(DecodePageE2eTest)
#include "decode_page_e2e_test.moc"
