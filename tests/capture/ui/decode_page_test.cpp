// The decode page: controls, preview and automatic decoding, the results in
// the three encodings and the text handed on after each record; and end to end
// under a real X server, codes made by our encoder read from a dragged screen
// rectangle (saved as "cs.bmp") and from pictures opened, pasted or dropped.
#include "capture/ui/decode_page.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <cstring>

#include "capture/ui/screen_capture_window.h"
#include "tests/support/fake_dialogs.h"
#include "tests/support/grey_image.h"
#include "tests/support/page_support.h"
#include "ui/decode_done_event.h"
#include "ui/gbk_text.h"

namespace {

const char kText[] = "Hello qrtool 123";

QByteArray Gbk(const QString& text) {
  QByteArray gbk;
  ToGbk(text, &gbk);
  return gbk;
}

// Records with these data bytes.
std::vector<DecodeResult> Records(const QList<QByteArray>& data) {
  std::vector<DecodeResult> records(static_cast<size_t>(data.size()));
  for (int i = 0; i < data.size(); ++i) {
    records[i].type = QR_SYMBOL_TYPE_QRCODE;
    records[i].length = static_cast<uint32_t>(data[i].size());
    std::memcpy(records[i].data, data[i].constData(), static_cast<size_t>(data[i].size()));
  }
  return records;
}
void Publish(const QList<QByteArray>& data) { DecodeResultTable::Shared().Publish(Records(data)); }

// Our encoder's symbol for kText, `scale` pixels per module, 4-module quiet zone.
QImage SymbolImage(int scale) {
  testimage::Canvas c(49 * scale, 49 * scale);
  const int side = testimage::DrawCode(&c, kText, 4 * scale, 4 * scale, scale);
  return QImage(c.grey.data(), c.width, c.height, c.width, QImage::Format_Grayscale8)
      .copy(0, 0, (side + 8) * scale, (side + 8) * scale);
}

}  // namespace

class DecodePageTest : public QObject {
  Q_OBJECT
 private slots:
  void init() {
    dir_ = FreshFolder(QString::fromLatin1(QTest::currentTestFunction()));
    dialogs_ = std::make_unique<FakeDialogs>();
    Publish({});
  }
  void cleanup() {
    page_.reset();
    dialogs_.reset();
  }

  void initialState() {
    makePage({});
    QCOMPARE(control<QComboBox>("encodingList")->itemText(1), QStringLiteral("UNICODE编码"));
    QCOMPARE(control<QLineEdit>("intervalEdit")->text(), QStringLiteral("1"));
    // No camera: told once, the camera controls off, the screen path still there.
    QCOMPARE(dialogs_->lastText(),
             QStringLiteral("无法获取摄像头信息!\r\n\r\n您将无法使用 【视频解码】 功能!"));
    QCOMPARE(dialogs_->messages.size(), size_t(1));
    QVERIFY(!control<QPushButton>("videoDecodeButton")->isEnabled());
    QVERIFY(!control<QCheckBox>("previewCheck")->isEnabled());
    QVERIFY(control<QPushButton>("screenshotDecodeButton")->isEnabled());
    // Laid out, the parameters sit whole inside their group, below its title.
    page_->show();
    for (const char* name : {"deviceList", "encodingList", "intervalEdit"}) {
      auto* box = control<QWidget>(name);
      QVERIFY2(box->height() >= box->sizeHint().height(), name);
      QVERIFY2(qobject_cast<QGroupBox*>(box->parentWidget())->contentsRect().contains(box->geometry()), name);
    }
  }

  void previewAndAutomaticDecoding_data() {
    QTest::addColumn<QString>("interval");
    QTest::addColumn<QList<bool>>("requests");
    QTest::newRow("0: every tick") << "0" << QList<bool>{true, true, true, true, true, true};
    QTest::newRow("3: every third") << "3" << QList<bool>{false, false, true, false, false, true};
  }
  void previewAndAutomaticDecoding() {
    QFETCH(QString, interval);
    QFETCH(QList<bool>, requests);
    makePage();
    QCOMPARE(control<QComboBox>("deviceList")->itemText(1), QStringLiteral("Camera 2"));
    auto* preview = control<QCheckBox>("previewCheck");
    auto* autoBox = control<QCheckBox>("autoDecodeCheck");
    auto* decode = control<QPushButton>("videoDecodeButton");
    autoBox->setEnabled(true);
    autoBox->click();  // not previewing: refused
    QCOMPARE(dialogs_->lastText(), QStringLiteral("请先开始预览"));
    autoBox->setChecked(false);
    preview->click();
    QVERIFY(preview->isChecked() && decode->isEnabled() && autoBox->isEnabled());
    control<QLineEdit>("intervalEdit")->clear();
    autoBox->click();
    QCOMPARE(dialogs_->lastText(), QStringLiteral("请输入自动拍照间隔"));
    QVERIFY(!autoBox->isChecked());
    control<QLineEdit>("intervalEdit")->setText(interval);
    autoBox->click();
    QVERIFY(!decode->isEnabled());
    // Editing the interval while armed changes nothing until the box is clicked again.
    control<QLineEdit>("intervalEdit")->setText(QStringLiteral("5"));
    QCOMPARE(ticks(6), requests);
    preview->click();  // stopping the preview disarms
    QVERIFY(!autoBox->isChecked() && !autoBox->isEnabled() && !decode->isEnabled());
    preview->click();
    QCOMPARE(ticks(3), (QList<bool>{false, false, false}));
  }

