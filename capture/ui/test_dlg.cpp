#include "capture/ui/test_dlg.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QEventLoop>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSoundEffect>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "app/module_dir.h"
#include "app/ui/decode_event.h"
#include "app/ui/dialogs.h"
#include "app/ui/gbk.h"
#include "capture/text_codec.h"
#include "capture/ui/screen_bitmap.h"
#include "capture/ui/screen_capture_dlg.h"
#include "datainterface/udp_sender.h"

CTestDlg* g_pDecodePage = nullptr;
bool g_bPreviewing = false;
bool g_bAutoDecode = false;
int32_t g_nAutoInterval = 0;
uint32_t g_nTimerTicks = 0;
uint32_t g_nLastAutoTick = 0;
bool g_bPictureShown = false;

namespace {

const char kHelpText[] =
    "选择 启动预览 选项，查看摄像头预览。\r\n\r\n选择 自动解码 选项，自动对摄像头截图并解码。"
    "\r\n\r\n点击 视频解码 按钮，可对摄像头截图并解码。\r\n\r\n点击 截图解码 按钮，可进行屏幕截图并解码。";
const char kNoCamera[] = "无法获取摄像头信息!\r\n\r\n您将无法使用 【视频解码】 功能!";
const char kStartPreviewFirst[] = "请先开始预览";
const char kEnterInterval[] = "请输入自动拍照间隔";
const char kNothingDecoded[] = "无解码内容";
const char kSoundUrl[] = "qrc:/capture/success.wav";
constexpr int kTimerMs = 1000;
constexpr int kHideDelayMs = 500;

// Dialog units of the page's 10-point font, in pixels.
QRect Dlu(int x, int y, int w, int h) {
  auto px = [](int units) { return (units * 7 + 2) / 4; };
  return QRect(px(x), px(y), px(w), px(h));
}

QString Ui(const char* utf8) { return QString::fromUtf8(utf8); }

// Text for the edit control: GBK bytes with CR LF line breaks.
QString DisplayText(const QByteArray& gbk) {
  QString text = FromGbk(gbk);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

std::string Gbk(std::string_view utf8) {
  std::string gbk;
  textcodec::Utf8ToGbk(utf8, &gbk);
  return gbk;
}

// The longest prefix of at most `maxBytes` bytes that does not cut a UTF-8
// sequence (a cut sequence would make the whole conversion fail).
size_t Utf8PrefixLength(std::string_view text, size_t maxBytes) {
  if (text.size() <= maxBytes) return text.size();
  size_t cut = maxBytes;
  while (cut > 0 && (static_cast<uint8_t>(text[cut]) & 0xC0) == 0x80) --cut;
  return cut;
}

std::string Converted(const std::string& utf8, int encoding) {
  auto convert = encoding == kEncodingUtf8 ? Utf8ToAnsiText : Utf8ToOemText;
  int32_t size = convert(utf8.c_str(), nullptr, 0);
  if (size <= 0) return std::string();
  std::vector<char> buffer(static_cast<size_t>(size) + 1, '\0');
  if (convert(utf8.c_str(), buffer.data(), size + 1) == 0) return std::string();
  return std::string(buffer.data());
}

// One record's display text: its data as a terminated string of at most
// kRecordTextCapacity - 1 bytes, converted by the output encoding.
std::string RecordText(const DecodeResult& record, int encoding) {
  const char* data = reinterpret_cast<const char*>(record.data);
  size_t limit = std::min<size_t>(record.length, sizeof record.data - 1);
  std::string_view raw(data, strnlen(data, limit));
  const size_t cap = kRecordTextCapacity - 1;
  if (encoding == kEncodingUnicode || encoding == kEncodingUtf8) {
    return Converted(std::string(raw.substr(0, Utf8PrefixLength(raw, cap))), encoding);
  }
  return std::string(raw.substr(0, textcodec::GbkPrefixLength(raw, cap)));
}

// The picture box: the stored picture stretched over its client area.
class PictureBox : public QFrame {
 public:
  PictureBox(const PreviewPicture* picture, QWidget* parent)
      : QFrame(parent), picture_(picture) {
    setFrameStyle(QFrame::Box | QFrame::Sunken);
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    if (g_bPictureShown) {
      QPainter painter(this);
      QRect r = contentsRect();
      picture_->Draw(&painter, r.left(), r.top(), r.right() + 1, r.bottom() + 1);
    }
    QFrame::paintEvent(event);
  }

 private:
  const PreviewPicture* picture_;
};

void PostToDecodePage(int32_t code) { PostDecodeDone(g_pDecodePage, code); }

}  // namespace

QByteArray BuildResultText(const DecodeResult* records, int count, int encoding,
                           const std::function<void(const QByteArray&)>& onRecord) {
  const size_t cap = kResultTextCapacity - 1;
  std::string text;
  auto append = [&](std::string_view piece) {
    text.append(piece.substr(0, textcodec::GbkPrefixLength(piece, cap - text.size())));
  };
  const std::string heading = Gbk("解码信息 ");
  for (int k = 1; k <= count; ++k) {
    append(heading + std::to_string(k) + " :\r\n");
    append(RecordText(records[k - 1], encoding));
    append("\r\n");
    if (onRecord) onRecord(QByteArray(text.data(), static_cast<qsizetype>(text.size())));
  }
  return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

CTestDlg::CTestDlg(QWidget* parent)
    : CPropertyPage(QStringLiteral("    二维码分析    "), parent) {
  g_bPreviewing = false;
  g_bAutoDecode = false;
  g_nAutoInterval = 0;
  g_nTimerTicks = 0;
  g_nLastAutoTick = 0;
  g_bPictureShown = false;
  BuildControls();
  SetDecodeNotifyHook(&PostToDecodePage);
  connect(&timer_, &QTimer::timeout, this, &CTestDlg::OnTimer);
}

CTestDlg::~CTestDlg() {
  // No decode may still post to this page once it is gone.
  camera_.Stop();
  camera_.WaitForFrameDone();
  if (g_pDecodePage == this) g_pDecodePage = nullptr;
}

void CTestDlg::BuildControls() {
  setFixedSize(Dlu(0, 0, 395, 282).size());
  QFont font;
  font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("宋体"),
                    QStringLiteral("WenQuanYi Micro Hei")});
  font.setPointSize(10);
  setFont(font);

