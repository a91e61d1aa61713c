#include "datainterface/ui/param_dlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <cstring>

#include "app/settings.h"
#include "app/ui/dialogs.h"
#include "datainterface/udp_sender.h"
#include "datainterface/ui/ip_address_edit.h"

namespace {

void ShowUdpWarning(const char* utf8Message) {
  Dialogs().message(QApplication::activeWindow(), QString::fromUtf8(utf8Message),
                    DialogService::Icon::Warning, AppCaption());
}

QLineEdit* DigitsEdit(const char* id, int maxDigits, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(id);
  edit->setMaxLength(maxDigits);
  edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), edit));
  edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("0")) * 8 + 12);
  return edit;
}

}  // namespace

CParamDlg::CParamDlg(QWidget* parent)
    : CPropertyPage(QStringLiteral("    数 据 接 口    "), parent) {
  SetUdpErrorReporter(ShowUdpWarning);

  address_ = new CIpAddressCtrl(this);
  address_->setObjectName("1065");
  port_ = DigitsEdit("1066", 6, this);
  interval_ = DigitsEdit("1067", 2, this);
  enable_ = new QCheckBox(QStringLiteral("启用接口"), this);
  enable_->setObjectName("1073");
  connect(enable_, &QCheckBox::clicked, this, [this] { OnEnableClicked(); });

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

void CParamDlg::OnInitDialog() {
  address_->setAddress(CIpAddressCtrl::Parse(InterfaceSettings.SendAddress));
  port_->setText(QString::number(InterfaceSettings.SendPort));
  interval_->setText(QString::number(InterfaceSettings.RepeatInterval));
  enable_->setChecked(false);
  LockDestination(false);
  enable_->setEnabled(true);
}

void CParamDlg::Refuse(QWidget* control, const QString& message) {
  control->setFocus();
  ShowError(this, message);
  enable_->setChecked(false);
}

void CParamDlg::LockDestination(bool locked) {
  port_->setEnabled(!locked);
  interval_->setEnabled(!locked);
  address_->setEnabled(!locked);
}

void CParamDlg::OnEnableClicked() {
  const QString port = port_->text();
  const QString interval = interval_->text();
  const bool on = enable_->isChecked();
  if (port.isEmpty()) return Refuse(port_, QStringLiteral("请输入端口号码！"));
  if (interval.isEmpty()) return Refuse(interval_, QStringLiteral("请输入发送间隔！"));
  const uint32_t address = address_->address();
  if (address == 0) return Refuse(address_, QStringLiteral("请输入有效的IP地址！"));

  if (!on) {
    LockDestination(false);
    UdpClose();
    return;
  }
  // A failed open leaves the box clear but still stores the destination.
  if (UdpOpen() != 1) enable_->setChecked(false);
  const QByteArray dotted = CIpAddressCtrl::Format(address).toLatin1();
  std::memset(InterfaceSettings.SendAddress, 0, sizeof InterfaceSettings.SendAddress);
  std::memcpy(InterfaceSettings.SendAddress, dotted.constData(),
              static_cast<size_t>(dotted.size()));
  InterfaceSettings.SendPort = port.toInt();
  InterfaceSettings.RepeatInterval = interval.toInt();
  SaveSettings();
  LockDestination(true);
}
