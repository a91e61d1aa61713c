#include "datainterface/ui/address_edit.h"

#include <arpa/inet.h>

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <cstring>
#include <string>

namespace {

int FieldValue(const QLineEdit* field) {
  int value = field->text().toInt();
  return value > 255 ? 255 : value;
}

}  // namespace

AddressEdit::AddressEdit(QWidget* parent) : QWidget(parent) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  auto* digits = new QRegularExpressionValidator(QRegularExpression("[0-9]{0,3}"), this);
  for (int i = 0; i < 4; ++i) {
    if (i > 0) row->addWidget(new QLabel(QStringLiteral("."), this));
    auto* f = new QLineEdit(this);
    f->setObjectName(QStringLiteral("field%1").arg(i));
    f->setValidator(digits);
    f->setMaxLength(3);
    f->setAlignment(Qt::AlignCenter);
    f->setFixedWidth(f->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 8);
    f->installEventFilter(this);
    connect(f, &QLineEdit::textEdited, this, [this, i] { onEdited(i); });
    connect(f, &QLineEdit::editingFinished, this, [f] {
      // A value above 255 is shown as 255, as it counts.
      if (f->text().toInt() > 255) f->setText(QStringLiteral("255"));
    });
    fields_[static_cast<size_t>(i)] = f;
    row->addWidget(f);
  }
  row->addStretch(1);
  setFocusProxy(fields_[0]);
}

uint32_t AddressEdit::address() const {
  uint32_t a = 0;
  for (const QLineEdit* f : fields_) a = a << 8 | static_cast<uint32_t>(FieldValue(f));
  return a;
}

void AddressEdit::setAddress(uint32_t address) {
  for (int i = 0; i < 4; ++i) {
    fields_[static_cast<size_t>(i)]->setText(QString::number(address >> (24 - 8 * i) & 0xFF));
  }
}

void AddressEdit::clear() {
  for (QLineEdit* f : fields_) f->clear();
}

uint32_t AddressEdit::parse(const char* dotted) {
  std::string text(dotted, strnlen(dotted, 16));
  in_addr a{};
  if (inet_pton(AF_INET, text.c_str(), &a) != 1) return 0xFFFFFFFFu;
  return ntohl(a.s_addr);
}

QString AddressEdit::format(uint32_t address) {
  return QStringLiteral("%1.%2.%3.%4")
      .arg(address >> 24)
      .arg(address >> 16 & 0xFF)
      .arg(address >> 8 & 0xFF)
      .arg(address & 0xFF);
}

// Selected, so that typing replaces what the field held.
void AddressEdit::moveTo(int index) {
  QLineEdit* f = fields_[static_cast<size_t>(index)];
  f->setFocus();
  f->selectAll();
}

// Three digits move on to the next field, as in the usual address controls.
void AddressEdit::onEdited(int index) {
  if (index < 3 && fields_[static_cast<size_t>(index)]->text().size() == 3) {
    moveTo(index + 1);
    advancedTo_ = index + 1;
  }
}

// '.' moves to the next field unless the field is empty or a third digit has
// just moved here; Backspace in an empty field goes back.
bool AddressEdit::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut) advancedTo_ = -1;
  if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  for (int i = 0; i < 4; ++i) {
    QLineEdit* f = fields_[static_cast<size_t>(i)];
    if (watched != f) continue;
    const bool justAdvanced = advancedTo_ == i;
    advancedTo_ = -1;
    if (key->key() == Qt::Key_Period) {
      if (i < 3 && !justAdvanced && !f->text().isEmpty()) moveTo(i + 1);
      return true;
    }
    if (key->key() == Qt::Key_Backspace && i > 0 && f->text().isEmpty()) {
      fields_[static_cast<size_t>(i - 1)]->setFocus();
      fields_[static_cast<size_t>(i - 1)]->end(false);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}