  previewArea_ = new QFrame(this);
  previewArea_->setObjectName(QStringLiteral("1003"));
  previewArea_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  previewArea_->setAutoFillBackground(true);
  previewArea_->setStyleSheet(QStringLiteral("background-color: #808080;"));
  previewArea_->setGeometry(Dlu(3, 2, 193, 185));

  pictureBox_ = new PictureBox(&picture_, this);
  pictureBox_->setObjectName(QStringLiteral("1007"));
  pictureBox_->setGeometry(Dlu(201, 2, 191, 186));

  auto* group = new QGroupBox(Ui("参数"), this);
  group->setGeometry(Dlu(2, 190, 194, 66));
  auto label = [this](const char* text, QRect where) {
    auto* l = new QLabel(Ui(text), this);
    l->setGeometry(where);
    return l;
  };
  label("视频设备：", Dlu(7, 202, 42, 8));
  devices_ = new QComboBox(this);
  devices_->setObjectName(QStringLiteral("1000"));
  devices_->setGeometry(Dlu(50, 199, 141, 12));
  label("输出编码：", Dlu(7, 220, 42, 8));
  encodings_ = new QComboBox(this);
  encodings_->setObjectName(QStringLiteral("1018"));
  encodings_->setGeometry(Dlu(51, 217, 140, 12));
  label("解码间隔：", Dlu(7, 238, 42, 8));
  interval_ = new QLineEdit(QStringLiteral("1"), this);
  interval_->setObjectName(QStringLiteral("1004"));
  interval_->setMaxLength(1);
  interval_->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]?")), interval_));
  interval_->setGeometry(Dlu(51, 236, 29, 14));
  label("秒", Dlu(84, 239, 9, 8));
  previewCheck_ = new QCheckBox(Ui("启动预览"), this);
  previewCheck_->setObjectName(QStringLiteral("1034"));
  previewCheck_->setGeometry(Dlu(100, 237, 46, 10));
  autoCheck_ = new QCheckBox(Ui("自动解码"), this);
  autoCheck_->setObjectName(QStringLiteral("1008"));
  autoCheck_->setGeometry(Dlu(148, 237, 45, 10));
  autoCheck_->setEnabled(false);
  videoDecode_ = new QPushButton(Ui("视频解码"), this);
  videoDecode_->setObjectName(QStringLiteral("1001"));
  videoDecode_->setGeometry(Dlu(25, 261, 46, 17));
  videoDecode_->setEnabled(false);
  screenshotDecode_ = new QPushButton(Ui("截图解码"), this);
  screenshotDecode_->setObjectName(QStringLiteral("1033"));
  screenshotDecode_->setGeometry(Dlu(122, 262, 46, 16));
  auto* contentLabel = label("解码内容：", Dlu(206, 191, 41, 8));
  contentLabel->setObjectName(QStringLiteral("1010"));
  result_ = new QPlainTextEdit(this);
  result_->setObjectName(QStringLiteral("1006"));
  result_->setGeometry(Dlu(203, 201, 190, 74));
  result_->setLineWrapMode(QPlainTextEdit::NoWrap);
  result_->setPlainText(DisplayText(QByteArray(Gbk(kHelpText).c_str())));

  connect(previewCheck_, &QCheckBox::clicked, this, &CTestDlg::OnPreviewClicked);
  connect(autoCheck_, &QCheckBox::clicked, this, &CTestDlg::OnAutoDecodeClicked);
  connect(videoDecode_, &QPushButton::clicked, this, [this] { camera_.RequestSnapshot(true); });
  connect(screenshotDecode_, &QPushButton::clicked, this, &CTestDlg::OnScreenshotDecode);
}

