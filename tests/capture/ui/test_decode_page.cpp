// The decode page without a screen: controls, preview and automatic decoding,
// presentation of results in the three encodings, sending, long texts.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>
#include <cstring>

#include "app/module_dir.h"
#include "app/settings.h"
#include "app/ui/decode_event.h"
#include "app/ui/gbk.h"
#include "capture/decode_frame.h"
#include "capture/ui/screen_capture_dlg.h"
#include "capture/ui/test_dlg.h"
#include "capture_ui_util.h"
#include "datainterface/udp_sender.h"

namespace {

QByteArray Gbk(const QString& text) {
  QByteArray gbk;
  ToGbk(text, &gbk);
  return gbk;
}

// Puts records with these data bytes into the result table.
void Publish(const QList<QByteArray>& data) {
  std::lock_guard<std::mutex> lock(ReaderLock());
  std::memset(g_decodeResults, 0, sizeof g_decodeResults);
  for (int i = 0; i < data.size(); ++i) {
    g_decodeResults[i].type = QR_SYMBOL_TYPE_QRCODE;
    g_decodeResults[i].length = static_cast<uint32_t>(data[i].size());
    std::memcpy(g_decodeResults[i].data, data[i].constData(), static_cast<size_t>(data[i].size()));
    g_decodeResults[i].version = 2;
  }
  g_decodeCount = static_cast<int32_t>(data.size());
}

}  // namespace

class TestDecodePage : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void init();
  void cleanup();
  void initialState();
  void noDeviceDisablesCameraControls();
  void previewStartAndStopDisarms();
  void autoDecodeNeedsInterval();
  void autoDecodeTicks_data();
  void autoDecodeTicks();
  void presentsRecordsAndSendsEach();
  void encodingChangeRepresentsAndResends();
  void nothingFoundAndEmptyTable();
  void longTextsAreCutAtCharacterBoundaries();
  void screenshotDisarmsAutoDecode();

 private:
  void MakePage(QStringList devices = {QStringLiteral("Camera 1"), QStringLiteral("Camera 2")});
  template <typename T>
  T* Control(const char* name) {
    T* w = page_->findChild<T*>(QString::fromLatin1(name));
    if (w == nullptr) qFatal("no control %s", name);
    return w;
  }
  QString ResultText() { return Control<QPlainTextEdit>("1006")->toPlainText(); }
  // Payloads of the datagrams received so far (short form: after 7 bytes).
  QList<QByteArray> Received();
  // Whether each of `times` timer ticks requested a snapshot.
  QList<bool> Ticks(int times);

  captest::FakeDialogs dialogs_;
  std::unique_ptr<CTestDlg> page_;
  QUdpSocket receiver_;
  QString dir_;
};

void TestDecodePage::initTestCase() {
  dir_ = QStringLiteral(QRTOOL_TEST_TMP);
  QDir().mkpath(dir_);
  SetModuleDirectory(dir_.toUtf8().constData());
  QVERIFY(receiver_.bind(QHostAddress::LocalHost, 0));
  SetDefaultSettings();
  InterfaceSettings.SendPort = receiver_.localPort();
}

void TestDecodePage::init() {
  dialogs_ = captest::FakeDialogs();
  SetDialogService(&dialogs_);
  Publish({});
}

void TestDecodePage::cleanup() {
  page_.reset();
  UdpClose();
  SetDialogService(nullptr);
  Received();
}

void TestDecodePage::MakePage(QStringList devices) {
  page_ = std::make_unique<CTestDlg>();
  g_pDecodePage = page_.get();
  page_->Camera().SetBackend(
      std::make_unique<FileFrameSource>(devices, QStringList{}, 0));
  page_->ensureInitialised();
  // Ticks are driven by the tests.
  for (QTimer* t : page_->findChildren<QTimer*>()) t->stop();
}

QList<QByteArray> TestDecodePage::Received() {
  QList<QByteArray> payloads;
  QTest::qWait(50);
  while (receiver_.hasPendingDatagrams()) {
    QByteArray d = receiver_.receiveDatagram().data();
    payloads << d.mid(7);
  }
  return payloads;
}

