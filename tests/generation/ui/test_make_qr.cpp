// CMakeQr: lists, the limit and remaining-characters rules, generation with
// its checks and status texts, the preview, and saving.
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include "app/ui/gbk.h"
#include "generation/symbol_picture.h"
#include "generation/ui/make_qr.h"
#include "page_test_support.h"

class TestMakeQr : public QObject {
  Q_OBJECT

 private:
  FakeDialogs dialogs_;
  std::unique_ptr<CMakeQr> page_;
  QString dir_;

  QComboBox* list(const char* id) { return page_->findChild<QComboBox*>(id); }
  QPlainTextEdit* text() { return page_->findChild<QPlainTextEdit*>("1020"); }
  QString label(const char* id) { return page_->findChild<QLabel*>(id)->text(); }
  void click(const char* id) { page_->findChild<QPushButton*>(id)->click(); }
  QString remaining(int n) { return QStringLiteral("二维码内容：还可输入%1个字符").arg(n); }
  void generate(const QString& content) {
    text()->setPlainText(content);
    click("1022");
  }

 private slots:
  void init() {
    dir_ = FreshFolder(QString::fromLatin1(QTest::currentTestFunction()));
    SetModuleDirectory(QFile::encodeName(dir_).constData());
    dialogs_ = FakeDialogs();
    SetDialogService(&dialogs_);
    page_ = std::make_unique<CMakeQr>();
    page_->ensureInitialised();
    page_->show();
  }
  void cleanup() {
    page_.reset();
    SetDialogService(nullptr);
  }

  void initialControls() {
    QCOMPARE(page_->title(), QStringLiteral("    二维码生成    "));
    QCOMPARE(list("1019")->count(), 41);
    QCOMPARE(list("1019")->itemText(0), QStringLiteral("自动"));
    QCOMPARE(list("1019")->itemText(40), QStringLiteral("40"));
    QCOMPARE(list("1025")->itemText(1), QStringLiteral("低(7%)"));
    QCOMPARE(list("1025")->itemText(4), QStringLiteral("高(30%)"));
    QCOMPARE(list("1021")->count(), 20);
    QCOMPARE(list("1021")->currentText(), QStringLiteral("5"));
    QCOMPARE(list("1018")->itemText(1), QStringLiteral("启用 "));
    QCOMPARE(list("1019")->currentIndex(), 0);
    QCOMPARE(list("1025")->currentIndex(), 0);
    QCOMPARE(list("1018")->currentIndex(), 0);
    QCOMPARE(label("1040"), remaining(300));
    QCOMPARE(label("1059"),
             QStringLiteral("请输入二维码内容后，点击 生成按钮 来生成二维码生成操作       "));
  }