void CTestDlg::OnInitDialog() {
  encodings_->insertItem(kEncodingChinese, Ui("中文编码"));
  encodings_->insertItem(kEncodingUnicode, Ui("UNICODE编码"));
  encodings_->insertItem(kEncodingUtf8, Ui("UTF8编码"));
  encodings_->setCurrentIndex(kEncodingChinese);
  connect(encodings_, &QComboBox::currentIndexChanged, this,
          [this] { PostDecodeDone(this, DECODE_RESULTS_READY); });
  g_bPictureShown = false;

  int devices = camera_.EnumDevices(devices_);
  devices_->setCurrentIndex(0);
  if (devices < 1) {
    videoDecode_->setEnabled(false);
    previewCheck_->setEnabled(false);
    ShowError(this, Ui(kNoCamera));
  }
  timer_.start(kTimerMs);
}

void CTestDlg::OnPreviewClicked() {
  if (g_bPreviewing) {
    g_bPreviewing = false;
    camera_.Stop();
    previewCheck_->setChecked(false);
    videoDecode_->setEnabled(false);
    autoCheck_->setEnabled(false);
    g_bPictureShown = false;
    pictureBox_->update();
    autoCheck_->setChecked(false);
    g_bAutoDecode = false;
    return;
  }
  g_bPreviewing = true;
  // Failures are reported by the capture's own messages; the page stays previewing.
  camera_.Start(devices_->currentIndex(), previewArea_);
  previewCheck_->setChecked(true);
  videoDecode_->setEnabled(true);
  autoCheck_->setEnabled(true);
}

