// The main window: caption, frame, the five tabs and when their pages start,
// the show request of a second copy, closing during a batch, the interface.
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

#include "app/main_window.h"
#include "app/qrtool_app.h"
#include "capture/ui/decode_page.h"
#include "generation/ui/batch_page.h"
#include "tests/support/fake_dialogs.h"
#include "tests/support/page_support.h"
#include "tests/support/udp_receiver.h"
#include "ui/decode_done_event.h"
#include "ui/page.h"

class MainWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    dir_ = FreshFolder(QStringLiteral("main_window"));
    QrToolApp::applyApplicationFont();
  }

  void captionFrameTabsPagesAndDecodedText() {
    MainWindow w(dir_, &settings_, &sender_);
    QCOMPARE(w.windowTitle(), QStringLiteral("Velmora二维码生成分析工具2.0"));
    QVERIFY(!w.windowIcon().isNull());
    const Qt::WindowFlags flags = w.windowFlags();
    QCOMPARE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
             Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    QCOMPARE(w.minimumSize(), w.maximumSize());
    const struct { const char *page, *title; } tabs[] = {
        {"DecodePage", "    二维码分析    "}, {"SingleCodePage", "    二维码生成    "},
        {"BatchPage", "  二维码批量生成  "}, {"DataInterfacePage", "    数 据 接 口    "},
        {"AboutPage", "  关于Velmora  "}};
    QCOMPARE(w.host()->count(), 5);
    for (int i = 0; i < 5; ++i) {
      QCOMPARE(w.host()->tabText(i), QString::fromUtf8(tabs[i].title));
      QVERIFY2(w.host()->widget(i)->inherits(tabs[i].page), tabs[i].page);
    }
    // The decode page's text goes out through the sender, to the destination
    // the settings hold at that moment, only while the interface is on.
    udptest::Receiver r;
    auto* decode = qobject_cast<DecodePage*>(w.page(0));
    const QByteArray text("text");
    settings_.sendPort = r.port();
    emit decode->resultTextReady(text);
    QCOMPARE(r.Next(200), std::string("<none>"));
    QVERIFY(sender_.Open());
    emit decode->resultTextReady(text);
    QVERIFY(QByteArray::fromStdString(r.Next()).endsWith(text));  // its header is the sender's case
    sender_.Close();
    // Pages start when first shown, and fit the window.
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(!w.page(4)->initialised());
    for (int i = 0; i < 5; ++i) {
      w.host()->setCurrentIndex(i);
      QVERIFY(w.page(i)->initialised());
      const QSize area = w.page(i)->parentWidget()->size();  // the tab host's page area
      const QSize needed = w.page(i)->minimumSizeHint().expandedTo(w.page(i)->minimumSize());
      QVERIFY2(needed.width() <= area.width() && needed.height() <= area.height(),
               qPrintable(w.host()->tabText(i)));
    }
    // A second copy's show request brings back the hidden window; closing announces the end.
    QSignalSpy closed(&w, &MainWindow::closed);
    const QPoint where = w.pos();
    w.hide();
    PostDecodeDone(&w, 99);
    QTRY_VERIFY(w.isVisible());
    QCOMPARE(w.pos(), where);
    dialogs_.messages.clear();
    w.close();
    QCOMPARE(closed.count(), 1);
    QVERIFY2(dialogs_.messages.empty(), qPrintable(dialogs_.lastText()));
  }

  // Closing during a batch asks first. No: the window stays and the batch runs
  // to its end. Yes: the batch stops between two files and the count written is
  // told, unless it ended while the question was open.
  void closingDuringABatchAsksFirst_data() {
    QTest::addColumn<bool>("stop");
    QTest::addColumn<bool>("endsWhileAsking");
    QTest::newRow("no") << false << false;
    QTest::newRow("yes") << true << false;
    QTest::newRow("yes after the end") << true << true;
  }
  void closingDuringABatchAsksFirst() {
    QFETCH(bool, stop);
    QFETCH(bool, endsWhileAsking);
    const QString out = FreshFolder(QStringLiteral("batch"));
    MainWindow w(dir_, &settings_, &sender_);
    w.show();
    w.host()->setCurrentIndex(2);
    auto* batch = qobject_cast<BatchPage*>(w.page(2));
    QSignalSpy finished(batch, &BatchPage::batchFinished);
    batch->setLinePause(30);
    batch->findChild<QLineEdit*>("folderEdit")->setText(out);
    auto* box = batch->findChild<QPlainTextEdit*>("linesBox");
    box->setPlainText(QString("line\n").repeated(20));
    auto* progress = batch->findChild<QProgressBar*>("batchProgress");
    batch->findChild<QPushButton*>("generateButton")->click();
    QVERIFY(!box->isEnabled() && progress->isVisible());
    // The page stays live: files and progress come while the batch runs.
    QTRY_VERIFY(QDir(out).entryList(QDir::Files).size() >= 3 && progress->value() >= 2);
    batch->findChild<QPushButton*>("generateButton")->click();  // ignored while running
    dialogs_.messages.clear();
    dialogs_.questionAnswer = stop;
    dialogs_.whileAsking = [&] { QVERIFY(!endsWhileAsking || finished.wait(30000)); };
    QCOMPARE(w.close(), stop);
    dialogs_.whileAsking = nullptr;
    QCOMPARE(dialogs_.questions.takeFirst(), QStringLiteral("批量生成正在进行，确定要停止吗？"));
    if (!stop) {
      QVERIFY(finished.wait(30000));
    }
    const QStringList files = QDir(out).entryList(QDir::Files);
    QCOMPARE(files.size() == 20, !stop || endsWhileAsking);
    for (const QString& f : files) {  // every file whole: a JPEG ends with EOI
      QFile jpeg(out + '/' + f);
      QVERIFY(jpeg.open(QIODevice::ReadOnly) && jpeg.readAll().endsWith("\xFF\xD9"));
    }
    const QString told = QStringLiteral("批量生成已停止，已生成 %1 个文件。").arg(files.size());
    QCOMPARE(dialogs_.lastText(),
             stop && !endsWhileAsking ? told : QStringLiteral("二维码批量生成完毕！"));
    QCOMPARE(finished.count(), 1);
    QVERIFY(box->isEnabled() && !progress->isVisible());
  }

 private:
  QString dir_;
  FakeDialogs dialogs_;
  InterfaceSettings settings_;
  UdpSender sender_;
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