QList<bool> TestDecodePage::Ticks(int times) {
  QList<bool> requests;
  for (int i = 0; i < times; ++i) {
    page_->OnTimer();
    requests << page_->Camera().SnapshotRequested();
    page_->Camera().RequestSnapshot(false);
  }
  return requests;
}

void TestDecodePage::initialState() {
  MakePage();
  QCOMPARE(page_->title(), QStringLiteral("    二维码分析    "));
  auto* encodings = Control<QComboBox>("1018");
  QStringList items;
  for (int i = 0; i < encodings->count(); ++i) items << encodings->itemText(i);
  QCOMPARE(items, (QStringList{QStringLiteral("中文编码"), QStringLiteral("UNICODE编码"),
                               QStringLiteral("UTF8编码")}));
  QCOMPARE(encodings->currentIndex(), 0);
  QCOMPARE(Control<QComboBox>("1000")->count(), 2);
  QCOMPARE(Control<QComboBox>("1000")->currentIndex(), 0);
  QCOMPARE(Control<QLineEdit>("1004")->text(), QStringLiteral("1"));
  QCOMPARE(Control<QLineEdit>("1004")->maxLength(), 1);
  QVERIFY(!Control<QPushButton>("1001")->isEnabled());
  QVERIFY(!Control<QCheckBox>("1008")->isEnabled());
  QVERIFY(Control<QCheckBox>("1034")->isEnabled());
  QVERIFY(Control<QPushButton>("1033")->isEnabled());
  QVERIFY(ResultText().startsWith(QStringLiteral("选择 启动预览 选项，查看摄像头预览。\n\n")));
  QVERIFY(ResultText().endsWith(QStringLiteral("点击 截图解码 按钮，可进行屏幕截图并解码。")));
  QVERIFY(dialogs_.texts.isEmpty());
}

void TestDecodePage::noDeviceDisablesCameraControls() {
  MakePage({});
  QCOMPARE(dialogs_.texts,
           QStringList{QStringLiteral("无法获取摄像头信息!\r\n\r\n您将无法使用 【视频解码】 功能!")});
  QCOMPARE(dialogs_.icons.first(), DialogService::Icon::Error);
  QCOMPARE(dialogs_.captions.first(), QStringLiteral("Velmora二维码生成分析工具2.0"));
  QVERIFY(!Control<QPushButton>("1001")->isEnabled());
  QVERIFY(!Control<QCheckBox>("1034")->isEnabled());
  QVERIFY(Control<QPushButton>("1033")->isEnabled());
}

void TestDecodePage::previewStartAndStopDisarms() {
  MakePage();
  auto* preview = Control<QCheckBox>("1034");
  auto* decode = Control<QPushButton>("1001");
  auto* autoBox = Control<QCheckBox>("1008");
  preview->click();
  QVERIFY(g_bPreviewing && preview->isChecked() && decode->isEnabled() && autoBox->isEnabled());
  decode->click();  // "视频解码" arms one request
  QVERIFY(page_->Camera().SnapshotRequested());
  page_->Camera().RequestSnapshot(false);
  Control<QLineEdit>("1004")->setText(QStringLiteral("0"));
  autoBox->click();
  QVERIFY(g_bAutoDecode);
  preview->click();
  QVERIFY(!g_bPreviewing && !preview->isChecked() && !decode->isEnabled() && !autoBox->isEnabled());
  QVERIFY(!g_bPictureShown);
  QVERIFY(!g_bAutoDecode && !autoBox->isChecked());
  preview->click();  // start again: no automatic requests until 1008 is ticked
  QCOMPARE(Ticks(3), (QList<bool>{false, false, false}));
}

