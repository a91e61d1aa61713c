// The data interface page: stored settings shown, checks and messages in order,
// locking, saving on switch-on, and what the sender does afterwards.
#include <QCheckBox>
#include <QLineEdit>
#include <QtTest>
#include <cstring>
#include <string>

#include "../udp_test_util.h"
#include "app/module_dir.h"
#include "app/settings.h"
#include "app/ui/dialogs.h"
#include "datainterface/udp_sender.h"
#include "datainterface/ui/ip_address_edit.h"
#include "datainterface/ui/param_dlg.h"

namespace {

struct Shown {
  QString text;
  DialogService::Icon icon;
  QString caption;
  QWidget* focus;  // what had the focus when the message came up
};

class RecordingDialogs : public DialogService {
 public:
  void message(QWidget*, const QString& text, Icon icon, const QString& caption) override {
    shown.push_back({text, icon, caption, QApplication::focusWidget()});
  }
  QString saveFileName(QWidget*, const QString&, const QString&) override { return {}; }
  QString folder(QWidget*, const QString&) override { return {}; }
  QList<Shown> shown;
};

QByteArray SettingsFile() {
  QFile f(QString::fromLocal8Bit(ModuleDirectory) + "/pa.dat");
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class ParamDlgTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    QDir().mkpath(QRTOOL_TEST_TMP);
    SetModuleDirectory(QRTOOL_TEST_TMP);
    SetDialogService(&dialogs_);
  }
  void cleanupTestCase() { SetDialogService(nullptr); }
  void init() {
    dialogs_.shown.clear();
    SetDefaultSettings();
    UdpClose();
    QFile::remove(QStringLiteral(QRTOOL_TEST_TMP "/pa.dat"));
  }
  void cleanup() {
    delete page_;
    page_ = nullptr;
    UdpClose();
  }

