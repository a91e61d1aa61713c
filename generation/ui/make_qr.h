// The single-code generation page (second tab, "    二维码生成    "): one text
// in, one QR code shown in the preview box and written to the working picture
// ModuleDirectory + "/qr.jpg"; "保存图像" copies that picture to a file.
#pragma once
#include <QString>
#include <cstdint>

#include "app/ui/property_page.h"
#include "generation/ui/gen_page_common.h"
#include "generation/ui/preview_picture.h"

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

class CMakeQr : public CPropertyPage {
  Q_OBJECT
 public:
  explicit CMakeQr(QWidget* parent = nullptr);

  // Bytes (GBK, a line break counting 2) the text may hold for the chosen
  // version and level: 300 for "自动", else data codewords div 2 - 2.
  int32_t characterLimit() const { return limit_; }
  // True after a successful generation until the next one passes its checks.
  bool pictureReady() const { return pictureReady_; }
  // The picture the preview box shows while pictureReady().
  const PreviewPicture& preview() const { return preview_; }
  // ModuleDirectory + "/qr.jpg".
  static QString WorkingPicturePath();

 protected:
  void OnInitDialog() override;

 private:
  void BuildControls();
  void OnLimitListChanged();
  void UpdateRemainingLabel();
  void OnGenerate();
  void OnSave();
  bool ReadText(QByteArray* gbk);
  void ShowGenerated(const QrSymbol& symbol);
  void FocusText();

  OptionLists lists_;
  QLabel* remaining_ = nullptr;       // 1040
  QPlainTextEdit* text_ = nullptr;    // 1020
  QFrame* previewBox_ = nullptr;      // 1027
  QPushButton* generate_ = nullptr;   // 1022
  QPushButton* save_ = nullptr;       // 1023
  QLabel* status_ = nullptr;          // 1059

  int32_t limit_ = 300;
  bool pictureReady_ = false;
  PreviewPicture preview_;
};