void TestDecodePage::autoDecodeNeedsInterval() {
  MakePage();
  Control<QCheckBox>("1034")->click();
  Control<QLineEdit>("1004")->clear();
  Control<QCheckBox>("1008")->click();
  QCOMPARE(dialogs_.texts, QStringList{QStringLiteral("请输入自动拍照间隔")});
  QVERIFY(!Control<QCheckBox>("1008")->isChecked());
  QVERIFY(!g_bAutoDecode);
  QVERIFY(Control<QPushButton>("1001")->isEnabled());
}

void TestDecodePage::autoDecodeTicks_data() {
  QTest::addColumn<QString>("interval");
  QTest::addColumn<QList<bool>>("requests");
  QTest::newRow("0: every tick") << "0" << QList<bool>{true, true, true, true, true, true};
  QTest::newRow("3: every third") << "3" << QList<bool>{false, false, true, false, false, true};
  QTest::newRow("1: every tick") << "1" << QList<bool>{true, true, true, true, true, true};
}

void TestDecodePage::autoDecodeTicks() {
  QFETCH(QString, interval);
  QFETCH(QList<bool>, requests);
  MakePage();
  QCOMPARE(Ticks(2), (QList<bool>{false, false}));  // not armed yet
  Control<QCheckBox>("1034")->click();
  Control<QLineEdit>("1004")->setText(interval);
  Control<QCheckBox>("1008")->click();
  QVERIFY(g_bAutoDecode);
  QVERIFY(!Control<QPushButton>("1001")->isEnabled());
  // Reset the tick count to a known origin relative to the last request.
  g_nLastAutoTick = g_nTimerTicks;
  // Editing the interval while armed changes nothing until 1008 is clicked.
  Control<QLineEdit>("1004")->setText(QStringLiteral("5"));
  QCOMPARE(Ticks(6), requests);
  Control<QCheckBox>("1008")->click();  // untick: disarm
  QVERIFY(!g_bAutoDecode);
  QVERIFY(Control<QPushButton>("1001")->isEnabled());
  QCOMPARE(Ticks(3), (QList<bool>{false, false, false}));
}

void TestDecodePage::presentsRecordsAndSendsEach() {
  MakePage();
  QCOMPARE(UdpOpen(), 1);
  Publish({QByteArray("ABC"), Gbk(QStringLiteral("中文")), QByteArray("x")});
  PostDecodeDone(page_.get(), DECODE_RESULTS_READY);
  QTRY_COMPARE(ResultText(), QStringLiteral("解码信息 1 :\nABC\n解码信息 2 :\n中文\n"
                                            "解码信息 3 :\nx\n"));
  QCOMPARE(page_->SoundsPlayed(), 1);
  const QByteArray part1 = Gbk(QStringLiteral("解码信息 1 :\r\nABC\r\n"));
  const QByteArray part2 = Gbk(QStringLiteral("解码信息 2 :\r\n中文\r\n"));
  const QByteArray part3 = Gbk(QStringLiteral("解码信息 3 :\r\nx\r\n"));
  QCOMPARE(Received(), (QList<QByteArray>{part1, part1 + part2, part1 + part2 + part3}));
  // With the interface off nothing is sent.
  UdpClose();
  PostDecodeDone(page_.get(), DECODE_RESULTS_READY);
  QTRY_COMPARE(page_->SoundsPlayed(), 2);
  QVERIFY(Received().isEmpty());
}

void TestDecodePage::encodingChangeRepresentsAndResends() {
  MakePage();
  QCOMPARE(UdpOpen(), 1);
  Publish({QStringLiteral("中文").toUtf8()});
  PostDecodeDone(page_.get(), DECODE_RESULTS_READY);
  // UTF-8 bytes read as GBK are something else.
  QTRY_VERIFY(ResultText().startsWith(QStringLiteral("解码信息 1 :\n")));
  QVERIFY(!ResultText().contains(QStringLiteral("中文")));
  QCOMPARE(Received().size(), 1);
  const QByteArray expected = Gbk(QStringLiteral("解码信息 1 :\r\n中文\r\n"));
  for (int encoding : {kEncodingUnicode, kEncodingUtf8}) {
    Control<QComboBox>("1018")->setCurrentIndex(encoding);
    QTRY_COMPARE(ResultText(), QStringLiteral("解码信息 1 :\n中文\n"));
    QCOMPARE(Received(), QList<QByteArray>{expected});
  }
}

