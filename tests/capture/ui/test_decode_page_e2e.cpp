// End to end under a real X server: QR codes made by our encoder are read
// from camera frames (image-file back end) and from a dragged screen
// rectangle, shown on the page, saved as "ph.bmp" / "cs.bmp" and sent.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QCheckBox>
#include <QNetworkDatagram>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>
#include <memory>

#include "app/module_dir.h"
#include "app/settings.h"
#include "app/ui/decode_event.h"
#include "app/ui/gbk.h"
#include "capture/ui/screen_capture_dlg.h"
#include "capture/ui/test_dlg.h"
#include "datainterface/udp_sender.h"
#include "../capture_test_util.h"
#include "capture_ui_util.h"

namespace {

const char kText[] = "Hello qrtool 123";

// Our encoder's symbol for `text`, `scale` pixels per module, 4-module quiet zone.
QImage SymbolImage(const char* text, int scale) {
  captest::Canvas c(49 * scale, 49 * scale);  // up to version 8
  const int side = captest::DrawCode(&c, text, 4 * scale, 4 * scale, scale);
  if (side == 0) return {};
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

class TestDecodePageE2e : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void init();
  void cleanup();
  void cameraFrame_data();
  void cameraFrame();
  void screenshotOfCode();

 private:
  void MakePage(const QStringList& frames);
  QString ResultText() { return page_->findChild<QPlainTextEdit*>("1006")->toPlainText(); }

  QString dir_;
  QString codeFrame_, blankFrame_;
  captest::FakeDialogs dialogs_;
  FileFrameSource* source_ = nullptr;
  std::unique_ptr<CTestDlg> page_;
  CodeRecorder recorder_;
  QUdpSocket receiver_;
};

void TestDecodePageE2e::initTestCase() {
  dir_ = QStringLiteral(QRTOOL_TEST_TMP);
  QDir().mkpath(dir_);
  SetModuleDirectory(dir_.toUtf8().constData());
  QImage symbol = SymbolImage(kText, 5);
  QVERIFY(!symbol.isNull());
  QImage frame(320, 240, QImage::Format_RGB32);
  frame.fill(QColor(200, 200, 200));
  QPainter(&frame).drawImage(60, 40, symbol);
  codeFrame_ = dir_ + QStringLiteral("/code.png");
  QVERIFY(frame.save(codeFrame_));
  frame.fill(QColor(200, 200, 200));
  blankFrame_ = dir_ + QStringLiteral("/blank.png");
  QVERIFY(frame.save(blankFrame_));
  QVERIFY(receiver_.bind(QHostAddress::LocalHost, 0));
  SetDefaultSettings();
  InterfaceSettings.SendPort = receiver_.localPort();
}

void TestDecodePageE2e::init() {
  SetDialogService(&dialogs_);
  QFile::remove(dir_ + QStringLiteral("/ph.bmp"));
  QFile::remove(dir_ + QStringLiteral("/cs.bmp"));
  recorder_.codes.clear();
}

void TestDecodePageE2e::cleanup() {
  page_.reset();
  UdpClose();
  SetDialogService(nullptr);
}

void TestDecodePageE2e::MakePage(const QStringList& frames) {
  page_ = std::make_unique<CTestDlg>();
  g_pDecodePage = page_.get();
  source_ = new FileFrameSource({QStringLiteral("File camera")}, frames, 0);
  page_->Camera().SetBackend(std::unique_ptr<CameraBackend>(source_));
  page_->ensureInitialised();
  page_->installEventFilter(&recorder_);
}

void TestDecodePageE2e::cameraFrame_data() {
  QTest::addColumn<bool>("withCode");
  QTest::addColumn<QString>("shown");
  QTest::addColumn<QList<int>>("codes");  // snapshot written, then found (2) or nothing (1)
  QTest::newRow("code") << true << QStringLiteral("解码信息 1 :\nHello qrtool 123\n")
                        << QList<int>{3, 2};
  QTest::newRow("no code") << false << QStringLiteral("无解码内容") << QList<int>{3, 1};
}

void TestDecodePageE2e::cameraFrame() {
  QFETCH(bool, withCode);
  QFETCH(QString, shown);
  QFETCH(QList<int>, codes);
  MakePage({withCode ? codeFrame_ : blankFrame_});
  page_->findChild<QCheckBox*>("1034")->click();
  page_->findChild<QPushButton*>("1001")->click();
  source_->DeliverFrame();
  QTRY_COMPARE(ResultText(), shown);
  QCOMPARE(recorder_.codes, codes);
  QVERIFY(g_bPictureShown);
  QCOMPARE(page_->Picture().image().size(), QSize(320, 240));
  QVERIFY(QFile::exists(dir_ + QStringLiteral("/ph.bmp")));
}

void TestDecodePageE2e::screenshotOfCode() {
  QLabel shown;
  shown.setWindowFlags(Qt::FramelessWindowHint);
  shown.setPixmap(QPixmap::fromImage(SymbolImage(kText, 6)));
  shown.setGeometry(100, 100, shown.pixmap().width(), shown.pixmap().height());
  shown.show();
  QVERIFY(QTest::qWaitForWindowExposed(&shown));

  MakePage({});
  page_->move(700, 100);
  page_->show();
  QVERIFY(QTest::qWaitForWindowExposed(page_.get()));
  QCOMPARE(UdpOpen(), 1);

  const QRect around = shown.geometry().adjusted(-10, -10, 10, 10);
  QTimer poll;
  connect(&poll, &QTimer::timeout, this, [&] {
    auto* dlg = qobject_cast<CScreenCaptureDlg*>(QApplication::activeModalWidget());
    if (dlg == nullptr) return;
    poll.stop();
    captest::Drag(dlg, around.topLeft(), around.bottomRight());
    captest::DoubleClick(dlg, around.center());
  });
  poll.start(20);
  page_->OnScreenshotDecode();
  QVERIFY(g_bCaptureAccepted);
  QVERIFY(page_->isVisible());
  QVERIFY(QFile::exists(dir_ + QStringLiteral("/cs.bmp")));
  QVERIFY(g_bPictureShown);
  QTRY_COMPARE(ResultText(), QStringLiteral("解码信息 1 :\nHello qrtool 123\n"));
  QTRY_VERIFY(receiver_.hasPendingDatagrams());
  QByteArray datagram = receiver_.receiveDatagram().data();
  QByteArray text;
  ToGbk(QStringLiteral("解码信息 1 :\r\nHello qrtool 123\r\n"), &text);
  QCOMPARE(datagram.mid(7), text);
  QCOMPARE(uint8_t(datagram[0]), uint8_t(0x42));
}

QTEST_MAIN(TestDecodePageE2e)
#include "test_decode_page_e2e.moc"