  // Long records are cut at character boundaries; the page shows the records
  // and hands the text on after each one.
  void presentsRecordsCutsLongOnesAndHandsOnEachStep() {
    const QByteArray data = Gbk(QString(600, QChar(0x4E2D)));  // 中, two GBK bytes each
    QList<QByteArray> sent;
    QByteArray text = BuildResultText(Records({data, data}).data(), 2, kEncodingChinese,
                                      [&](const QByteArray& soFar) { sent << soFar; });
    QCOMPARE(text.size(), kResultTextCapacity - 1);
    // Each record at most 1023 bytes: 511 characters; the second is cut by the total.
    const QString first = QStringLiteral("解码信息 1 :\r\n") + QString(511, QChar(0x4E2D)) +
                          QStringLiteral("\r\n");
    QCOMPARE(FromGbk(sent[0]), first);
    QCOMPARE(FromGbk(text).count(QChar(0x4E2D)), 511 + 497);
    QVERIFY(!FromGbk(text).contains(QChar(0xFFFD)));
    // UTF-8 data cut inside a character would fail to convert as a whole: it is
    // cut before that character instead.
    const QByteArray utf8 = "a" + QString(500, QChar(0x4E2D)).toUtf8();
    QCOMPARE(FromGbk(BuildResultText(Records({utf8}).data(), 1, kEncodingUnicode)),
             QStringLiteral("解码信息 1 :\r\na") + QString(340, QChar(0x4E2D)) + QStringLiteral("\r\n"));

    makePage();
    QSignalSpy handed(page_.get(), &DecodePage::resultTextReady);
    Publish({QByteArray("ABC"), Gbk(QStringLiteral("中文")), QStringLiteral("中文").toUtf8()});
    PostDecodeDone(page_.get(), DECODE_RESULTS_READY);
    QTRY_COMPARE(page_->soundsPlayed(), 1);
    QVERIFY(resultText().startsWith(QStringLiteral("解码信息 1 :\nABC\n解码信息 2 :\n中文\n解码信息 3 :\n")));
    QVERIFY(!resultText().contains(QStringLiteral("中文\n解码信息 3 :\n中文")));  // UTF-8 read as GBK
    const QByteArray part1 = Gbk(QStringLiteral("解码信息 1 :\r\nABC\r\n"));
    const QByteArray part2 = Gbk(QStringLiteral("解码信息 2 :\r\n中文\r\n"));
    QCOMPARE(handed.size(), 3);
    QCOMPARE(handed[0][0].toByteArray(), part1);
    QCOMPARE(handed[1][0].toByteArray(), part1 + part2);
    // Another encoding shows the table again and hands it on again.
    control<QComboBox>("encodingList")->setCurrentIndex(kEncodingUtf8);
    QTRY_COMPARE(handed.size(), 6);
    QVERIFY(resultText().endsWith(QStringLiteral("解码信息 3 :\n中文\n")));

    PostDecodeDone(page_.get(), DECODE_NOTHING_FOUND);
    QTRY_COMPARE(resultText(), QStringLiteral("无解码内容"));
    QCOMPARE(page_->soundsPlayed(), 2);
  }