void TestDecodePage::nothingFoundAndEmptyTable() {
  MakePage();
  QCOMPARE(UdpOpen(), 1);
  PostDecodeDone(page_.get(), DECODE_NOTHING_FOUND);
  QTRY_COMPARE(ResultText(), QStringLiteral("无解码内容"));
  // After a decode that found nothing, switching the encoding changes nothing.
  Control<QComboBox>("1018")->setCurrentIndex(kEncodingUtf8);
  QTest::qWait(20);
  QCOMPARE(ResultText(), QStringLiteral("无解码内容"));
  QCOMPARE(page_->SoundsPlayed(), 0);
  QVERIFY(Received().isEmpty());
}

void TestDecodePage::longTextsAreCutAtCharacterBoundaries() {
  const QString han(600, QChar(0x4E2D));  // 中, two GBK bytes each
  QByteArray data = Gbk(han);
  DecodeResult records[2] = {};
  for (DecodeResult& r : records) {
    r.length = static_cast<uint32_t>(data.size());
    std::memcpy(r.data, data.constData(), static_cast<size_t>(data.size()));
  }
  QList<QByteArray> sent;
  QByteArray text = BuildResultText(records, 2, kEncodingChinese,
                                    [&](const QByteArray& soFar) { sent << soFar; });
  QCOMPARE(text.size(), kResultTextCapacity - 1);
  QString shown = FromGbk(text);
  QVERIFY(!shown.contains(QChar(0xFFFD)));
  // Each record at most 1023 bytes: 511 characters; the second is cut by the total.
  const QString first = QStringLiteral("解码信息 1 :\r\n") + QString(511, QChar(0x4E2D)) +
                        QStringLiteral("\r\n");
  QCOMPARE(FromGbk(sent[0]), first);
  QVERIFY(shown.startsWith(first + QStringLiteral("解码信息 2 :\r\n")));
  QCOMPARE(shown.count(QChar(0x4E2D)), 511 + 497);

  // UTF-8 data cut inside a character would fail to convert as a whole: it is
  // cut before that character instead.
  QByteArray utf8 = "a" + QString(500, QChar(0x4E2D)).toUtf8();
  records[0].length = static_cast<uint32_t>(utf8.size());
  std::memcpy(records[0].data, utf8.constData(), static_cast<size_t>(utf8.size()));
  QString converted = FromGbk(BuildResultText(records, 1, kEncodingUnicode));
  QCOMPARE(converted, QStringLiteral("解码信息 1 :\r\na") + QString(340, QChar(0x4E2D)) +
                          QStringLiteral("\r\n"));
}

void TestDecodePage::screenshotDisarmsAutoDecode() {
  MakePage();
  page_->show();
  Control<QCheckBox>("1034")->click();
  Control<QCheckBox>("1008")->click();
  QVERIFY(g_bAutoDecode);
  bool sawCapture = false;
  bool pageHidden = false;
  // End the capture window as soon as it runs.
  QTimer poll;
  connect(&poll, &QTimer::timeout, this, [&] {
    if (auto* dlg = qobject_cast<CScreenCaptureDlg*>(QApplication::activeModalWidget())) {
      sawCapture = true;
      pageHidden = !page_->isVisible();
      QTest::keyClick(dlg, Qt::Key_Escape);
    }
  });
  poll.start(20);
  page_->OnScreenshotDecode();
  poll.stop();
  QVERIFY(sawCapture);
  QVERIFY(pageHidden);
  QVERIFY(page_->isVisible());
  QVERIFY(!g_bAutoDecode);
  QVERIFY(!Control<QCheckBox>("1008")->isChecked());
  QVERIFY(!g_bCaptureAccepted);
  QVERIFY(!g_bPictureShown);
}

QTEST_MAIN(TestDecodePage)
#include "test_decode_page.moc"