void CTestDlg::OnAutoDecodeClicked() {
  if (!g_bPreviewing) {
    ShowError(this, Ui(kStartPreviewFirst));
    return;
  }
  const bool ticked = autoCheck_->isChecked();
  const QString interval = interval_->text();
  if (interval.isEmpty() && ticked) {
    ShowError(this, Ui(kEnterInterval));
    autoCheck_->setChecked(false);
    g_bAutoDecode = false;
    interval_->setFocus();
    return;
  }
  if (ticked) {
    g_bAutoDecode = true;
    g_nAutoInterval = interval.toInt();
    videoDecode_->setEnabled(false);
    return;
  }
  g_bAutoDecode = false;
  videoDecode_->setEnabled(true);
}

void CTestDlg::OnTimer() {
  ++g_nTimerTicks;
  if (g_bAutoDecode &&
      g_nTimerTicks - g_nLastAutoTick >= static_cast<uint32_t>(g_nAutoInterval)) {
    g_nLastAutoTick = g_nTimerTicks;
    camera_.RequestSnapshot(true);
  }
}

void CTestDlg::OnScreenshotDecode() {
  if (autoCheck_->isChecked()) {
    autoCheck_->setChecked(false);
    OnAutoDecodeClicked();
  }
  QWidget* mainWindow = window();
  mainWindow->hide();
  g_bCaptureAccepted = false;
  {
    // Let the window vanish from the screen before the screen is frozen.
    QEventLoop wait;
    QTimer::singleShot(kHideDelayMs, &wait, &QEventLoop::quit);
    wait.exec();
  }
  {
    CScreenCaptureDlg capture;
    capture.exec();
  }
  mainWindow->show();
  if (!g_bCaptureAccepted) return;

  const QString path = QString::fromUtf8(ModuleDirectory) + QStringLiteral("/cs.bmp");
  QImage bitmap = ScreenBitmap(QGuiApplication::clipboard()->image());
  std::unique_ptr<BitmapInfo> info = CreateBitmapInfo(bitmap);
  if (!info) return;
  SaveBitmapToFile(path, *info, bitmap);
  ShowPictureFile(path);
}

void CTestDlg::ShowPictureFile(const QString& path) {
  picture_.Load(path);
  g_bPictureShown = true;
  pictureBox_->update();
}

bool CTestDlg::event(QEvent* event) {
  if (event->type() == DecodeDoneEvent::eventType()) {
    OnDecodeDone(static_cast<DecodeDoneEvent*>(event)->code());
    return true;
  }
  return CPropertyPage::event(event);
}

void CTestDlg::OnDecodeDone(int code) {
  switch (code) {
    case DECODE_NOTHING_FOUND:
      result_->setPlainText(DisplayText(QByteArray(Gbk(kNothingDecoded).c_str())));
      break;
    case DECODE_RESULTS_READY:
      PresentResults();
      break;
    case DECODE_SNAPSHOT_WRITTEN:
      ShowPictureFile(QString::fromUtf8(ModuleDirectory) + QStringLiteral("/ph.bmp"));
      break;
    case DECODE_SHOW_WINDOW:
      window()->show();
      window()->raise();
      window()->activateWindow();
      break;
    default:
      break;
  }
}

void CTestDlg::PresentResults() {
  // A camera decode may refill the table meanwhile: work on a copy.
  std::vector<DecodeResult> records;
  {
    std::lock_guard<std::mutex> lock(ReaderLock());
    int count = std::clamp<int32_t>(g_decodeCount, 0, kDecodeTableSize);
    records.assign(g_decodeResults, g_decodeResults + count);
  }
  if (records.empty()) return;
  QByteArray text = BuildResultText(records.data(), static_cast<int>(records.size()),
                                    encodings_->currentIndex(), [](const QByteArray& soFar) {
                                      if (UdpIsReady()) UdpSendText(soFar.constData());
                                    });
  result_->setPlainText(DisplayText(text));
  PlaySuccessSound();
}

void CTestDlg::PlaySuccessSound() {
  if (sound_ == nullptr) {
    sound_ = new QSoundEffect(this);
    sound_->setSource(QUrl(QString::fromUtf8(kSoundUrl)));
  }
  // Asynchronous: never waits for the sound to end.
  sound_->play();
  ++soundsPlayed_;
}