  // A picture opened, pasted or dropped is read and shown at 4 pixels a module.
  void picturesOpenedPastedAndDropped_data() {
    QTest::addColumn<QString>("how");   // "open", "paste" or "drop"
    QTest::addColumn<QString>("file");  // picture file name (open, drop)
    QTest::addColumn<int>("scale");     // pixels per module; 0: not a picture
    QTest::newRow("open WebP") << "open" << "code.webp" << 4;
    QTest::newRow("paste") << "paste" << "" << 4;
    QTest::newRow("drop JPEG") << "drop" << "code.jpg" << 4;
    QTest::newRow("open: not a picture") << "open" << "notes.png" << 0;
    QTest::newRow("paste: no picture") << "paste" << "" << 0;
  }
  void picturesOpenedPastedAndDropped() {
    QFETCH(QString, how);
    QFETCH(QString, file);
    QFETCH(int, scale);
    const QImage picture = scale > 0 ? SymbolImage(scale) : QImage();
    const QString path = dir_ + QLatin1Char('/') + file;
    if (!file.isEmpty()) {
      QFile txt(path);
      QVERIFY(scale > 0 ? picture.save(path) : txt.open(QFile::WriteOnly) && txt.write("x") == 1);
    }
    dialogs_->openAnswers << path;
    makePage({});
    dialogs_->messages.clear();
    auto* copy = control<QPushButton>("copyButton");
    const QString before = resultText();
    QSignalSpy handed(page_.get(), &DecodePage::resultTextReady);
    if (how == "open") {
      control<QPushButton>("openPictureButton")->click();
    } else if (how == "paste") {
      if (scale > 0) {
        QGuiApplication::clipboard()->setImage(picture);
      } else {
        QGuiApplication::clipboard()->setText(QStringLiteral("no picture"));
      }
      QTest::keySequence(page_.get(), QKeySequence(QKeySequence::Paste));
    } else {
      QMimeData mime;
      mime.setUrls({QUrl::fromLocalFile(path)});
      QDragEnterEvent enter(QPoint(9, 9), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(page_.get(), &enter);
      QVERIFY(enter.isAccepted());
      QDropEvent drop(QPointF(9, 9), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(page_.get(), &drop);
    }
    if (scale == 0) {  // told, and nothing changed
      QCOMPARE(dialogs_->messages.size(), size_t(1));
      QTest::qWait(50);
      QCOMPARE(resultText(), before);
      QVERIFY(page_->picture().isEmpty() && !copy->isEnabled());
      return;
    }
    QTRY_COMPARE(resultText(), QStringLiteral("解码信息 1 :\nHello qrtool 123\n"));
    QVERIFY2(dialogs_->messages.empty(), qPrintable(dialogs_->lastText()));
    QCOMPARE(page_->picture().image().size(), QSize(132, 132));
    QCOMPARE(handed.size(), 1);
    copy->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromLatin1(kText));
  }

  // While the screen is picked the page hides, then comes back where it was,
  // automatic decoding disarmed. Escape writes nothing; a rectangle dragged
  // around a code is saved as cs.bmp and read.
  void screenshots() {
    QLabel shown;
    shown.setWindowFlags(Qt::FramelessWindowHint);
    shown.setPixmap(QPixmap::fromImage(SymbolImage(6)));
    shown.setGeometry(100, 100, shown.pixmap().width(), shown.pixmap().height());
    shown.show();
    QVERIFY(QTest::qWaitForWindowExposed(&shown));
    makePage();
    page_->move(700, 100);
    page_->show();
    QVERIFY(QTest::qWaitForWindowExposed(page_.get()));
    const QPoint where = page_->pos();
    control<QCheckBox>("previewCheck")->click();
    control<QCheckBox>("autoDecodeCheck")->click();
    const QRect around = shown.geometry().adjusted(-10, -10, 10, 10);
    bool cancel = true, pageHidden = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
      auto* window = qobject_cast<ScreenCaptureWindow*>(QApplication::activeModalWidget());
      if (window == nullptr) return;
      poll.stop();
      pageHidden = !page_->isVisible();
      if (cancel) {
        QTest::keyClick(window, Qt::Key_Escape);
        return;
      }
      Drag(window, around.topLeft(), around.bottomRight());
      DoubleClick(window, around.center());
    });
    poll.start(20);
    page_->onScreenshotDecode();
    QVERIFY(pageHidden);
    QVERIFY(page_->isVisible());
    QCOMPARE(page_->pos(), where);
    QVERIFY(!control<QCheckBox>("autoDecodeCheck")->isChecked());
    QCOMPARE(ticks(2), (QList<bool>{false, false}));
    QVERIFY(!QFile::exists(dir_ + "/cs.bmp"));
    cancel = false;
    poll.start(20);
    page_->onScreenshotDecode();
    QVERIFY(QFile::exists(dir_ + "/cs.bmp") && !page_->picture().isEmpty());
    QTRY_COMPARE(resultText(), QStringLiteral("解码信息 1 :\nHello qrtool 123\n"));
  }

 private:
  void makePage(QStringList devices = {QStringLiteral("Camera 1"), QStringLiteral("Camera 2")}) {
    page_ = std::make_unique<DecodePage>(dir_);
    page_->camera().setBackend(std::make_unique<FileFrameSource>(devices, QStringList(), 0));
    page_->ensureInitialised();
    for (QTimer* t : page_->findChildren<QTimer*>()) t->stop();  // the tests tick
  }
  template <typename T>
  T* control(const char* name) {
    T* w = page_->findChild<T*>(QString::fromLatin1(name));
    if (w == nullptr) qFatal("no control %s", name);
    return w;
  }
  QString resultText() { return control<QPlainTextEdit>("resultText")->toPlainText(); }
  // Whether each of `times` timer ticks requested a snapshot.
  QList<bool> ticks(int times) {
    QList<bool> requests;
    for (int i = 0; i < times; ++i) {
      page_->onTimer();
      requests << page_->camera().snapshotRequested();
      page_->camera().requestSnapshot(false);
    }
    return requests;
  }

  QString dir_;
  std::unique_ptr<FakeDialogs> dialogs_;
  std::unique_ptr<DecodePage> page_;
};

QTEST_MAIN(DecodePageTest)
#include "decode_page_test.moc"
