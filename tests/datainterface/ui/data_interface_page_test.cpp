// The data interface page: stored settings shown, the refusals in their
// order, locking, saving on switch-on, and the sender it switches.
#include "datainterface/ui/data_interface_page.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QtTest>
#include <cstring>

#include "datainterface/ui/address_edit.h"
#include "tests/support/fake_dialogs.h"
#include "tests/support/page_support.h"
#include "tests/support/udp_receiver.h"

class DataInterfacePageTest : public QObject {
  Q_OBJECT
 private slots:
  void init() {
    dir_ = FreshFolder(QString::fromLatin1(QTest::currentTestFunction()));
    dialogs_ = std::make_unique<FakeDialogs>();
    settings_ = InterfaceSettings{};
  }
  void cleanup() {
    page_.reset();
    dialogs_.reset();
    sender_.Close();
  }

  void showsTheStoredSettingsSwitchedOff() {
    // Unparsable addresses (no NUL in the 16 bytes) show as all ones.
    for (const auto& [stored, shown] : {std::pair{QByteArray("192.168.1.20"), 0xC0A80114u},
                                        std::pair{QByteArray("127.0.0.1......."), 0xFFFFFFFFu}}) {
      std::memcpy(settings_.sendAddress, stored.constData(), static_cast<size_t>(stored.size()));
      settings_.sendPort = 6000;
      settings_.repeatInterval = 5;
      open();
      QCOMPARE(address()->address(), shown);
      QCOMPARE(port()->text(), QStringLiteral("6000"));
      QCOMPARE(interval()->text(), QStringLiteral("5"));
      QVERIFY(!box()->isChecked());
    }
  }

  void refusalsComeInOrder() {
    const struct { const char *port, *interval, *message, *focus; } rows[] = {
        {"", "", "请输入端口号码！", "portEdit"},
        {"9981", "", "请输入发送间隔！", "intervalEdit"},
        {"9981", "1", "请输入有效的IP地址！", "addressEdit"}};
    for (const auto& row : rows) {
      cleanup();
      init();
      open();
      port()->setText(QString::fromUtf8(row.port));
      interval()->setText(QString::fromUtf8(row.interval));
      address()->clear();
      clickBox();
      QCOMPARE(dialogs_->messages.size(), size_t(1));
      QCOMPARE(dialogs_->lastText(), QString::fromUtf8(row.message));
      QCOMPARE(dialogs_->messages[0].icon, DialogService::Icon::Error);
      QWidget* control = page_->findChild<QWidget*>(row.focus);
      QVERIFY(control->hasFocus() || control->isAncestorOf(QApplication::focusWidget()));
      QVERIFY(!box()->isChecked() && !sender_.IsReady() && port()->isEnabled());
      QVERIFY(!QFile::exists(dir_ + "/pa.dat"));
    }
  }

  void switchingOnSavesLocksAndOpensTheSender() {
    udptest::Receiver r;
    open();
    typeAddress("192.168.1.20");  // over the shown 127.0.0.1
    port()->setText(QString::number(r.port()));
    interval()->setText(QStringLiteral("0"));
    clickBox();
    QVERIFY(dialogs_->messages.empty());
    QVERIFY(box()->isChecked() && sender_.IsReady());
    QVERIFY(!address()->isEnabled() && !port()->isEnabled() && !interval()->isEnabled());
    // The file's layout is the settings' own case; here that these values reach it.
    InterfaceSettings saved;
    QCOMPARE(LoadSettings(dir_.toStdString(), &saved), 1);
    QCOMPARE(SendAddressText(saved), std::string_view("192.168.1.20"));
    QCOMPARE(saved.sendPort, int(r.port()));
    clickBox();
    QVERIFY(!box()->isChecked() && !sender_.IsReady());
    QVERIFY(address()->isEnabled() && port()->isEnabled() && interval()->isEnabled());
  }

  // Typed as a user would, into the field with the focus, over what the fields
  // held (all selected in the first): the fields show exactly what was typed.
  void typingGivesTheAddressTyped() {
    const struct { uint before; const char *keys, *shown; } rows[] = {  // before 0: empty fields
        {0xC0000000u, "192.168.1.20", "192.168.1.20"},     // over an old address
        {0u, ".1..2.3.4.", "1.2.3.4"},                     // dots in empty fields
        {0x01020304u, "192168100200", "192.168.100.200"},  // three digits, no dots
        {0u, "1.2.3\b\b4", "1.24.."}};                    // backspace across fields
    for (const auto& row : rows) {
      open();
      address()->setAddress(row.before);
      if (row.before == 0) {
        address()->clear();
      }
      typeAddress(QString::fromLatin1(row.keys));
      QStringList fields;
      for (int i = 0; i < 4; ++i) fields << address()->field(i)->text();
      QCOMPARE(fields.join('.'), QString::fromLatin1(row.shown));
    }
  }

  void failedOpenWarnsAndKeepsTheDestination() {
    open();
    address()->setAddress(0x0A000009);
    port()->setText(QStringLiteral("999999"));
    {
      udptest::NoDescriptorsLeft none;
      QVERIFY(none.ok());
      box()->click();
    }
    QCOMPARE(dialogs_->lastText(), QStringLiteral("端口创建失败，请检查端口是否被占用!"));
    QCOMPARE(dialogs_->messages.back().icon, DialogService::Icon::Warning);
    QVERIFY(!box()->isChecked() && !sender_.IsReady() && !port()->isEnabled());
    QCOMPARE(QByteArray(settings_.sendAddress), QByteArray("10.0.0.9"));
    QCOMPARE(settings_.sendPort, 999999);  // stored as typed
    box()->click();  // clicking again tries once more
    QVERIFY(box()->isChecked() && sender_.IsReady());
  }

 private:
  void open() {
    page_ = std::make_unique<DataInterfacePage>(dir_, &settings_, &sender_);
    page_->show();
    QVERIFY(QTest::qWaitForWindowActive(page_.get()));
    page_->ensureInitialised();
  }
  void typeAddress(const QString& keys) {
    address()->field(0)->setFocus();
    address()->field(0)->selectAll();
    QTest::keyClicks(nullptr, keys);  // each key to the field that has the focus then
  }
  void clickBox() { QTest::mouseClick(box(), Qt::LeftButton, {}, box()->rect().center()); }
  AddressEdit* address() { return page_->findChild<AddressEdit*>("addressEdit"); }
  QLineEdit* port() { return page_->findChild<QLineEdit*>("portEdit"); }
  QLineEdit* interval() { return page_->findChild<QLineEdit*>("intervalEdit"); }
  QCheckBox* box() { return page_->findChild<QCheckBox*>("enableCheck"); }

  QString dir_;
  std::unique_ptr<FakeDialogs> dialogs_;
  InterfaceSettings settings_;
  UdpSender sender_;
  std::unique_ptr<DataInterfacePage> page_;
};

QTEST_MAIN(DataInterfacePageTest)
#include "data_interface_page_test.moc"