  void showsTheStoredSettingsSwitchedOff_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<uint>("shown");
    QTest::newRow("address") << QByteArray("192.168.1.20") << 0xC0A80114u;
    // Unparsable addresses show as all ones.
    QTest::newRow("words") << QByteArray("not an address", 15) << 0xFFFFFFFFu;
    QTest::newRow("five parts") << QByteArray("1.2.3.4.5\0", 10) << 0xFFFFFFFFu;
    QTest::newRow("no NUL in 16 bytes") << QByteArray("127.0.0.1.......", 16) << 0xFFFFFFFFu;
  }
  void showsTheStoredSettingsSwitchedOff() {
    QFETCH(QByteArray, stored);
    QFETCH(uint, shown);
    std::memset(InterfaceSettings.SendAddress, 0, 16);
    std::memcpy(InterfaceSettings.SendAddress, stored.constData(), static_cast<size_t>(stored.size()));
    InterfaceSettings.SendPort = 6000;
    InterfaceSettings.RepeatInterval = 5;
    open();
    QCOMPARE(address()->address(), shown);
    QCOMPARE(address()->field(0)->text(), QString::number(shown >> 24));
    QCOMPARE(port()->text(), QStringLiteral("6000"));
    QCOMPARE(interval()->text(), QStringLiteral("5"));
    QVERIFY(!box()->isChecked());
    QVERIFY(address()->isEnabled() && port()->isEnabled() && interval()->isEnabled());
  }

  void refusalsComeInOrder_data() {
    QTest::addColumn<QString>("portText");
    QTest::addColumn<QString>("intervalText");
    QTest::addColumn<bool>("zeroAddress");  // else all four fields blank
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    QTest::newRow("empty port") << "" << "" << false << "请输入端口号码！" << "1066";
    QTest::newRow("empty interval") << "9981" << "" << false << "请输入发送间隔！" << "1067";
    QTest::newRow("blank address") << "9981" << "1" << false << "请输入有效的IP地址！" << "1065";
    QTest::newRow("zero address") << "9981" << "0" << true << "请输入有效的IP地址！" << "1065";
  }
  void refusalsComeInOrder() {
    QFETCH(QString, portText);
    QFETCH(QString, intervalText);
    QFETCH(bool, zeroAddress);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    open();
    port()->setText(portText);
    interval()->setText(intervalText);
    address()->clear();
    if (zeroAddress) address()->setAddress(0);
    box()->setFocus();
    clickBox();
    QCOMPARE(dialogs_.shown.size(), 1);
    const Shown& s = dialogs_.shown[0];
    QCOMPARE(s.text, message);
    QCOMPARE(s.icon, DialogService::Icon::Error);
    QCOMPARE(s.caption, AppCaption());
    QWidget* control = page_->findChild<QWidget*>(focus);
    QVERIFY(s.focus == control || control->isAncestorOf(s.focus));
    QVERIFY(!box()->isChecked() && !UdpIsReady() && port()->isEnabled());
    QVERIFY(SettingsFile().isEmpty());
  }

  void switchingOnSavesLocksAndSends() {
    udptest::Receiver r;
    open();
    // Typed as a user would, the dots moving between the fields.
    address()->clear();
    address()->field(0)->setFocus();
    for (char c : std::string("127.0.0.1")) QTest::keyClick(QApplication::focusWidget(), c);
    QCOMPARE(address()->address(), 0x7F000001u);
    port()->setText(QString::number(r.port()));
    interval()->setText(QStringLiteral("0"));  // accepted; it changes nothing in sending
    clickBox();
    QVERIFY(dialogs_.shown.isEmpty());
    QVERIFY(box()->isChecked() && box()->isEnabled() && UdpIsReady());
    QVERIFY(!address()->isEnabled() && !port()->isEnabled() && !interval()->isEnabled());
    const uint16_t p = r.port();
    QCOMPARE(SettingsFile(), QByteArray("127.0.0.1\0\0\0\0\0\0\0", 16) + char(p & 0xFF) +
                                 char(p >> 8) + QByteArray(6, '\0'));
    QCOMPARE(UdpSendText("A"), 1);
    QCOMPARE(r.Next(), std::string("\x42\x01\x01\x01\x00\x00\x00\x41", 8));
    UdpSendText("A");
    QCOMPARE(r.Next().back(), 'A');  // sent again, not suppressed

    clickBox();
    QVERIFY(!box()->isChecked() && !UdpIsReady());
    QVERIFY(address()->isEnabled() && port()->isEnabled() && interval()->isEnabled());
    QCOMPARE(UdpSendText("after"), 1);
    QCOMPARE(r.Next(200), std::string("<none>"));
  }

  void fieldsTakeOnlyDigitsUpToTheirLength() {
    open();
    port()->clear();
    QTest::keyClicks(port(), "12ab345678");
    QCOMPARE(port()->text(), QStringLiteral("123456"));
    interval()->clear();
    QTest::keyClicks(interval(), "9x87");
    QCOMPARE(interval()->text(), QStringLiteral("98"));
    address()->clear();
    address()->field(2)->setText(QStringLiteral("300"));
    QCOMPARE(address()->address(), 0x0000FF00u);
  }

  void failedOpenWarnsAndLeavesTheFieldsLocked() {
    open();
    address()->setAddress(0x0A000009);
    port()->setText(QStringLiteral("999999"));
    {
      udptest::NoDescriptorsLeft none;
      QVERIFY(none.ok());
      box()->click();
    }
    QCOMPARE(dialogs_.shown.size(), 1);
    QCOMPARE(dialogs_.shown[0].text, QStringLiteral("端口创建失败，请检查端口是否被占用!"));
    QCOMPARE(dialogs_.shown[0].icon, DialogService::Icon::Warning);
    QVERIFY(!box()->isChecked() && !UdpIsReady() && !port()->isEnabled());
    // The destination is taken all the same (the file could not be written
    // either: no descriptor was left for it).
    QCOMPARE(QByteArray(InterfaceSettings.SendAddress), QByteArray("10.0.0.9"));
    QCOMPARE(InterfaceSettings.SendPort, 999999);  // stored as typed
    // Clicking again tries once more.
    box()->click();
    QVERIFY(box()->isChecked() && UdpIsReady());
  }

 private:
  void open() {
    page_ = new CParamDlg;
    page_->show();
    QVERIFY(QTest::qWaitForWindowActive(page_));
    page_->ensureInitialised();
  }
  void clickBox() { QTest::mouseClick(box(), Qt::LeftButton, {}, box()->rect().center()); }
  CIpAddressCtrl* address() { return page_->findChild<CIpAddressCtrl*>("1065"); }
  QLineEdit* port() { return page_->findChild<QLineEdit*>("1066"); }
  QLineEdit* interval() { return page_->findChild<QLineEdit*>("1067"); }
  QCheckBox* box() { return page_->findChild<QCheckBox*>("1073"); }

  RecordingDialogs dialogs_;
  CParamDlg* page_ = nullptr;
};

QTEST_MAIN(ParamDlgTest)
#include "param_dlg_test.moc"
