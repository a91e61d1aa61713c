// The single-code generation page (second tab, "    二维码生成    "): one text
// in, one QR code shown in the preview box and written to the working picture
// working folder + "/qr.jpg"; "保存图像" copies that picture to a JPEG file, or
// writes the same symbol as PNG or SVG.
#pragma once
#include <QString>
#include <cstdint>

#include "ui/page.h"
#include "generation/ui/generation_controls.h"
#include "ui/preview_picture.h"

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

class SingleCodePage : public Page {
  Q_OBJECT
 public:
  // `workingFolder` holds the working picture "qr.jpg".
  explicit SingleCodePage(const QString& workingFolder, QWidget* parent = nullptr);

  // Bytes (GBK, a line break counting 2) the text may hold for the chosen
  // version and level: 300 for "自动", else data codewords div 2 - 2.
  int32_t characterLimit() const { return limit_; }
  // True after a successful generation until the next one passes its checks.
  bool pictureReady() const { return pictureReady_; }
  // The picture the preview box shows while pictureReady().
  const PreviewPicture& preview() const { return preview_; }
  // The working folder + "/qr.jpg".
  QString workingPicturePath() const;

 protected:
  void initialisePage() override;

 private:
  void buildControls();
  void onLimitListChanged();
  void updateRemainingLabel();
  void onGenerate();
  void onSave();
  bool readText(QByteArray* gbk);
  void showGenerated(const QrSymbol& symbol);
  void focusText();

  OptionLists lists_;
  QLabel* remaining_ = nullptr;
  QPlainTextEdit* text_ = nullptr;
  QFrame* previewBox_ = nullptr;
  QPushButton* generate_ = nullptr;
  QPushButton* save_ = nullptr;
  QLabel* status_ = nullptr;

  QString workingFolder_;
  int32_t limit_ = 300;
  bool pictureReady_ = false;
  PreviewPicture preview_;
  // The symbol shown, kept for saving it as PNG or SVG.
  QrSymbolPtr shown_;
  int32_t shownModulePixels_ = 0;
};
