// What the single-code and the batch page share: the "参数：" group with its
// four option lists, the reading of those lists, and the text of a multi-line
// box as GBK bytes.
#pragma once
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>

#include "encoder/qr_encoder.h"

class QComboBox;
class QGroupBox;
class QPlainTextEdit;
class QWidget;

// The four lists of a generation page, in page order.
struct OptionLists {
  QComboBox* version = nullptr;       // "自动", "1".."40": index = version, 0 automatic
  QComboBox* level = nullptr;         // "自动选择", "低(7%)".."高(30%)": index = ecLevel
  QComboBox* modulePixels = nullptr;  // "1".."20": pixels per module = index + 1
  QComboBox* chinese = nullptr;       // "禁止", "启用 ": 0 DATA_MODE, else GB2312_MODE
};

// Builds the "参数：" group holding the four labelled lists (still empty; see
// FillOptionLists; object names versionList, levelList, modulePixelsList,
// chineseList) and stores them in `lists`.
QGroupBox* BuildOptionGroup(QWidget* parent, OptionLists* lists);

// Fills the lists with their items and selects version "自动", level "自动选择",
// module pixels "5" and Chinese compression "禁止".
void FillOptionLists(const OptionLists& lists);

// The record options of the current selections.
int32_t VersionIndex(const OptionLists& lists);   // 0 automatic, 1..40
int32_t LevelIndex(const OptionLists& lists);     // 0 automatic, 1..4 = L, M, Q, H
int32_t ModulePixels(const OptionLists& lists);   // 1..20
int32_t InputMode(const OptionLists& lists);      // DATA_MODE or GB2312_MODE

// A multi-line box for texts to encode: Enter starts a new line, scroll bars,
// no wrapping.
QPlainTextEdit* NewContentBox(QWidget* parent, const char* objectName);

// The text of a box as GBK bytes with "\r\n" line breaks, the bytes the
// encoder gets and the limits count (a line break counts 2, a Chinese
// character 2). A box gives "\n"; lone "\r" from pasted text counts as a break
// too. False when a character has no GBK form; `bad` then names it.
bool BoxTextToGbk(const QString& boxText, QByteArray* gbk, QString* bad);

// The length BoxTextToGbk gives, also for text it refuses: a character
// without a GBK form then counts 2.
int BoxTextGbkLength(const QString& boxText);

// The box text with every line break as a single "\n".
QString NormalisedBoxText(const QString& boxText);

// The message for a character without a GBK form.
QString UnencodableCharacterText(const QString& bad);

// Owns one encoder record for one generation.
struct QrSymbolDeleter {
  void operator()(QrSymbol* symbol) const { qr_delete_symbol(symbol); }
};
using QrSymbolPtr = std::unique_ptr<QrSymbol, QrSymbolDeleter>;

// A new record with symbology QR Code and the given options; null when no
// memory can be had.
QrSymbolPtr NewQrSymbol(int32_t versionIndex, int32_t levelIndex, int32_t inputMode);
