// CBatMake: controls, the label rule, browse, the checks in their order, and
// batches with gaps, write failures and a running window.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include "generation/ui/bat_make.h"
#include "page_test_support.h"

class TestBatMake : public QObject {
  Q_OBJECT

 private:
  FakeDialogs dialogs_;
  std::unique_ptr<CBatMake> page_;
  QString dir_;  // save folder of the batch

  QComboBox* list(const char* id) { return page_->findChild<QComboBox*>(id); }
  QLineEdit* edit(const char* id) { return page_->findChild<QLineEdit*>(id); }
  QPlainTextEdit* box() { return page_->findChild<QPlainTextEdit*>("1046"); }
  QPushButton* button(const char* id) { return page_->findChild<QPushButton*>(id); }
  QString label(const char* id) { return page_->findChild<QLabel*>(id)->text(); }
  QStringList written() { return QDir(dir_).entryList(QDir::Files, QDir::Name); }
  QString linesLabel(int limit, int left) {
    return QStringLiteral("文本框内每行为一条待编码内容,最多允许输入100行，每行最大长度 %1 字符，"
                          "您还可输入 %2 行")
        .arg(limit)
        .arg(left);
  }
  // Starts a batch and waits for its end; the number the page reports.
  int runBatch(const QString& content) {
    box()->setPlainText(content);
    QSignalSpy finished(page_.get(), &CBatMake::batchFinished);
    button("1045")->click();
    if (!page_->isRunning()) return finished.isEmpty() ? -2 : finished.first().first().toInt();
    if (!finished.wait(60000)) return -3;
    return finished.first().first().toInt();
  }
  static QString Lines(int n, const QString& line) {
    QStringList lines;
    for (int i = 0; i < n; ++i) lines << line;
    return lines.join(QLatin1Char('\n'));
  }

 private slots:
  void init() {
    const QString base = FreshFolder(QString::fromLatin1(QTest::currentTestFunction()));
    SetModuleDirectory(QFile::encodeName(base).constData());
    dir_ = base + "/out";
    QDir().mkpath(dir_);
    dialogs_ = FakeDialogs();
    SetDialogService(&dialogs_);
    page_ = std::make_unique<CBatMake>();
    page_->ensureInitialised();
    page_->setLinePause(0);
    page_->show();
    edit("1052")->setText(dir_);
  }
  void cleanup() {
    page_.reset();
    SetDialogService(nullptr);
  }

  void initialControls() {
    CBatMake fresh;
    fresh.ensureInitialised();
    QCOMPARE(fresh.title(), QStringLiteral("  二维码批量生成  "));
    QCOMPARE(fresh.linePause(), 50);
    QCOMPARE(fresh.findChild<QLineEdit*>("1055")->text(), QStringLiteral("batqr"));
    QCOMPARE(fresh.findChild<QLineEdit*>("1052")->text(), QDir::homePath());
    QCOMPARE(fresh.findChild<QLabel*>("1047")->text(),
             QStringLiteral("文本框内每行为一条待编码内容,最多允许输入100行，每行最大长度300字符，"
                            "您还可输入 100 行"));
    QCOMPARE(fresh.findChild<QLabel*>("1068")->text(),
             QStringLiteral("请输入编码内容，点击 批量生成 按钮，进行二维码批量生成操作"));
    QCOMPARE(fresh.findChild<QComboBox*>("1048")->count(), 41);
    QCOMPARE(fresh.findChild<QComboBox*>("1049")->count(), 5);
    QCOMPARE(fresh.findChild<QComboBox*>("1051")->currentText(), QStringLiteral("5"));
    QCOMPARE(fresh.findChild<QComboBox*>("1050")->currentIndex(), 0);
  }

  void labelRule() {
    box()->setPlainText(QStringLiteral("a\nb\n"));  // the empty last line counts ...
    QCOMPARE(label("1047"), linesLabel(300, 97));
    QCOMPARE(runBatch(box()->toPlainText()), 2);  // ... but writes no file
    QCOMPARE(written(), (QStringList{"batqr1.jpg", "batqr2.jpg"}));
    list("1049")->setCurrentIndex(4);
    list("1048")->setCurrentIndex(1);
    QCOMPARE(page_->lineLimit(), 2);
    QCOMPARE(label("1047"), linesLabel(2, 97));
    box()->setPlainText(Lines(500, "x"));
    QCOMPARE(label("1047"), linesLabel(2, -400));
  }

