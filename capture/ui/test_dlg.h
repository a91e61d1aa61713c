// The decode page (first tab, "    二维码分析    "): camera preview, decoding of
// camera frames on demand or automatically, decoding of a screen rectangle,
// and the decoded text in one of three output encodings.
#pragma once
#include <QByteArray>
#include <QTimer>
#include <cstdint>
#include <functional>

#include "app/ui/property_page.h"
#include "capture/decode_frame.h"
#include "capture/ui/camera_capture.h"
#include "generation/ui/preview_picture.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSoundEffect;

// Page state shared by the handlers (one page exists).
extern bool g_bPreviewing;          // the camera preview runs
extern bool g_bAutoDecode;          // automatic decoding is armed
extern int32_t g_nAutoInterval;     // seconds between automatic requests (0..9)
extern uint32_t g_nTimerTicks;      // seconds counted by the page timer
extern uint32_t g_nLastAutoTick;    // tick of the last automatic request
extern bool g_bPictureShown;        // the picture box shows the stored picture

// Output encodings of the result text (list 1018).
constexpr int kEncodingChinese = 0;  // the bytes as GBK
constexpr int kEncodingUnicode = 1;  // UTF-8 data shown through Utf8ToOemText
constexpr int kEncodingUtf8 = 2;     // UTF-8 data shown through Utf8ToAnsiText

// Capacities of the result text and of one record's data, terminator included.
constexpr int kResultTextCapacity = 2048;
constexpr int kRecordTextCapacity = 1024;

// The result text for `count` records (GBK): per record the heading
// "解码信息 k :\r\n", the data converted by `encoding`, "\r\n"; cut at a
// character boundary to kResultTextCapacity - 1 bytes. `onRecord` (may be
// empty) receives the text so far after each record.
QByteArray BuildResultText(const DecodeResult* records, int count, int encoding,
                           const std::function<void(const QByteArray&)>& onRecord = {});

class CTestDlg : public CPropertyPage {
  Q_OBJECT
 public:
  explicit CTestDlg(QWidget* parent = nullptr);
  ~CTestDlg() override;

  CCameraCapture& Camera() { return camera_; }
  const PreviewPicture& Picture() const { return picture_; }
  // Times the success sound was started.
  int SoundsPlayed() const { return soundsPlayed_; }

  // Handlers, public so that the host and tests can drive them directly.
  void OnTimer();
  void OnScreenshotDecode();

 protected:
  void OnInitDialog() override;
  bool event(QEvent* event) override;

 private:
  void BuildControls();
  void OnPreviewClicked();
  void OnAutoDecodeClicked();
  void OnDecodeDone(int code);
  void PresentResults();
  void ShowPictureFile(const QString& path);
  void PlaySuccessSound();

  CCameraCapture camera_;
  PreviewPicture picture_;
  QTimer timer_{this};  // the page timer, every second
  QSoundEffect* sound_ = nullptr;
  int soundsPlayed_ = 0;

  QFrame* previewArea_ = nullptr;    // 1003
  QWidget* pictureBox_ = nullptr;    // 1007
  QComboBox* devices_ = nullptr;     // 1000
  QComboBox* encodings_ = nullptr;   // 1018
  QLineEdit* interval_ = nullptr;    // 1004
  QCheckBox* previewCheck_ = nullptr;  // 1034
  QCheckBox* autoCheck_ = nullptr;     // 1008
  QPushButton* videoDecode_ = nullptr;       // 1001
  QPushButton* screenshotDecode_ = nullptr;  // 1033
  QPlainTextEdit* result_ = nullptr;         // 1006
};

// The decode page of the main window; set while the main window initialises.
extern CTestDlg* g_pDecodePage;
