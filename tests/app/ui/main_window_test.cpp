// The main window: caption, frame, the five tabs and when their pages start,
// and the show request of a second copy.
#include <QLineEdit>
#include <QTabWidget>
#include <QtTest>

#include "app/module_dir.h"
#include "app/settings.h"
#include "app/ui/decode_event.h"
#include "app/ui/dialogs.h"
#include "app/ui/property_page.h"
#include "app/ui/qrtool_app.h"
#include "app/ui/qrtool_dlg.h"
#include "capture/ui/test_dlg.h"

namespace {

class QuietDialogs : public DialogService {
 public:
  void message(QWidget*, const QString& text, Icon, const QString&) override { messages << text; }
  QString saveFileName(QWidget*, const QString&, const QString&) override { return {}; }
  QString folder(QWidget*, const QString&) override { return {}; }
  QStringList messages;
};

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    QDir().mkpath(QRTOOL_TEST_TMP);
    SetModuleDirectory(QRTOOL_TEST_TMP);
    SetDialogService(&dialogs_);
    SetDefaultSettings();
    CQrToolApp::ApplyApplicationFont();
  }
  void cleanupTestCase() { SetDialogService(nullptr); }

  void captionFrameAndFiveTabsInOrder() {
    {
      CQrToolDlg w;
      QCOMPARE(w.windowTitle(), QStringLiteral("Velmora二维码生成分析工具2.0"));
      QVERIFY(!w.windowIcon().isNull());
      const Qt::WindowFlags flags = w.windowFlags();
      QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
      QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
      QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
      QCOMPARE(w.minimumSize(), w.maximumSize());
      QVERIFY(w.width() >= 583);  // the about page's banner fits
      const QStringList titles = {
          QStringLiteral("    二维码分析    "), QStringLiteral("    二维码生成    "),
          QStringLiteral("  二维码批量生成  "), QStringLiteral("    数 据 接 口    "),
          QStringLiteral("  关于Velmora  ")};
      const char* classes[] = {"CTestDlg", "CMakeQr", "CBatMake", "CParamDlg", "CVelmora"};
      QCOMPARE(w.host()->count(), 5);
      for (int i = 0; i < 5; ++i) {
        QCOMPARE(w.host()->tabText(i), titles[i]);
        QVERIFY2(w.host()->widget(i)->inherits(classes[i]), classes[i]);
      }
      QCOMPARE(static_cast<QWidget*>(g_pDecodePage), w.host()->widget(0));
    }
    QVERIFY(g_pDecodePage == nullptr);
  }

  void pagesStartWhenFirstShownAndFitTheWindow() {
    CQrToolDlg w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.host()->currentIndex(), 0);
    QVERIFY(w.page(0)->initialised());
    for (int i = 1; i < 5; ++i) QVERIFY(!w.page(i)->initialised());
    // The data page shows the settings as they are when its tab is first shown.
    std::strcpy(InterfaceSettings.SendAddress, "10.1.2.3");
    InterfaceSettings.SendPort = 4321;
    w.host()->setCurrentIndex(3);
    QVERIFY(w.page(3)->initialised());
    QVERIFY(!w.page(4)->initialised());
    QCOMPARE(w.findChild<QLineEdit*>("1066")->text(), QStringLiteral("4321"));
    SetDefaultSettings();
    for (int i = 0; i < 5; ++i) {
      w.host()->setCurrentIndex(i);
      QVERIFY(w.page(i)->initialised());
      const QSize area = w.page(i)->parentWidget()->size();  // the tab host's page area
      const QSize needed = w.page(i)->minimumSizeHint().expandedTo(w.page(i)->minimumSize());
      QVERIFY2(needed.width() <= area.width() && needed.height() <= area.height(),
               qPrintable(w.host()->tabText(i)));
    }
  }

  void showRequestBringsBackAHiddenWindowAndClosingAnnouncesTheEnd() {
    CQrToolDlg w;
    QSignalSpy closed(&w, &CQrToolDlg::closed);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QPoint where = w.pos();
    w.hide();
    for (int code : {1, 2, 3}) PostDecodeDone(&w, code);
    QTest::qWait(50);
    QVERIFY(!w.isVisible());
    PostDecodeDone(&w, 99);
    QTRY_VERIFY(w.isVisible());
    QCOMPARE(w.pos(), where);
    QVERIFY(!(w.windowState() & Qt::WindowMinimized));
    dialogs_.messages.clear();
    w.close();
    QCOMPARE(closed.count(), 1);
    QVERIFY2(dialogs_.messages.isEmpty(), qPrintable(dialogs_.messages.join('|')));
  }

 private:
  QuietDialogs dialogs_;
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
