// Qt's own dialog texts in Chinese once the catalogue is installed.
#include <QDialogButtonBox>
#include <QPushButton>
#include <QtTest>

#include "app/qt_translation.h"

class QtTranslationTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { QVERIFY(InstallQtChineseTranslation(QCoreApplication::instance())); }

  void standardButtonsReadInChinese() {
    const struct { QDialogButtonBox::StandardButton button; const char* text; } rows[] = {
        {QDialogButtonBox::Ok, "确定"}, {QDialogButtonBox::Cancel, "取消"},
        {QDialogButtonBox::Yes, "是(&Y)"}, {QDialogButtonBox::No, "否(&N)"}};
    for (const auto& r : rows) {
      QDialogButtonBox box(r.button);
      QCOMPARE(box.button(r.button)->text(), QString::fromUtf8(r.text));
    }
  }
};

QTEST_MAIN(QtTranslationTest)
#include "qt_translation_test.moc"
