#include "datainterface/ui/data_interface_page.h"

#include <QFile>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "ui/dialog_service.h"
#include "datainterface/ui/address_edit.h"

namespace {

QLineEdit* DigitsEdit(const char* id, int maxDigits, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(id);
  edit->setMaxLength(maxDigits);
  edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), edit));
  edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("0")) * 8 + 12);
  return edit;
}

}  // namespace

DataInterfacePage::DataInterfacePage(const QString& workingFolder, InterfaceSettings* settings,
                                     UdpSender* sender, QWidget* parent)
    : Page(QStringLiteral("    数 据 接 口    "), parent),
      workingFolder_(workingFolder),
      settings_(settings),
      sender_(sender) {
  address_ = new AddressEdit(this);
  address_->setObjectName("addressEdit");
  port_ = DigitsEdit("portEdit", 6, this);
  interval_ = DigitsEdit("intervalEdit", 2, this);
  enable_ = new QCheckBox(QStringLiteral("启用接口"), this);
  enable_->setObjectName("enableCheck");
  connect(enable_, &QCheckBox::clicked, this, [this] { onEnableClicked(); });

  auto* group = new QGroupBox(QStringLiteral("接口参数"), this);
  auto* grid = new QGridLayout(group);
  grid->setContentsMargins(24, 16, 24, 16);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(14);
  grid->addWidget(new QLabel(QStringLiteral("解码信息发送地址："), group), 0, 0);
  grid->addWidget(address_, 0, 1, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("解码信息发送端口："), group), 1, 0);
  grid->addWidget(port_, 1, 1);
  grid->addWidget(new QLabel(QStringLiteral("重复信息发送间隔："), group), 2, 0);
  grid->addWidget(interval_, 2, 1);
  grid->addWidget(new QLabel(QStringLiteral("秒"), group), 2, 2);
  grid->addWidget(enable_, 3, 0);
  grid->setColumnStretch(3, 1);

  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(20, 20, 20, 20);
  page->addWidget(group);
  page->addStretch(1);
}

void DataInterfacePage::initialisePage() {
  address_->setAddress(AddressEdit::parse(std::string(SendAddressText(*settings_)).c_str()));
  port_->setText(QString::number(settings_->sendPort));
  interval_->setText(QString::number(settings_->repeatInterval));
  enable_->setChecked(false);
  lockDestination(false);
  enable_->setEnabled(true);
}

void DataInterfacePage::refuse(QWidget* control, const QString& message) {
  control->setFocus();
  ShowError(this, message);
  enable_->setChecked(false);
}

void DataInterfacePage::lockDestination(bool locked) {
  port_->setEnabled(!locked);
  interval_->setEnabled(!locked);
  address_->setEnabled(!locked);
}

void DataInterfacePage::onEnableClicked() {
  const QString port = port_->text();
  const QString interval = interval_->text();
  const bool on = enable_->isChecked();
  if (port.isEmpty()) return refuse(port_, QStringLiteral("请输入端口号码！"));
  if (interval.isEmpty()) return refuse(interval_, QStringLiteral("请输入发送间隔！"));
  const uint32_t address = address_->address();
  if (address == 0) return refuse(address_, QStringLiteral("请输入有效的IP地址！"));

  if (!on) {
    lockDestination(false);
    sender_->Close();
    return;
  }
  // A failed open leaves the box clear but still stores the destination.
  if (!sender_->Open()) {
    Dialogs().message(this, QString::fromUtf8(kUdpOpenFailedText), DialogService::Icon::Warning,
                      AppCaption());
    enable_->setChecked(false);
  }
  storeDestination(address, port, interval);
  lockDestination(true);
}

void DataInterfacePage::storeDestination(uint32_t address, const QString& port,
                                         const QString& interval) {
  const QByteArray dotted = AddressEdit::format(address).toLatin1();
  SetSendAddress(settings_, std::string_view(dotted.constData(), dotted.size()));
  settings_->sendPort = port.toInt();
  settings_->repeatInterval = interval.toInt();
  SaveSettings(QFile::encodeName(workingFolder_).toStdString(), *settings_);
}
