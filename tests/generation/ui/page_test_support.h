// Test support for the generation pages: a scripted dialog service, a fresh
// working folder, typing through the input method, and a zxing-cpp read of a
// written picture.
#pragma once
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QInputMethodEvent>
#include <QStringList>
#include <QWidget>
#define ZX_USE_UTF8 1  // Result::text() as UTF-8
#include <ZXing/ReadBarcode.h>
#include <memory>
#include <vector>

#include "app/module_dir.h"
#include "app/ui/dialogs.h"

class FakeDialogs final : public DialogService {
 public:
  struct Message {
    QString text;
    Icon icon;
    QString caption;
  };
  std::vector<Message> messages;
  QStringList saveAnswers;    // taken one per request; empty = cancel
  QStringList folderAnswers;  // likewise
  QString saveInitialName, saveFilter, folderTitle;
  int saveRequests = 0;

  void message(QWidget*, const QString& text, Icon icon, const QString& caption) override {
    messages.push_back({text, icon, caption});
  }
  QString saveFileName(QWidget*, const QString& initialName, const QString& filter) override {
    ++saveRequests;
    saveInitialName = initialName;
    saveFilter = filter;
    return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
  }
  QString folder(QWidget*, const QString& title) override {
    folderTitle = title;
    return folderAnswers.isEmpty() ? QString() : folderAnswers.takeFirst();
  }
  QString lastText() const { return messages.empty() ? QString() : messages.back().text; }
};

// A new empty folder under the test's scratch directory.
inline QString FreshFolder(const QString& name) {
  QDir root(QStringLiteral(QRTOOL_TEST_TMP));
  root.mkpath(QStringLiteral("."));
  QDir dir(root.filePath(name));
  dir.removeRecursively();
  root.mkpath(name);
  return dir.absolutePath();
}

// Types `text` into `widget` as an input method would commit it.
inline void CommitText(QWidget* widget, const QString& text) {
  QInputMethodEvent event;
  event.setCommitString(text);
  QCoreApplication::sendEvent(widget, &event);
}

inline ZXing::Result ReadResult(const QString& path) {
  QImage image(path);
  if (image.isNull()) return {};
  image = image.convertToFormat(QImage::Format_Grayscale8);
  ZXing::DecodeHints hints;
  hints.setFormats(ZXing::BarcodeFormat::QRCode);
  ZXing::ImageView view(image.constBits(), image.width(), image.height(), ZXing::ImageFormat::Lum,
                        static_cast<int>(image.bytesPerLine()));
  return ZXing::ReadBarcode(view, hints);
}

// The text zxing-cpp makes of the QR code in a picture file; empty when none.
inline QString ReadTextWithOracle(const QString& path) {
  ZXing::Result result = ReadResult(path);
  return result.isValid() ? QString::fromStdString(result.text()) : QString();
}

// The raw data bytes of the one QR code zxing-cpp finds in a picture file;
// empty when it finds none.
inline QByteArray ReadWithOracle(const QString& path) {
  ZXing::Result result = ReadResult(path);
  if (!result.isValid()) return {};
  const auto& bytes = result.bytes();
  return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                    static_cast<qsizetype>(bytes.size()));
}
