// Qt's own dialog texts in Chinese once the catalogue is installed.
#include <QDialogButtonBox>
#include <QPushButton>
#include <QtTest>

#include "app/qt_translation.h"

class QtTranslationTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { QVERIFY(InstallQtChineseTranslation(QCoreApplication::instance())); }

  void standardButtonsReadInChinese_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("text");
    QTest::newRow("OK") << int(QDialogButtonBox::Ok) << QStringLiteral("确定");
    QTest::newRow("Cancel") << int(QDialogButtonBox::Cancel) << QStringLiteral("取消");
    QTest::newRow("Yes") << int(QDialogButtonBox::Yes) << QStringLiteral("是(&Y)");
    QTest::newRow("No") << int(QDialogButtonBox::No) << QStringLiteral("否(&N)");
  }

  void standardButtonsReadInChinese() {
    QFETCH(int, button);
    QFETCH(QString, text);
    const auto which = static_cast<QDialogButtonBox::StandardButton>(button);
    QDialogButtonBox box(which);
    QCOMPARE(box.button(which)->text(), text);
  }
};

QTEST_MAIN(QtTranslationTest)
#include "qt_translation_test.moc"
