// SingleCodePage: its lists and labels, the rules wired to the text box, the
// picture written and shown, and saving it.
#include "generation/ui/single_code_page.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include "tests/support/fake_dialogs.h"
#include "tests/support/page_support.h"
#include "ui/gbk_text.h"

class SingleCodePageTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<FakeDialogs> dialogs_;
  std::unique_ptr<SingleCodePage> page_;
  QString dir_;

  QComboBox* list(const char* name) { return page_->findChild<QComboBox*>(name); }
  QPlainTextEdit* text() { return page_->findChild<QPlainTextEdit*>("textBox"); }
  QString label(const char* name) { return page_->findChild<QLabel*>(name)->text(); }
  void click(const char* name) { page_->findChild<QPushButton*>(name)->click(); }
  QString remaining(int n) { return QStringLiteral("二维码内容：还可输入%1个字符").arg(n); }
  void generate(const QString& content) {
    text()->setPlainText(content);
    click("generateButton");
  }
  QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

 private slots:
  void init() {
    dir_ = FreshFolder(QString::fromLatin1(QTest::currentTestFunction()));
    dialogs_ = std::make_unique<FakeDialogs>();
    page_ = std::make_unique<SingleCodePage>(dir_);
    page_->ensureInitialised();
    page_->show();
  }
  void cleanup() {
    page_.reset();
    dialogs_.reset();
  }

  void controlsAndLimitWiring() {
    QCOMPARE(list("versionList")->count(), 41);
    QCOMPARE(list("modulePixelsList")->currentText(), QStringLiteral("5"));
    QCOMPARE(label("remainingLabel"), remaining(300));
    list("versionList")->setCurrentIndex(10);
    list("levelList")->setCurrentIndex(4);
    // Version 10 at level H allows 59; a Chinese character and a line break count two bytes each.
    text()->setFocus();
    CommitText(text(), QStringLiteral("二维\n"));
    QCOMPARE(label("remainingLabel"), remaining(53));
  }

  // A refused text leaves the previous picture, its status and Save as they were.
  void refusalKeepsPreviousPicture() {
    generate(QString(149, QLatin1Char('a')) + QLatin1Char('\n') + QString(149, QLatin1Char('b')));
    QVERIFY2(dialogs_->messages.empty(), qPrintable(dialogs_->lastText()));
    const QString status = label("statusLabel");
    const QByteArray picture = fileBytes(page_->workingPicturePath());
    generate(QString(301, QLatin1Char('a')));
    QCOMPARE(dialogs_->lastText(), QStringLiteral("您输入的内容过长，请输入 300 个字符以内的内容！"));
    QCOMPARE(dialogs_->messages.back().icon, DialogService::Icon::Error);
    QCOMPARE(dialogs_->messages.back().caption, QStringLiteral("Velmora二维码生成分析工具2.0"));
    QCOMPARE(page_->focusWidget(), text());
    generate(QStringLiteral("smile \U0001F600"));
    QVERIFY(dialogs_->lastText().contains(QStringLiteral("\U0001F600")));
    QCOMPARE(label("statusLabel"), status);
    QVERIFY(page_->pictureReady());
    QCOMPARE(fileBytes(page_->workingPicturePath()), picture);
  }

  void pictureReadsBackWithStatus() {
    const QString f = QStringLiteral("二维码生成成功 使用版本：%1   使用纠错级别： %2   图像尺寸: %3 X %3");
    // "低(7%)" stays low only when the data need it; otherwise the encoder raises it.
    const struct { QString content; int compression, pixelsIndex; QString status; } rows[] = {
        {"abcdefghijklmn", 0, 4, f.arg(1).arg("低").arg(125) + " "},
        {"0123456", 0, 0, f.arg(1).arg("高").arg(25)},
        {QStringLiteral("Hello\n二维码生成分析工具"), 1, 4, QString()}};
    list("levelList")->setCurrentIndex(1);
    for (const auto& row : rows) {
      list("chineseList")->setCurrentIndex(row.compression);
      list("modulePixelsList")->setCurrentIndex(row.pixelsIndex);
      generate(row.content);
      QVERIFY2(dialogs_->messages.empty(), qPrintable(dialogs_->lastText()));
      if (!row.status.isEmpty()) {
        QCOMPARE(label("statusLabel"), row.status);
      }
      // The data are GBK bytes with CR LF line breaks; Hanzi segments come back as text.
      QString sent = row.content;
      sent.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
      QByteArray gbk;
      QVERIFY(ToGbk(sent, &gbk));
      if (row.compression == 0) {
        QCOMPARE(ReadWithOracle(page_->workingPicturePath()), gbk);
      } else {
        QCOMPARE(QString::fromUtf8(ReadWithOracle(page_->workingPicturePath(), true)), sent);
      }
    }
  }

  // JPEG has ".jpg" appended and replaces a file there; PNG and SVG go by the
  // chosen filter or by the name; all the same picture.
  void savePicture() {
    click("saveButton");
    QCOMPARE(dialogs_->lastText(), QStringLiteral("请先生成图片"));
    generate(QStringLiteral("save me"));
    QFile old(dir_ + "/a.jpg.jpg");
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
    old.close();
    const QSize side = QImage(page_->workingPicturePath()).size();
    const struct {
      const char *name, *filter, *written;
    } rows[] = {{"a.jpg", "", "a.jpg.jpg"}, {"f", "PNG 图片(*.png)", "f.png"}, {"n.PNG", "", "n.PNG"},
                {"s", "SVG 图片(*.svg)", "s.svg"}, {"t.svg", "PNG 图片(*.png)", "t.svg"}};
    for (const auto& row : rows) {
      dialogs_->saveAnswers << dir_ + "/" + row.name;
      dialogs_->saveChosenFilter = QString::fromUtf8(row.filter);
      click("saveButton");
      const QString written = dir_ + "/" + row.written;
      if (written.endsWith(".svg")) {
        const QByteArray width = QStringLiteral("width=\"%1\"").arg(side.width()).toUtf8();
        QVERIFY2(fileBytes(written).contains(width), row.name);
      } else {
        QCOMPARE(QImage(written).size(), side);
      }
    }
    QCOMPARE(dialogs_->saveInitialName, QStringLiteral("qr_pic"));
    QCOMPARE(dialogs_->saveFilter, QStringLiteral("图片文件(*.jpg);;PNG 图片(*.png);;SVG 图片(*.svg)"));
    QCOMPARE(dialogs_->messages.size(), size_t(1));
    const QString unreachable = dir_ + "/no/such/folder/pic";
    dialogs_->saveAnswers << unreachable;
    click("saveButton");
    QVERIFY(dialogs_->lastText().contains(unreachable));
  }

  void unwritableFolderLeavesNoPicture() {
    const QString missing = dir_ + "/gone";
    SingleCodePage page(missing);
    page.ensureInitialised();
    page.findChild<QPlainTextEdit*>("textBox")->setPlainText(QStringLiteral("x"));
    page.findChild<QPushButton*>("generateButton")->click();
    QVERIFY(dialogs_->lastText().contains(missing + "/qr.jpg"));
    QVERIFY(!page.pictureReady());
    QVERIFY(page.findChild<QLabel*>("statusLabel")->text().startsWith(QStringLiteral("二维码生成失败：")));
  }
};

QTEST_MAIN(SingleCodePageTest)
#include "single_code_page_test.moc"
