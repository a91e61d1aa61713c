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

#include "app/ui/gbk.h"
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
    box()->setPlainText(QStringLiteral("a\nb\n"));  // the empty last line counts
    QCOMPARE(label("1047"), linesLabel(300, 97));
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
    QCOMPARE(runBatch(QStringLiteral("a\n\nb")), 2);
    QCOMPARE(written(), (QStringList{"batqr1.jpg", "batqr3.jpg"}));
    QCOMPARE(label("1068"), QStringLiteral("二维码批量生成成功，共生成: 2 个有效二维码文件"));
    QCOMPARE(dialogs_.messages.size(), size_t(1));
    QCOMPARE(dialogs_.lastText(), QStringLiteral("二维码批量生成完毕！"));
    QCOMPARE(dialogs_.messages.back().icon, DialogService::Icon::Information);
    QCOMPARE(ReadWithOracle(dir_ + "/batqr1.jpg"), QByteArray("a"));
    QCOMPARE(ReadWithOracle(dir_ + "/batqr3.jpg"), QByteArray("b"));
  }

  void trailingBreakGivesTwoFiles() {
    QCOMPARE(runBatch(QStringLiteral("a\nb\n")), 2);
    QCOMPARE(written(), (QStringList{"batqr1.jpg", "batqr2.jpg"}));
  }

  void fiveHundredLinesAccepted() {
    list("1051")->setCurrentIndex(0);  // 1 pixel per module keeps the files small
    QCOMPARE(runBatch(Lines(500, "line")), 500);
    QCOMPARE(written().size(), 500);
    QVERIFY(QFile::exists(dir_ + "/batqr500.jpg"));
  }

  void lineOverLimitStopsBeforeAnyFile() {
    list("1048")->setCurrentIndex(1);
    list("1049")->setCurrentIndex(4);
    QCOMPARE(runBatch(QStringLiteral("ab\n\nabc\nx")), -2);
    QCOMPARE(dialogs_.lastText(),
             QStringLiteral("第 3 行数据出错!\r\n出错内容：abc!\r\n\r\n错误原因:\r\n"
                            "您选择的二维码版本只允许输入 2 个字符，您输入了 3 个字符!\r\n"
                            "请检查后重新输入!"));
    QCOMPARE(page_->focusWidget(), box());
    QVERIFY(written().isEmpty());
  }

  void lineLengthCountsGbkBytes() {
    list("1048")->setCurrentIndex(1);
    list("1049")->setCurrentIndex(1);  // version 1 L: 7 bytes
    box()->setPlainText(QStringLiteral("ab\n"));
    box()->moveCursor(QTextCursor::End);
    CommitText(box(), QStringLiteral("二维码测"));
    button("1045")->click();
    QCOMPARE(dialogs_.messages.size(), size_t(1));
    QVERIFY(dialogs_.lastText().startsWith(QStringLiteral("第 2 行数据出错!\r\n出错内容：二维码测!")));
    QVERIFY(dialogs_.lastText().contains(QStringLiteral("只允许输入 7 个字符，您输入了 8 个字符!")));
  }

  void lineOver300BytesRefused_data() {
    QTest::addColumn<int>("version");
    QTest::newRow("automatic") << 0;
    QTest::newRow("version40") << 40;  // limit 1476, but a line holds at most 300
  }
  void lineOver300BytesRefused() {
    QFETCH(int, version);
    list("1048")->setCurrentIndex(version);
    const QString longLine(301, QLatin1Char('q'));
    QCOMPARE(runBatch("short\n" + longLine), -2);
    QVERIFY(dialogs_.lastText().startsWith(QStringLiteral("第 2 行数据出错!")));
    QVERIFY(dialogs_.lastText().contains(QStringLiteral("只允许输入 300 个字符，您输入了 301 个字符!")));
    QVERIFY(written().isEmpty());
    dialogs_.messages.clear();
    QCOMPARE(runBatch("short\n" + QString(300, QLatin1Char('q'))), 2);
    QCOMPARE(ReadWithOracle(dir_ + "/batqr2.jpg"), QByteArray(300, 'q'));
  }

  void unencodableCharacterNamesLine() {
    QCOMPARE(runBatch(QStringLiteral("fine\nbad \U0001F600 char")), -2);
    QVERIFY(dialogs_.lastText().startsWith(QStringLiteral("第 2 行")));
    QVERIFY(dialogs_.lastText().contains(QStringLiteral("\U0001F600")));
    QVERIFY(written().isEmpty());
  }

  // No line that passes the limit check makes the encoder fail (the limit
  // leaves room for every segment header), so the failure a user can meet is
  // a file that cannot be written: here a folder in the way of line 2's file.
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

  void chineseLinesReadBack() {
    list("1050")->setCurrentIndex(1);
    box()->setFocus();
    CommitText(box(), QStringLiteral("中文一"));
    box()->insertPlainText(QStringLiteral("\nabc"));
    QCOMPARE(runBatch(box()->toPlainText()), 2);
    QCOMPARE(ReadTextWithOracle(dir_ + "/batqr1.jpg"), QStringLiteral("中文一"));
    QCOMPARE(ReadWithOracle(dir_ + "/batqr2.jpg"), QByteArray("abc"));
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