  void browse() {
    dialogs_.folderAnswers << "/chosen/folder";
    button("1057")->click();
    QCOMPARE(dialogs_.folderTitle, QStringLiteral("请选择文件保存目录"));
    QCOMPARE(edit("1052")->text(), QStringLiteral("/chosen/folder"));
    button("1057")->click();  // cancelled
    QCOMPARE(edit("1052")->text(), QStringLiteral("/chosen/folder"));
  }

  void checksInOrder_data() {
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("path");  // "OUT" = the test's folder
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    QTest::newRow("prefix") << "" << "" << "" << "请输入文件前缀！" << "1055";
    QTest::newRow("path") << "p" << "" << "" << "请选择文件保存路径！" << "1057";
    QTest::newRow("bad-path") << "p" << "/no/such/place" << "a" << "文件保存路径无效，请重新输入！"
                              << "1057";
    QTest::newRow("empty") << "p" << "OUT" << "" << "请输入编码内容！" << "1046";
    QTest::newRow("501") << "p" << "OUT" << Lines(501, "z") << "您最多可输入500行编码内容，请重新输入！"
                         << "1046";
  }
  void checksInOrder() {
    QFETCH(QString, prefix);
    QFETCH(QString, path);
    QFETCH(QString, content);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    edit("1055")->setText(prefix);
    edit("1052")->setText(path == "OUT" ? dir_ : path);
    QCOMPARE(runBatch(content), -2);
    QCOMPARE(dialogs_.messages.size(), size_t(1));
    QCOMPARE(dialogs_.lastText(), message);
    QCOMPARE(dialogs_.messages.back().icon, DialogService::Icon::Error);
    QCOMPARE(page_->focusWidget()->objectName(), focus);
    QVERIFY(written().isEmpty());
  }

  void gapsKeepLineNumbers() {
    list("1050")->setCurrentIndex(1);
    box()->setFocus();
    CommitText(box(), QStringLiteral("中文一"));
    box()->insertPlainText(QStringLiteral("\n\nabc"));
    QCOMPARE(runBatch(box()->toPlainText()), 2);
    QCOMPARE(written(), (QStringList{"batqr1.jpg", "batqr3.jpg"}));
    QCOMPARE(label("1068"), QStringLiteral("二维码批量生成成功，共生成: 2 个有效二维码文件"));
    QCOMPARE(dialogs_.messages.size(), size_t(1));
    QCOMPARE(dialogs_.lastText(), QStringLiteral("二维码批量生成完毕！"));
    QCOMPARE(dialogs_.messages.back().icon, DialogService::Icon::Information);
    QCOMPARE(ReadTextWithOracle(dir_ + "/batqr1.jpg"), QStringLiteral("中文一"));
    QCOMPARE(ReadWithOracle(dir_ + "/batqr3.jpg"), QByteArray("abc"));
  }

  void fiveHundredLinesAccepted() {
    list("1051")->setCurrentIndex(0);  // 1 pixel per module keeps the files small
    const QString longest(300, QLatin1Char('q'));  // a line holds at most 300 bytes
    QCOMPARE(runBatch(Lines(499, "line") + "\n" + longest), 500);
    QCOMPARE(written().size(), 500);
    QCOMPARE(ReadWithOracle(dir_ + "/batqr500.jpg"), longest.toLatin1());
  }

