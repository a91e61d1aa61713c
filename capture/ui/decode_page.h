// The decode page (first tab, "    二维码分析    "): camera preview, decoding of
// camera frames on demand or automatically, decoding of a screen rectangle or
// of a picture opened, pasted or dropped, and the decoded text in one of
// three output encodings.
#pragma once
#include <QByteArray>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>

#include "capture/decode_frame.h"
#include "capture/ui/camera_capture.h"
#include "ui/page.h"
#include "ui/preview_picture.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QImage;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSoundEffect;

// Output encodings of the result text (the encoding list's indexes).
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

class DecodePage : public Page {
  Q_OBJECT
 public:
  // `workingFolder` receives the snapshots "ph.bmp" (camera) and "cs.bmp" (screen).
  explicit DecodePage(const QString& workingFolder, QWidget* parent = nullptr);
  ~DecodePage() override;

  CameraCapture& camera() { return camera_; }
  const PreviewPicture& picture() const { return picture_; }
  // Times the success sound was started.
  int soundsPlayed() const { return soundsPlayed_; }
  // The page is drawn at one fixed size, whatever its layouts would ask for.
  QSize sizeHint() const override { return minimumSize(); }
  QSize minimumSizeHint() const override { return minimumSize(); }

  // The page timer's handler (every second) and the screenshot button's,
  // public so that tests can drive them without waiting.
  void onTimer();
  void onScreenshotDecode();
  // Decodes a picture file or the clipboard's picture as a screen rectangle
  // is decoded; something that is not a picture is reported and changes nothing.
  void decodePictureFile(const QString& path);
  void onPaste();

 signals:
  // The result text so far (GBK), once after each record of a decode: the
  // main window hands it to the data interface.
  void resultTextReady(const QByteArray& gbk);

 protected:
  void initialisePage() override;
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  QWidget* buildCameraColumn();
  QWidget* buildParameterGroup();
  QWidget* buildButtonRow();
  QWidget* buildResultColumn();
  void connectControls();
  void onPreviewClicked();
  void onAutoDecodeClicked();
  void onDecodeDone(int code);
  void presentResults();
  void showPictureFile(const QString& path);
  void onOpenPicture();
  void decodePicture(const QImage& picture);
  void playSuccessSound();
  DecodeNotify postToThisPage();

  QString workingFolder_;
  CameraCapture camera_;
  PreviewPicture picture_;
  QTimer timer_{this};  // the page timer, every second
  QSoundEffect* sound_ = nullptr;
  int soundsPlayed_ = 0;

  bool previewing_ = false;      // the camera preview runs
  bool autoDecode_ = false;      // automatic decoding is armed
  int32_t autoInterval_ = 0;     // seconds between automatic requests (0..9)
  uint32_t timerTicks_ = 0;      // seconds counted by the page timer
  uint32_t lastAutoTick_ = 0;    // tick of the last automatic request
  bool pictureShown_ = false;    // the picture box shows the stored picture
  QString decodedText_;          // the last decode's texts, for 复制

  QFrame* previewArea_ = nullptr;
  QWidget* pictureBox_ = nullptr;
  QComboBox* devices_ = nullptr;
  QComboBox* encodings_ = nullptr;
  QLineEdit* interval_ = nullptr;
  QCheckBox* previewCheck_ = nullptr;
  QCheckBox* autoCheck_ = nullptr;
  QPushButton* videoDecode_ = nullptr;
  QPushButton* screenshotDecode_ = nullptr;
  QPushButton* openPicture_ = nullptr;
  QPushButton* copy_ = nullptr;
  QPlainTextEdit* result_ = nullptr;
};
