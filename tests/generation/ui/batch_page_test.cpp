// BatchPage: the rules wired to the page (one refusal each way), batches with
// gaps and write failures (a live window during a run: main_window_test).
#include "generation/ui/batch_page.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include "tests/support/fake_dialogs.h"
#include "tests/support/page_support.h"

class BatchPageTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<FakeDialogs> dialogs_;
  std::unique_ptr<BatchPage> page_;
  QString dir_;  // save folder of the batch

  QComboBox* list(const char* name) { return page_->findChild<QComboBox*>(name); }
  QLineEdit* edit(const char* name) { return page_->findChild<QLineEdit*>(name); }
  QPlainTextEdit* box() { return page_->findChild<QPlainTextEdit*>("linesBox"); }
  QPushButton* button(const char* name) { return page_->findChild<QPushButton*>(name); }
  QString label(const char* name) { return page_->findChild<QLabel*>(name)->text(); }
  QStringList written() { return QDir(dir_).entryList(QDir::Files, QDir::Name); }
  // Starts a batch and waits for its end: the number the page reports, -2 when refused.
  int runBatch(const QString& content) {
    box()->setPlainText(content);
    QSignalSpy finished(page_.get(), &BatchPage::batchFinished);
    button("generateButton")->click();
    if (!page_->isRunning()) return finished.isEmpty() ? -2 : finished.first().first().toInt();
    if (!finished.wait(60000)) return -3;
    return finished.first().first().toInt();
  }

 private slots:
  void init() {
    dir_ = FreshFolder(QString::fromLatin1(QTest::currentTestFunction()));
    dialogs_ = std::make_unique<FakeDialogs>();
    page_ = std::make_unique<BatchPage>();
    page_->ensureInitialised();
    page_->setLinePause(0);
    page_->show();
    edit("folderEdit")->setText(dir_);
  }
  void cleanup() {
    page_.reset();
    dialogs_.reset();
  }

  // The destination and the box are checked before anything is written; the
  // message comes from the shared rules and the focus goes where the fault is;
  // the limit checked is the one shown.
  void refusalsWriteNothing() {
    edit("prefixEdit")->clear();
    QCOMPARE(runBatch(QStringLiteral("abc")), -2);
    QCOMPARE(dialogs_->lastText(), QStringLiteral("请输入文件前缀！"));
    QCOMPARE(page_->focusWidget(), edit("prefixEdit"));
    edit("prefixEdit")->setText(QStringLiteral("p"));
    // A line that could not wrap is quoted with its middle left out, so the
    // whole message fits the box.
    QCOMPARE(runBatch(QString(200, 'h') + QString(200, 't')), -2);
    const QString quoted = QString(20, 'h') + QChar(0x2026) + QString(19, 't') + "!\r\n";
    QVERIFY(dialogs_->lastText().contains(QStringLiteral("第 1 行数据出错!\r\n出错内容：") + quoted));
    QCOMPARE(page_->focusWidget(), box());
    QCOMPARE(runBatch(QStringLiteral("fine\nbad \U0001F600 char")), -2);
    QVERIFY(dialogs_->lastText().startsWith(QStringLiteral("第 2 行：")));
    list("versionList")->setCurrentIndex(1);
    list("levelList")->setCurrentIndex(4);
    box()->setPlainText(QStringLiteral("a\nb"));
    QCOMPARE(label("linesLabel"),
             QStringLiteral("文本框内每行为一条待编码内容,最多允许输入100行，每行最大长度 2 字符，"
                            "您还可输入 98 行"));
    QCOMPARE(runBatch(QStringLiteral("abc")), -2);
    QVERIFY(dialogs_->lastText().contains(QStringLiteral("只允许输入 2 个字符，您输入了 3 个")));
    QCOMPARE(dialogs_->messages.size(), size_t(4));
    QCOMPARE(dialogs_->messages.back().icon, DialogService::Icon::Error);
    QVERIFY(written().isEmpty());
    dialogs_->folderAnswers << QStringLiteral("/chosen");
    button("browseButton")->click();
    QCOMPARE(edit("folderEdit")->text(), QStringLiteral("/chosen"));
  }

  // Empty lines keep their numbers; a file that cannot be written is reported
  // and not counted, and the batch goes on past it.
  void gapsAndUnwritableFilesKeepLineNumbers() {
    QVERIFY(QDir(dir_).mkdir("batqr4.jpg"));
    list("chineseList")->setCurrentIndex(1);
    box()->setFocus();
    CommitText(box(), QStringLiteral("中文一"));
    box()->insertPlainText(QStringLiteral("\n\nabc\nbad\nlast"));
    QCOMPARE(runBatch(box()->toPlainText()), 3);
    QCOMPARE(written(), (QStringList{"batqr1.jpg", "batqr3.jpg", "batqr5.jpg"}));
    QCOMPARE(label("statusLabel"), QStringLiteral("二维码批量生成成功，共生成: 3 个有效二维码文件"));
    QCOMPARE(dialogs_->messages.size(), size_t(2));
    QCOMPARE(dialogs_->messages[0].icon, DialogService::Icon::Error);
    QVERIFY(dialogs_->messages[0].text.contains(QStringLiteral("第 4 行：") + dir_ + "/batqr4.jpg"));
    QCOMPARE(dialogs_->lastText(), QStringLiteral("二维码批量生成完毕！"));
    QCOMPARE(dialogs_->messages.back().icon, DialogService::Icon::Information);
    QCOMPARE(QString::fromUtf8(ReadWithOracle(dir_ + "/batqr1.jpg", true)), QStringLiteral("中文一"));
    QCOMPARE(ReadWithOracle(dir_ + "/batqr5.jpg"), QByteArray("last"));
  }
};

QTEST_MAIN(BatchPageTest)
#include "batch_page_test.moc"
