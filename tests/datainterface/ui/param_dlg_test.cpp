// The data interface page: stored settings shown, checks and messages in order,
// locking, saving on switch-on, and what the sender does afterwards.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QtTest>
#include <cstring>
#include <string>

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

// A loopback receiver on a free port (or a given one).
class Receiver {
 public:
  explicit Receiver(uint16_t port = 0) {
    fd_ = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bound_ = bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    socklen_t len = sizeof a;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
  }
  ~Receiver() { close(fd_); }
  bool bound() const { return bound_; }
  uint16_t port() const { return port_; }
  QByteArray next(int timeoutMs = 2000) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) != 1) return {};
    QByteArray b(2048, '\0');
    ssize_t n = recv(fd_, b.data(), static_cast<size_t>(b.size()), 0);
    b.resize(n < 0 ? 0 : n);
    return b;
  }

 private:
  int fd_ = -1;
  bool bound_ = false;
  uint16_t port_ = 0;
};

QByteArray SettingsFile() {
  QFile f(QString::fromLocal8Bit(ModuleDirectory) + "/pa.dat");
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
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

  void showsTheStoredSettingsSwitchedOff() {
    std::strcpy(InterfaceSettings.SendAddress, "192.168.1.20");
    InterfaceSettings.SendPort = 6000;
    InterfaceSettings.RepeatInterval = 5;
    open();
    QCOMPARE(address()->address(), 0xC0A80114u);
    QCOMPARE(address()->field(3)->text(), QStringLiteral("20"));
    QCOMPARE(port()->text(), QStringLiteral("6000"));
    QCOMPARE(interval()->text(), QStringLiteral("5"));
    QVERIFY(!box()->isChecked());
    for (QWidget* w : {static_cast<QWidget*>(address()), static_cast<QWidget*>(port()),
                       static_cast<QWidget*>(interval()), static_cast<QWidget*>(box())}) {
      QVERIFY(w->isEnabled());
    }
  }

  void unparsableAddressShowsAsAllOnes_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("words") << QByteArray("not an address", 15);
    QTest::newRow("five parts") << QByteArray("1.2.3.4.5\0", 10);
    QTest::newRow("no NUL in 16 bytes") << QByteArray("127.0.0.1.......", 16);
  }
  void unparsableAddressShowsAsAllOnes() {
    QFETCH(QByteArray, stored);
    std::memset(InterfaceSettings.SendAddress, 0, 16);
    std::memcpy(InterfaceSettings.SendAddress, stored.constData(), static_cast<size_t>(stored.size()));
    open();
    QCOMPARE(address()->address(), 0xFFFFFFFFu);
    QCOMPARE(address()->field(0)->text(), QStringLiteral("255"));
  }

  void refusalsComeInOrder_data() {
    QTest::addColumn<QString>("portText");
    QTest::addColumn<QString>("intervalText");
    QTest::addColumn<QString>("dotted");  // empty: all four fields blank
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    QTest::newRow("empty port") << "" << "" << "" << "请输入端口号码！" << "1066";
    QTest::newRow("empty interval") << "9981" << "" << "" << "请输入发送间隔！" << "1067";
    QTest::newRow("blank address") << "9981" << "1" << "" << "请输入有效的IP地址！" << "1065";
    QTest::newRow("zero address") << "9981" << "0" << "0.0.0.0" << "请输入有效的IP地址！" << "1065";
  }
  void refusalsComeInOrder() {
    QFETCH(QString, portText);
    QFETCH(QString, intervalText);
    QFETCH(QString, dotted);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    open();
    port()->setText(portText);
    interval()->setText(intervalText);
    address()->clear();
    if (!dotted.isEmpty()) address()->setAddress(0);
    box()->setFocus();
    QTest::mouseClick(box(), Qt::LeftButton, {}, box()->rect().center());
    QCOMPARE(dialogs_.shown.size(), 1);
    QCOMPARE(dialogs_.shown[0].text, message);
    QCOMPARE(dialogs_.shown[0].icon, DialogService::Icon::Error);
    QCOMPARE(dialogs_.shown[0].caption, AppCaption());
    QWidget* control = page_->findChild<QWidget*>(focus);
    QVERIFY(dialogs_.shown[0].focus == control || control->isAncestorOf(dialogs_.shown[0].focus));
    QVERIFY(!box()->isChecked());
    QVERIFY(!UdpIsReady());
    QVERIFY(port()->isEnabled());
    QVERIFY(SettingsFile().isEmpty());
  }

  void switchingOnSavesLocksAndSends() {
    Receiver r;
    open();
    address()->setAddress(0x7F000001);
    port()->setText(QString::number(r.port()));
    interval()->setText(QStringLiteral("0"));  // accepted; it changes nothing in sending
    QTest::mouseClick(box(), Qt::LeftButton, {}, box()->rect().center());
    QVERIFY(dialogs_.shown.isEmpty());
    QVERIFY(box()->isChecked());
    QVERIFY(UdpIsReady());
    QVERIFY(!address()->isEnabled() && !port()->isEnabled() && !interval()->isEnabled());
    QVERIFY(box()->isEnabled());
    QByteArray file = SettingsFile();
    QCOMPARE(file.size(), 24);
    QCOMPARE(file.left(16), QByteArray("127.0.0.1\0\0\0\0\0\0\0", 16));
    QCOMPARE(InterfaceSettings.RepeatInterval, 0);

    QCOMPARE(UdpSendText("A"), 1);
    QCOMPARE(r.next(), QByteArray("\x42\x01\x01\x01\x00\x00\x00\x41", 8));
    UdpSendText("B");
    QCOMPARE(r.next().right(1), QByteArray("B"));

    QTest::mouseClick(box(), Qt::LeftButton, {}, box()->rect().center());
    QVERIFY(!box()->isChecked());
    QVERIFY(!UdpIsReady());
    QVERIFY(address()->isEnabled() && port()->isEnabled() && interval()->isEnabled());
    QCOMPARE(UdpSendText("after"), 1);
    QVERIFY(r.next(200).isEmpty());
  }

  void savedFileHoldsTypedAddressPortAndInterval() {
    open();
    // Typed as a user would, the dots moving between the fields.
    address()->clear();
    address()->field(0)->setFocus();
    for (char c : std::string("192.168.1.20")) {
      QTest::keyClick(QApplication::focusWidget(), c);
    }
    QCOMPARE(address()->address(), 0xC0A80114u);
    port()->setText(QStringLiteral("6000"));
    interval()->setText(QStringLiteral("5"));
    QTest::mouseClick(box(), Qt::LeftButton, {}, box()->rect().center());
    QCOMPARE(SettingsFile(), QByteArray("192.168.1.20\0\0\0\0\x70\x17\0\0\x05\0\0\0", 24));
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
    int lowest = dup(0);
    QVERIFY(lowest >= 0);
    ::close(lowest);
    rlimit old{};
    getrlimit(RLIMIT_NOFILE, &old);
    rlimit tight = old;
    tight.rlim_cur = static_cast<rlim_t>(lowest);
    QCOMPARE(setrlimit(RLIMIT_NOFILE, &tight), 0);
    box()->click();
    setrlimit(RLIMIT_NOFILE, &old);
    QCOMPARE(dialogs_.shown.size(), 1);
    QCOMPARE(dialogs_.shown[0].text, QStringLiteral("端口创建失败，请检查端口是否被占用!"));
    QCOMPARE(dialogs_.shown[0].icon, DialogService::Icon::Warning);
    QVERIFY(!box()->isChecked());
    QVERIFY(!UdpIsReady());
    QVERIFY(!port()->isEnabled());
    // The destination is taken all the same (the file could not be written
    // either: no descriptor was left for it).
    QCOMPARE(QByteArray(InterfaceSettings.SendAddress), QByteArray("10.0.0.9"));
    QCOMPARE(InterfaceSettings.SendPort, 999999);  // stored as typed
    // Clicking again tries once more.
    box()->click();
    QVERIFY(box()->isChecked());
    QVERIFY(UdpIsReady());
  }

 private:
  void open() {
    page_ = new CParamDlg;
    page_->show();
    QVERIFY(QTest::qWaitForWindowActive(page_));
    page_->ensureInitialised();
  }
  CIpAddressCtrl* address() { return page_->findChild<CIpAddressCtrl*>("1065"); }
  QLineEdit* port() { return page_->findChild<QLineEdit*>("1066"); }
  QLineEdit* interval() { return page_->findChild<QLineEdit*>("1067"); }
  QCheckBox* box() { return page_->findChild<QCheckBox*>("1073"); }

  RecordingDialogs dialogs_;
  CParamDlg* page_ = nullptr;
};

QTEST_MAIN(ParamDlgTest)
#include "param_dlg_test.moc"
