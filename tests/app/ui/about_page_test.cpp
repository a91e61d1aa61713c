// The about page and its link labels, and Qt's own dialog texts in Chinese
// once the catalogue is installed.
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "app/link_label.h"
#include "app/qrtool_app.h"
#include "app/qt_translation.h"
#include "app/about_page.h"
#include "tests/support/page_support.h"

class AboutPageTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    QrToolApp::applyApplicationFont();
    QVERIFY(InstallQtChineseTranslation(QCoreApplication::instance()));
    LinkLabel::setOpener([this](const QUrl& url) {
      opened_ << url;
      return true;
    });
  }

  void textsThenBannerAndTargetsWithTheFirstShow() {
    AboutPage page;
    auto* banner = page.findChild<QLabel*>("banner");
    auto link = [&](const char* id) { return page.findChild<LinkLabel*>(id); };
    QVERIFY(banner->pixmap().isNull());
    QVERIFY(link("companyLink")->target().isEmpty());
    page.ensureInitialised();
    QCOMPARE(banner->pixmap().size(), QSize(583, 102));
    QCOMPARE(link("companyLink")->target(), AboutPage::webSite());
    QCOMPARE(link("webLink")->target(), AboutPage::webSite());
    QCOMPARE(link("mailLink")->target(), QStringLiteral("mailto:") + AboutPage::supportMail());
    // The questions' buttons read in Chinese once Qt's catalogue is installed.
    QDialogButtonBox buttons(QDialogButtonBox::Yes | QDialogButtonBox::No);
    QCOMPARE(buttons.button(QDialogButtonBox::No)->text(), QStringLiteral("否(&N)"));
  }

  void handCursorAndLeftClickOnlyOverTheText() {
    LinkLabel link(QStringLiteral("邮箱：support@example.com"));
    const QSize text = link.textSize();
    link.resize(text.width() + 100, text.height() + 20);
    auto Move = [&](QPoint p) { SendMouse(&link, QEvent::MouseMove, p, Qt::NoButton, {}); };
    auto Press = [&](QPoint p, Qt::MouseButton b) { SendMouse(&link, QEvent::MouseButtonPress, p, b, b); };
    Move(QPoint(text.width() + 10, 2));
    QCOMPARE(link.cursor().shape(), Qt::ArrowCursor);
    Move(QPoint(2, 2));
    QCOMPARE(link.cursor().shape(), Qt::PointingHandCursor);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&link, &leave);
    QCOMPARE(link.cursor().shape(), Qt::ArrowCursor);

    Press(QPoint(3, 3), Qt::LeftButton);
    QVERIFY(opened_.isEmpty());  // no target yet
    link.setTarget(QStringLiteral("mailto:support@example.com"));
    Press(QPoint(text.width() + 20, 3), Qt::LeftButton);
    Press(QPoint(3, text.height() + 5), Qt::LeftButton);
    Press(QPoint(3, 3), Qt::RightButton);
    QVERIFY(opened_.isEmpty());
    Press(QPoint(3, 3), Qt::LeftButton);
    QCOMPARE(opened_, QList<QUrl>{QUrl(QStringLiteral("mailto:support@example.com"))});
  }

 private:
  QList<QUrl> opened_;
};

QTEST_MAIN(AboutPageTest)
#include "about_page_test.moc"