  // A line the limit or GBK refuses stops the batch, naming it, before any file.
  void lineErrorStopsBeforeAnyFile_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("message");
    const QString lineError = QStringLiteral(
        "第 %1 行数据出错!\r\n出错内容：%2!\r\n\r\n错误原因:\r\n"
        "您选择的二维码版本只允许输入 %3 个字符，您输入了 %4 个字符!\r\n请检查后重新输入!");
    QTest::newRow("v1-H") << 1 << 4 << "ab\n\nabc\nx" << lineError.arg(3).arg("abc").arg(2).arg(3);
    // Version 1 L holds 7 bytes; four Chinese characters are 8.
    QTest::newRow("gbk-bytes") << 1 << 1 << QStringLiteral("ab\n二维码测")
                               << lineError.arg(2).arg(QStringLiteral("二维码测")).arg(7).arg(8);
    // A line holds at most 300 bytes, also where the version would allow 1476.
    const QString over(301, QLatin1Char('q'));
    QTest::newRow("301-auto") << 0 << 0 << "short\n" + over << lineError.arg(2).arg(over).arg(300).arg(301);
    QTest::newRow("301-v40") << 40 << 0 << "short\n" + over << lineError.arg(2).arg(over).arg(300).arg(301);
    QTest::newRow("unencodable") << 0 << 0 << QStringLiteral("fine\nbad \U0001F600 char")
                                 << QStringLiteral("第 2 行：");
  }
  void lineErrorStopsBeforeAnyFile() {
    QFETCH(int, version);
    QFETCH(int, level);
    QFETCH(QString, content);
    QFETCH(QString, message);
    list("1048")->setCurrentIndex(version);
    list("1049")->setCurrentIndex(level);
    QCOMPARE(runBatch(content), -2);
    QCOMPARE(dialogs_.messages.size(), size_t(1));
    if (QTest::currentDataTag() == QLatin1String("unencodable")) {
      QVERIFY(dialogs_.lastText().startsWith(message));
      QVERIFY(dialogs_.lastText().contains(QStringLiteral("\U0001F600")));
    } else {
      QCOMPARE(dialogs_.lastText(), message);
    }
    QCOMPARE(page_->focusWidget(), box());
    QVERIFY(written().isEmpty());
  }

  void unwritableFileReportedAndNotCounted() {
    QVERIFY(QDir(dir_).mkdir("batqr2.jpg"));
    QFile old(dir_ + "/batqr1.jpg");
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("stale");
    old.close();
    QCOMPARE(runBatch(QStringLiteral("one\ntwo\nthree")), 2);
    QCOMPARE(label("1068"), QStringLiteral("二维码批量生成成功，共生成: 2 个有效二维码文件"));
    QCOMPARE(dialogs_.messages.size(), size_t(2));
    QCOMPARE(dialogs_.messages[0].icon, DialogService::Icon::Error);
    QVERIFY(dialogs_.messages[0].text.contains(QStringLiteral("第 2 行：") + dir_ + "/batqr2.jpg"));
    QVERIFY(!dialogs_.messages[0].text.contains(QStringLiteral("第 1 行")));
    QCOMPARE(dialogs_.messages[1].text, QStringLiteral("二维码批量生成完毕！"));
    QCOMPARE(ReadWithOracle(dir_ + "/batqr1.jpg"), QByteArray("one"));  // replaced
    QCOMPARE(ReadWithOracle(dir_ + "/batqr3.jpg"), QByteArray("three"));
  }

  void windowStaysLiveDuringRun() {
    page_->setLinePause(40);
    box()->setPlainText(Lines(6, "tick"));
    QSignalSpy finished(page_.get(), &CBatMake::batchFinished);
    auto* progress = page_->findChild<QProgressBar*>("batchProgress");
    QVERIFY(!progress->isVisible());
    button("1045")->click();
    QVERIFY(page_->isRunning());
    QVERIFY(!box()->isEnabled());
    QVERIFY(!button("1045")->isEnabled());
    QVERIFY(progress->isVisible());
    QCOMPARE(progress->maximum(), 6);
    QTRY_VERIFY(progress->value() >= 2 && page_->isRunning());  // moves while running
    button("1045")->click();  // ignored while running
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.first().first().toInt(), 6);
    QVERIFY(box()->isEnabled());
    QVERIFY(!progress->isVisible());
    QCOMPARE(written().size(), 6);
  }
};

QTEST_MAIN(TestBatMake)
#include "test_bat_make.moc"