  void limitTable_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("limit");
    const int table[][5] = {{1, 7, 6, 4, 2},
                            {2, 15, 12, 9, 6},
                            {10, 135, 106, 75, 59},
                            {40, 1476, 1165, 831, 636}};
    for (const auto& row : table) {
      for (int level = 1; level <= 4; ++level) {
        QTest::addRow("v%d-l%d", row[0], level) << row[0] << level << row[level];
      }
      QTest::addRow("v%d-auto", row[0]) << row[0] << 0 << row[1];  // automatic counts as L
    }
    QTest::addRow("auto-H") << 0 << 4 << 300;
  }
  void limitTable() {
    QFETCH(int, version);
    QFETCH(int, level);
    QFETCH(int, limit);
    list("1025")->setCurrentIndex(level);
    list("1019")->setCurrentIndex(version);
    QCOMPARE(page_->characterLimit(), limit);
    QCOMPARE(label("1040"), remaining(limit));
  }

  // Bytes of GBK text count against the limit: a line break 2, a Chinese character 2.
  void remainingCount_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("compression");
    QTest::addColumn<QString>("content");
    QTest::addColumn<int>("left");
    QTest::newRow("v1-H-empty") << 1 << 0 << "" << 2;
    QTest::newRow("v1-H-three") << 1 << 0 << "abc" << -1;
    QTest::newRow("v1-H-break") << 1 << 0 << "a\nb" << -2;
    QTest::newRow("chinese") << 0 << 0 << QStringLiteral("二维码生成分析工具测") << 280;
    QTest::newRow("chinese-compressed") << 0 << 1 << QStringLiteral("二维码生成分析工具测") << 280;
  }
  void remainingCount() {
    QFETCH(int, version);
    QFETCH(int, compression);
    QFETCH(QString, content);
    QFETCH(int, left);
    list("1019")->setCurrentIndex(version);
    list("1025")->setCurrentIndex(4);
    list("1018")->setCurrentIndex(compression);
    text()->setFocus();
    CommitText(text(), content);
    QCOMPARE(text()->toPlainText(), content);
    QCOMPARE(label("1040"), remaining(left));
    list("1021")->setCurrentIndex(0);  // the module pixels do not touch the limit
    QCOMPARE(label("1040"), remaining(left));
  }

  // A refused text leaves the previous picture, its status and Save as they were.
  void refusalKeepsPreviousPicture_data() {
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("exact");
    QTest::addColumn<int>("left");
    QTest::newRow("301-bytes")
        << QString(150, QLatin1Char('a')) + QLatin1Char('\n') + QString(149, QLatin1Char('b'))
        << QStringLiteral("您输入的内容过长，请输入 300 个字符以内的内容！") << true << -1;
    QTest::newRow("empty") << QString() << QStringLiteral("请输入二维码内容！") << true << 300;
    // The character GBK lacks is named; the label counts it as 2.
    QTest::newRow("unencodable") << QStringLiteral("smile \U0001F600")
                                 << QStringLiteral("\U0001F600") << false << 292;
  }
  void refusalKeepsPreviousPicture() {
    QFETCH(QString, content);
    QFETCH(QString, message);
    QFETCH(bool, exact);
    QFETCH(int, left);
    // 300 bytes with a line break in the middle are accepted.
    generate(QString(149, QLatin1Char('a')) + QLatin1Char('\n') + QString(149, QLatin1Char('b')));
    QVERIFY2(dialogs_.messages.empty(), qPrintable(dialogs_.lastText()));
    QVERIFY(page_->pictureReady());
    const QString status = label("1059");
    QFile working(CMakeQr::WorkingPicturePath());
    QVERIFY(working.open(QIODevice::ReadOnly));
    const QByteArray picture = working.readAll();
    working.close();
    page_->findChild<QWidget*>("1022")->setFocus();
    generate(content);
    QCOMPARE(dialogs_.messages.size(), size_t(1));
    if (exact) {
      QCOMPARE(dialogs_.lastText(), message);
    } else {
      QVERIFY2(dialogs_.lastText().contains(message), qPrintable(dialogs_.lastText()));
    }
    QCOMPARE(dialogs_.messages.back().icon, DialogService::Icon::Error);
    QCOMPARE(dialogs_.messages.back().caption, QStringLiteral("Velmora二维码生成分析工具2.0"));
    QCOMPARE(page_->focusWidget(), text());
    QCOMPARE(label("1059"), status);
    QCOMPARE(label("1040"), remaining(left));
    QVERIFY(page_->pictureReady());
    QVERIFY(!page_->preview().isEmpty());
    QVERIFY(working.open(QIODevice::ReadOnly));
    QCOMPARE(working.readAll(), picture);
    dialogs_.saveAnswers << dir_ + "/kept";
    click("1023");
    QVERIFY(QFile::exists(dir_ + "/kept.jpg"));
  }

  void statusFollowsLevelUsed_data() {
    QTest::addColumn<QString>("content");
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("pixelsIndex");
    QTest::addColumn<QString>("status");
    const QString f = QStringLiteral("二维码生成成功 使用版本：%1   使用纠错级别： %2   图像尺寸: %3 X %3");
    // 14 lower-case letters need all of version 1 at L: M cannot hold them.
    QTest::newRow("low") << "abcdefghijklmn" << 0 << 4 << f.arg(1).arg("低").arg(125) + " ";
    // "低(7%)" chosen, but the encoder raises the level when the data leave room.
    QTest::newRow("raised-to-medium") << "hello world" << 1 << 4 << f.arg(1).arg("中").arg(125);
    QTest::newRow("raised-to-strong") << "HELLO WORLD" << 1 << 4 << f.arg(1).arg("强").arg(125);
    QTest::newRow("raised-to-high") << "0123456" << 1 << 0 << f.arg(1).arg("高").arg(25);
    QTest::newRow("version2") << "abcdefghijklmnopq" << 0 << 4 << f.arg(2).arg("强").arg(145);
  }
  void statusFollowsLevelUsed() {
    QFETCH(QString, content);
    QFETCH(int, level);
    QFETCH(int, pixelsIndex);
    QFETCH(QString, status);
    list("1025")->setCurrentIndex(level);
    list("1021")->setCurrentIndex(pixelsIndex);
    generate(content);
    QVERIFY2(dialogs_.messages.empty(), qPrintable(dialogs_.lastText()));
    QCOMPARE(label("1059"), status);
    const QImage picture(CMakeQr::WorkingPicturePath());
    QCOMPARE(picture.width(), g_nPictureSide);
    QCOMPARE(picture.height(), g_nPictureSide);
    QCOMPARE(ReadWithOracle(CMakeQr::WorkingPicturePath()), content.toLatin1());
  }

  void writtenPictureReadsBackAsTyped_data() {
    QTest::addColumn<int>("compression");
    QTest::newRow("bytes") << 0;
    QTest::newRow("hanzi") << 1;
  }
  void writtenPictureReadsBackAsTyped() {
    QFETCH(int, compression);
    list("1018")->setCurrentIndex(compression);
    text()->setPlainText(QStringLiteral("Hello 1234\n"));
    text()->moveCursor(QTextCursor::End);
    CommitText(text(), QStringLiteral("二维码生成分析工具"));
    click("1022");
    QVERIFY2(dialogs_.messages.empty(), qPrintable(dialogs_.lastText()));
    QByteArray expected;
    QVERIFY(ToGbk(QStringLiteral("Hello 1234\r\n二维码生成分析工具"), &expected));
    const QByteArray read = ReadWithOracle(CMakeQr::WorkingPicturePath());
    if (compression == 0) {
      QCOMPARE(read, expected);  // raw GBK bytes, the line break as CR LF
    } else {
      // Hanzi segments: zxing hands them on as text of its own.
      QCOMPARE(ReadTextWithOracle(CMakeQr::WorkingPicturePath()),
               QStringLiteral("Hello 1234\r\n二维码生成分析工具"));
    }
  }

  void previewStretchesPictureOverBox() {
    auto* box = page_->findChild<QFrame*>("1027");
    box->resize(300, 400);  // taller than wide, as on the page
    generate(QStringLiteral("preview"));
    QVERIFY(page_->pictureReady());
    const QImage shot = box->grab().toImage().convertToFormat(QImage::Format_Grayscale8);
    const QRect inside = box->contentsRect();
    QRect dark;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
      for (int x = inside.left(); x <= inside.right(); ++x) {
        if (qGray(shot.pixel(x, y)) < 64) dark |= QRect(x, y, 1, 1);
      }
    }
    // Version 1 with its 2-module margin: the dark modules span 21/25 of the
    // box in each direction, so the picture is stretched unevenly to fill it.
    QVERIFY(!dark.isEmpty());
    QVERIFY2(qAbs(dark.width() - inside.width() * 21 / 25) <= 3, qPrintable(QString::number(dark.width())));
    QVERIFY2(qAbs(dark.height() - inside.height() * 21 / 25) <= 3, qPrintable(QString::number(dark.height())));
    QVERIFY(qAbs(dark.left() - inside.left() - inside.width() * 2 / 25) <= 3);
  }

  void saveAppendsJpg_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("written");
    QTest::newRow("plain") << "abc" << "abc.jpg";
    QTest::newRow("already-jpg") << "abc.jpg" << "abc.jpg.jpg";
  }
  void saveAppendsJpg() {
    QFETCH(QString, name);
    QFETCH(QString, written);
    generate(QStringLiteral("save me"));
    // An existing file of that name is replaced.
    QFile old(dir_ + "/" + written);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    dialogs_.saveAnswers << dir_ + "/" + name;
    click("1023");
    QCOMPARE(dialogs_.saveInitialName, QStringLiteral("qr_pic"));
    QCOMPARE(dialogs_.saveFilter, QStringLiteral("图片文件(*.jpg)"));
    QVERIFY(dialogs_.messages.empty());
    QFile copy(dir_ + "/" + written), original(CMakeQr::WorkingPicturePath());
    QVERIFY(copy.open(QIODevice::ReadOnly) && original.open(QIODevice::ReadOnly));
    QCOMPARE(copy.readAll(), original.readAll());
  }

  void saveRefusalsAndFailures() {
    click("1023");
    QCOMPARE(dialogs_.lastText(), QStringLiteral("请先生成图片"));
    QCOMPARE(dialogs_.saveRequests, 0);
    generate(QStringLiteral("x"));
    click("1023");  // cancelled: nothing written, nothing said
    QCOMPARE(dialogs_.messages.size(), size_t(1));
    QCOMPARE(QDir(dir_).entryList(QDir::Files), QStringList{"qr.jpg"});
    const QString unreachable = dir_ + "/no/such/folder/pic";
    dialogs_.saveAnswers << unreachable;
    click("1023");
    QCOMPARE(dialogs_.messages.size(), size_t(2));
    QVERIFY(dialogs_.lastText().contains(unreachable + ".jpg"));
  }

  void unwritablePictureLeavesPreviewEmpty() {
    generate(QStringLiteral("first"));
    QVERIFY(page_->pictureReady());
    const QString missing = dir_ + "/gone";
    SetModuleDirectory(QFile::encodeName(missing).constData());
    generate(QStringLiteral("second"));
    QCOMPARE(dialogs_.messages.size(), size_t(1));
    QVERIFY(dialogs_.lastText().contains(missing + "/qr.jpg"));
    QVERIFY(!page_->pictureReady());
    QVERIFY(label("1059").startsWith(QStringLiteral("二维码生成失败：")));
    click("1023");
    QCOMPARE(dialogs_.lastText(), QStringLiteral("请先生成图片"));
    // The box shows nothing dark any more.
    const QImage shot = page_->findChild<QFrame*>("1027")->grab().toImage();
    const QRect inside = page_->findChild<QFrame*>("1027")->contentsRect().adjusted(2, 2, -2, -2);
    for (int y = inside.top(); y <= inside.bottom(); y += 3)
      for (int x = inside.left(); x <= inside.right(); x += 3)
        QVERIFY(qGray(shot.pixel(x, y)) > 100);
  }
};

QTEST_MAIN(TestMakeQr)
#include "test_make_qr.moc"
