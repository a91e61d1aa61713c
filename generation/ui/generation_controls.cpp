#include "generation/ui/generation_controls.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>

#include "ui/gbk_text.h"

namespace {

QComboBox* AddList(QGridLayout* grid, QWidget* parent, int row, int column,
                   const QString& label, const char* objectName) {
  auto* list = new QComboBox(parent);
  list->setObjectName(QString::fromLatin1(objectName));
  list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  list->setMinimumContentsLength(6);
  list->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  grid->addWidget(new QLabel(label, parent), row, column * 2, Qt::AlignRight);
  grid->addWidget(list, row, column * 2 + 1);
  return list;
}

}  // namespace

QGroupBox* BuildOptionGroup(QWidget* parent, OptionLists* lists) {
  auto* group = new QGroupBox(QStringLiteral("参数："), parent);
  auto* grid = new QGridLayout(group);
  lists->version = AddList(grid, group, 0, 0, QStringLiteral("  版本号："), "versionList");
  lists->level = AddList(grid, group, 0, 1, QStringLiteral("纠错级别："), "levelList");
  lists->modulePixels =
      AddList(grid, group, 1, 0, QStringLiteral(" 模块像素："), "modulePixelsList");
  lists->chinese = AddList(grid, group, 1, 1, QStringLiteral("中文压缩："), "chineseList");
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);
  return group;
}

void FillOptionLists(const OptionLists& lists) {
  lists.version->clear();
  lists.version->addItem(QStringLiteral("自动"));
  for (int v = 1; v <= 40; ++v) lists.version->addItem(QString::number(v));
  lists.version->setCurrentIndex(0);

  lists.level->clear();
  lists.level->addItems({QStringLiteral("自动选择"), QStringLiteral("低(7%)"),
                         QStringLiteral("中(15%)"), QStringLiteral("强(25%)"),
                         QStringLiteral("高(30%)")});
  lists.level->setCurrentIndex(0);

  lists.modulePixels->clear();
  for (int s = 1; s <= 20; ++s) lists.modulePixels->addItem(QString::number(s));
  lists.modulePixels->setCurrentIndex(4);

  lists.chinese->clear();
  lists.chinese->addItems({QStringLiteral("禁止"), QStringLiteral("启用 ")});
  lists.chinese->setCurrentIndex(0);
}

int32_t VersionIndex(const OptionLists& lists) {
  return lists.version->currentIndex() < 0 ? 0 : lists.version->currentIndex();
}

int32_t LevelIndex(const OptionLists& lists) {
  return lists.level->currentIndex() < 0 ? 0 : lists.level->currentIndex();
}

int32_t ModulePixels(const OptionLists& lists) {
  int index = lists.modulePixels->currentIndex();
  return index < 0 ? 5 : index + 1;
}

int32_t InputMode(const OptionLists& lists) {
  return lists.chinese->currentIndex() > 0 ? GB2312_MODE : DATA_MODE;
}

QPlainTextEdit* NewContentBox(QWidget* parent, const char* objectName) {
  auto* box = new QPlainTextEdit(parent);
  box->setObjectName(QString::fromLatin1(objectName));
  box->setLineWrapMode(QPlainTextEdit::NoWrap);
  box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  box->setTabChangesFocus(true);
  return box;
}

QString NormalisedBoxText(const QString& boxText) {
  QString text = boxText;
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

bool BoxTextToGbk(const QString& boxText, QByteArray* gbk, QString* bad) {
  // The encoder gets CR LF line breaks, so a code made here holds the same
  // bytes as codes made by earlier releases of this tool.
  QString text = NormalisedBoxText(boxText);
  text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  return ToGbk(text, gbk, bad);
}

int BoxTextGbkLength(const QString& boxText) {
  QByteArray gbk;
  if (BoxTextToGbk(boxText, &gbk, nullptr)) return static_cast<int>(gbk.size());
  // Rare: some character has no GBK form; count what can be counted.
  int length = 0;
  const QString text = NormalisedBoxText(boxText);
  for (qsizetype i = 0; i < text.size(); ++i) {
    qsizetype n = (text[i].isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
    const QString one = text.mid(i, n);
    i += n - 1;
    if (one == QStringLiteral("\n")) {
      length += 2;
    } else if (one[0].unicode() < 0x80) {
      length += 1;
    } else if (ToGbk(one, &gbk, nullptr)) {
      length += static_cast<int>(gbk.size());
    } else {
      length += 2;
    }
  }
  return length;
}

QString UnencodableCharacterText(const QString& bad) {
  return QStringLiteral("内容中的字符“%1”无法用中文(GBK)编码表示，请删除或替换该字符后重试！")
      .arg(bad);
}

QrSymbolPtr NewQrSymbol(int32_t versionIndex, int32_t levelIndex, int32_t inputMode) {
  QrSymbolPtr symbol(qr_create_symbol());
  if (symbol) {
    symbol->symbology = QR_SYMBOLOGY_QRCODE;
    symbol->inputMode = inputMode;
    symbol->version = versionIndex;
    symbol->ecLevel = levelIndex;
  }
  return symbol;
}
