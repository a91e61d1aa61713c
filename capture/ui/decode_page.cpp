#include "capture/ui/decode_page.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QKeyEvent>
#include <QMimeData>
#include <QEventLoop>
#include <QFrame>
#include <QHBoxLayout>
#include <QGroupBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QGridLayout>
#include <QPainter>
#include <QPointer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSoundEffect>
#include <QVBoxLayout>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "ui/decode_done_event.h"
#include "ui/dialog_service.h"
#include "ui/gbk_text.h"
#include "common/text_codec.h"
#include "capture/picture_file.h"
#include "capture/ui/screen_bitmap.h"
#include "capture/ui/screen_capture_window.h"


namespace {

const char kHelpText[] =
    "选择 启动预览 选项，查看摄像头预览。\r\n\r\n选择 自动解码 选项，自动对摄像头截图并解码。"
    "\r\n\r\n点击 视频解码 按钮，可对摄像头截图并解码。\r\n\r\n点击 截图解码 按钮，可进行屏幕截图并解码。";
const char kNoCamera[] = "无法获取摄像头信息!\r\n\r\n您将无法使用 【视频解码】 功能!";
const char kStartPreviewFirst[] = "请先开始预览";
const char kEnterInterval[] = "请输入自动拍照间隔";
const char kNothingDecoded[] = "无解码内容";
const char kNotAPicture[] = "无法读取图片!\r\n\r\n%1 不是可以读取的图片文件。";
const char kNoClipboardPicture[] = "剪贴板中没有图片!\r\n\r\n请先复制一张图片，再按 Ctrl+V。";
const char kSoundUrl[] = "qrc:/capture/success.wav";
constexpr int kTimerMs = 1000;
constexpr int kHideDelayMs = 500;

// Dialog units of the page's 10-point font, in pixels: the page keeps the
// sizes it was drawn at.
int Dlu(int units) { return (units * 7 + 2) / 4; }
QSize Dlu(int w, int h) { return QSize(Dlu(w), Dlu(h)); }

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

// The picture box: the stored picture stretched over its client area, once
// the page has one to show.
class PictureBox : public QFrame {
 public:
  PictureBox(const PreviewPicture* picture, QWidget* parent)
      : QFrame(parent), picture_(picture) {
    setFrameStyle(QFrame::Box | QFrame::Sunken);
  }
  void setShown(bool shown) {
    shown_ = shown;
    update();
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    if (shown_) {
      QPainter painter(this);
      QRect r = contentsRect();
      picture_->draw(&painter, r.left(), r.top(), r.right() + 1, r.bottom() + 1);
    }
    QFrame::paintEvent(event);
  }

 private:
  const PreviewPicture* picture_;
  bool shown_ = false;
};

PictureBox* AsPictureBox(QWidget* box) { return static_cast<PictureBox*>(box); }

// The open dialog's filter: every format Qt's image plugins read here.
QString PictureFilter() {
  QStringList patterns;
  for (const QByteArray& format : QImageReader::supportedImageFormats()) {
    patterns << QStringLiteral("*.") + QString::fromLatin1(format);
  }
  return Ui("图片 (%1);;所有文件 (*)").arg(patterns.join(QLatin1Char(' ')));
}

// `picture` reduced for the reader as `qrtool decode` reduces a picture file,
// on white where it is transparent (codes on a clear background stay dark on light).
QImage FitForReader(const QImage& picture) {
  QImage opaque(picture.size(), QImage::Format_BGR888);
  opaque.fill(Qt::white);
  QPainter(&opaque).drawImage(0, 0, picture);
  BgrPicture rows;
  rows.width = opaque.width();
  rows.height = opaque.height();
  const qsizetype stride = (rows.width * 3 + 3) / 4 * 4;
  rows.rows.resize(static_cast<size_t>(stride * rows.height));
  for (int y = 0; y < rows.height; ++y) {
    std::memcpy(rows.rows.data() + stride * (rows.height - 1 - y), opaque.constScanLine(y),
                static_cast<size_t>(rows.width) * 3);
  }
  if (FitPictureForReader(&rows) == 1) return opaque;
  QImage fitted(rows.width, rows.height, QImage::Format_BGR888);
  const qsizetype fittedStride = (rows.width * 3 + 3) / 4 * 4;
  for (int y = 0; y < rows.height; ++y) {
    std::memcpy(fitted.scanLine(y), rows.rows.data() + fittedStride * (rows.height - 1 - y),
                static_cast<size_t>(rows.width) * 3);
  }
  return fitted;
}

// The first local file among dropped URLs; empty when there is none.
QString DroppedFile(const QMimeData* mime) {
  for (const QUrl& url : mime->urls()) {
    if (url.isLocalFile()) return url.toLocalFile();
  }
  return {};
}

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

DecodePage::DecodePage(const QString& workingFolder, QWidget* parent)
    : Page(QStringLiteral("    二维码分析    "), parent), workingFolder_(workingFolder) {
  setFixedSize(Dlu(395, 282));
  QFont font;
  font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("宋体"),
                    QStringLiteral("WenQuanYi Micro Hei")});
  font.setPointSize(10);
  setFont(font);

  auto* page = new QHBoxLayout(this);
  page->setContentsMargins(Dlu(3), Dlu(2), Dlu(2), Dlu(4));
  page->setSpacing(Dlu(5));
  page->addWidget(buildCameraColumn(), 0, Qt::AlignTop);
  page->addWidget(buildResultColumn(), 0, Qt::AlignTop);
  page->addStretch(1);
  setAcceptDrops(true);
  connectControls();
  camera_.setSnapshotTarget((workingFolder_ + QStringLiteral("/ph.bmp")).toStdString(),
                            postToThisPage());
}

DecodePage::~DecodePage() {
  // No decode may still post to this page once it is gone.
  camera_.stop();
  camera_.waitForFrameDone();
}

DecodeNotify DecodePage::postToThisPage() {
  // Decodes finish on the camera's worker thread: the code travels as an event.
  QPointer<DecodePage> page(this);
  return [page](int32_t code) { PostDecodeDone(page.data(), code); };
}

QWidget* DecodePage::buildCameraColumn() {
  auto* column = new QWidget(this);
  auto* layout = new QVBoxLayout(column);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(Dlu(3));
  previewArea_ = new QFrame(column);
  previewArea_->setObjectName(QStringLiteral("previewArea"));
  previewArea_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  previewArea_->setAutoFillBackground(true);
  previewArea_->setStyleSheet(QStringLiteral("background-color: #808080;"));
  previewArea_->setFixedSize(Dlu(193, 185));
  layout->addWidget(previewArea_);
  layout->addWidget(buildParameterGroup());
  layout->addWidget(buildButtonRow());
  return column;
}

QWidget* DecodePage::buildParameterGroup() {
  auto* group = new QGroupBox(Ui("参数"), this);
  group->setFixedSize(Dlu(194, 66));
  auto* grid = new QGridLayout(group);
  // Clear of the frame's top line whatever the style draws there, and rows
  // spread over what is left rather than at a fixed pitch that a larger font
  // would push past the frame.
  grid->setContentsMargins(Dlu(4), Dlu(2), Dlu(3), Dlu(2));
  grid->setHorizontalSpacing(Dlu(3));
  grid->setVerticalSpacing(Dlu(2));
  for (int row = 0; row < 3; ++row) grid->setRowStretch(row, 1);
  devices_ = new QComboBox(group);
  devices_->setObjectName(QStringLiteral("deviceList"));
  encodings_ = new QComboBox(group);
  encodings_->setObjectName(QStringLiteral("encodingList"));
  interval_ = new QLineEdit(QStringLiteral("1"), group);
  interval_->setObjectName(QStringLiteral("intervalEdit"));
  interval_->setMaxLength(1);
  interval_->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]?")), interval_));
  interval_->setFixedWidth(Dlu(29));
  previewCheck_ = new QCheckBox(Ui("启动预览"), group);
  previewCheck_->setObjectName(QStringLiteral("previewCheck"));
  autoCheck_ = new QCheckBox(Ui("自动解码"), group);
  autoCheck_->setObjectName(QStringLiteral("autoDecodeCheck"));
  autoCheck_->setEnabled(false);
  auto* intervalRow = new QHBoxLayout;
  intervalRow->addWidget(interval_);
  intervalRow->addWidget(new QLabel(Ui("秒"), group));
  intervalRow->addStretch(1);
  intervalRow->addWidget(previewCheck_);
  intervalRow->addWidget(autoCheck_);
  grid->addWidget(new QLabel(Ui("视频设备："), group), 0, 0);
  grid->addWidget(devices_, 0, 1);
  grid->addWidget(new QLabel(Ui("输出编码："), group), 1, 0);
  grid->addWidget(encodings_, 1, 1);
  grid->addWidget(new QLabel(Ui("解码间隔："), group), 2, 0);
  grid->addLayout(intervalRow, 2, 1);
  return group;
}

QWidget* DecodePage::buildButtonRow() {
  auto* row = new QWidget(this);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  videoDecode_ = new QPushButton(Ui("视频解码"), row);
  videoDecode_->setObjectName(QStringLiteral("videoDecodeButton"));
  videoDecode_->setFixedSize(Dlu(46, 17));
  videoDecode_->setEnabled(false);
  screenshotDecode_ = new QPushButton(Ui("截图解码"), row);
  screenshotDecode_->setObjectName(QStringLiteral("screenshotDecodeButton"));
  screenshotDecode_->setFixedSize(Dlu(46, 16));
  openPicture_ = new QPushButton(Ui("打开图片…"), row);
  openPicture_->setObjectName(QStringLiteral("openPictureButton"));
  openPicture_->setFixedSize(Dlu(46, 17));
  copy_ = new QPushButton(Ui("复制"), row);
  copy_->setObjectName(QStringLiteral("copyButton"));
  copy_->setFixedSize(Dlu(46, 17));
  copy_->setEnabled(false);
  // Four buttons share the column's width, evenly spaced.
  for (QPushButton* button : {videoDecode_, screenshotDecode_, openPicture_, copy_}) {
    if (button != videoDecode_) layout->addStretch(1);
    layout->addWidget(button);
  }
  return row;
}

QWidget* DecodePage::buildResultColumn() {
  auto* column = new QWidget(this);
  auto* layout = new QVBoxLayout(column);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(Dlu(2));
  pictureBox_ = new PictureBox(&picture_, column);
  pictureBox_->setObjectName(QStringLiteral("pictureBox"));
  pictureBox_->setFixedSize(Dlu(191, 186));
  auto* contentLabel = new QLabel(Ui("解码内容："), column);
  contentLabel->setObjectName(QStringLiteral("resultLabel"));
  contentLabel->setContentsMargins(Dlu(5), 0, 0, 0);
  result_ = new QPlainTextEdit(column);
  result_->setObjectName(QStringLiteral("resultText"));
  result_->setFixedSize(Dlu(190, 74));
  result_->setLineWrapMode(QPlainTextEdit::NoWrap);
  result_->setAcceptDrops(false);  // a picture dropped on it goes to the page
  result_->setPlainText(DisplayText(QByteArray(Gbk(kHelpText).c_str())));
  layout->addWidget(pictureBox_);
  layout->addWidget(contentLabel);
  layout->addWidget(result_);
  return column;
}

void DecodePage::connectControls() {
  connect(previewCheck_, &QCheckBox::clicked, this, &DecodePage::onPreviewClicked);
  connect(autoCheck_, &QCheckBox::clicked, this, &DecodePage::onAutoDecodeClicked);
  connect(videoDecode_, &QPushButton::clicked, this, [this] { camera_.requestSnapshot(true); });
  connect(screenshotDecode_, &QPushButton::clicked, this, &DecodePage::onScreenshotDecode);
  connect(openPicture_, &QPushButton::clicked, this, &DecodePage::onOpenPicture);
  connect(copy_, &QPushButton::clicked, this,
          [this] { QGuiApplication::clipboard()->setText(decodedText_); });
  connect(&timer_, &QTimer::timeout, this, &DecodePage::onTimer);
}

void DecodePage::initialisePage() {
  encodings_->insertItem(kEncodingChinese, Ui("中文编码"));
  encodings_->insertItem(kEncodingUnicode, Ui("UNICODE编码"));
  encodings_->insertItem(kEncodingUtf8, Ui("UTF8编码"));
  encodings_->setCurrentIndex(kEncodingChinese);
  connect(encodings_, &QComboBox::currentIndexChanged, this,
          [this] { PostDecodeDone(this, DECODE_RESULTS_READY); });
  AsPictureBox(pictureBox_)->setShown(false);

  int devices = camera_.enumDevices(devices_);
  devices_->setCurrentIndex(0);
  if (devices < 1) {
    videoDecode_->setEnabled(false);
    previewCheck_->setEnabled(false);
    ShowError(this, Ui(kNoCamera));
  }
  timer_.start(kTimerMs);
}

void DecodePage::onPreviewClicked() {
  if (previewing_) {
    previewing_ = false;
    camera_.stop();
    previewCheck_->setChecked(false);
    videoDecode_->setEnabled(false);
    autoCheck_->setEnabled(false);
    AsPictureBox(pictureBox_)->setShown(false);
    autoCheck_->setChecked(false);
    autoDecode_ = false;
    return;
  }
  previewing_ = true;
  // Failures are reported by the capture's own messages; the page stays previewing.
  camera_.start(devices_->currentIndex(), previewArea_);
  previewCheck_->setChecked(true);
  videoDecode_->setEnabled(true);
  autoCheck_->setEnabled(true);
}

void DecodePage::onAutoDecodeClicked() {
  if (!previewing_) {
    ShowError(this, Ui(kStartPreviewFirst));
    return;
  }
  const bool ticked = autoCheck_->isChecked();
  const QString interval = interval_->text();
  if (interval.isEmpty() && ticked) {
    ShowError(this, Ui(kEnterInterval));
    autoCheck_->setChecked(false);
    autoDecode_ = false;
    interval_->setFocus();
    return;
  }
  if (ticked) {
    autoDecode_ = true;
    autoInterval_ = interval.toInt();
    videoDecode_->setEnabled(false);
    return;
  }
  autoDecode_ = false;
  videoDecode_->setEnabled(true);
}

void DecodePage::onTimer() {
  ++timerTicks_;
  if (autoDecode_ && timerTicks_ - lastAutoTick_ >= static_cast<uint32_t>(autoInterval_)) {
    lastAutoTick_ = timerTicks_;
    camera_.requestSnapshot(true);
  }
}

void DecodePage::onScreenshotDecode() {
  if (autoCheck_->isChecked()) {
    autoCheck_->setChecked(false);
    onAutoDecodeClicked();
  }
  QWidget* mainWindow = window();
  // A window manager places a window shown again as if it were new unless the
  // program asks for a position: ask for the one it had.
  const QPoint where = mainWindow->pos();
  mainWindow->hide();
  {
    // Let the window vanish from the screen before the screen is frozen.
    QEventLoop wait;
    QTimer::singleShot(kHideDelayMs, &wait, &QEventLoop::quit);
    wait.exec();
  }
  QImage picked;
  {
    ScreenCaptureWindow capture;
    capture.exec();
    picked = capture.picture();
  }
  mainWindow->move(where);
  mainWindow->show();
  if (picked.isNull()) return;
  decodePicture(picked);
}

void DecodePage::decodePicture(const QImage& picture) {
  const QString path = workingFolder_ + QStringLiteral("/cs.bmp");
  QImage bitmap = ScreenBitmap(picture);
  std::unique_ptr<BitmapInfo> info = CreateBitmapInfo(bitmap);
  if (!info) return;
  SaveBitmapToFile(path, *info, bitmap, postToThisPage());
  showPictureFile(path);
}

void DecodePage::onOpenPicture() {
  const QString path = Dialogs().openFileName(this, PictureFilter());
  if (!path.isEmpty()) decodePictureFile(path);
}

void DecodePage::decodePictureFile(const QString& path) {
  QImageReader reader(path);
  reader.setAutoTransform(true);
  const QImage picture = reader.read();
  if (picture.isNull()) {
    ShowError(this, Ui(kNotAPicture).arg(QFileInfo(path).fileName()));
    return;
  }
  decodePicture(FitForReader(picture));
}

void DecodePage::onPaste() {
  const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
  const QImage picture = mime != nullptr && mime->hasImage()
                             ? qvariant_cast<QImage>(mime->imageData())
                             : QImage();
  if (picture.isNull()) {
    ShowError(this, Ui(kNoClipboardPicture));
    return;
  }
  decodePicture(FitForReader(picture));
}

void DecodePage::keyPressEvent(QKeyEvent* event) {
  // Reaches the page when the focused control has no use for the keys.
  if (event->matches(QKeySequence::Paste)) {
    onPaste();
    return;
  }
  Page::keyPressEvent(event);
}

void DecodePage::dragEnterEvent(QDragEnterEvent* event) {
  const QMimeData* mime = event->mimeData();
  if (!DroppedFile(mime).isEmpty() || mime->hasImage()) event->acceptProposedAction();
}

void DecodePage::dropEvent(QDropEvent* event) {
  const QMimeData* mime = event->mimeData();
  const QString path = DroppedFile(mime);
  if (!path.isEmpty()) {
    event->acceptProposedAction();
    decodePictureFile(path);
  } else if (mime->hasImage()) {
    event->acceptProposedAction();
    const QImage picture = qvariant_cast<QImage>(mime->imageData());
    if (!picture.isNull()) decodePicture(FitForReader(picture));
  }
}

void DecodePage::showPictureFile(const QString& path) {
  picture_.load(path);
  AsPictureBox(pictureBox_)->setShown(true);
}

bool DecodePage::event(QEvent* event) {
  if (event->type() == DecodeDoneEvent::eventType()) {
    onDecodeDone(static_cast<DecodeDoneEvent*>(event)->code());
    return true;
  }
  return Page::event(event);
}

void DecodePage::onDecodeDone(int code) {
  switch (code) {
    case DECODE_NOTHING_FOUND:
      result_->setPlainText(DisplayText(QByteArray(Gbk(kNothingDecoded).c_str())));
      decodedText_.clear();
      copy_->setEnabled(false);
      break;
    case DECODE_RESULTS_READY:
      presentResults();
      break;
    case DECODE_SNAPSHOT_WRITTEN:
      showPictureFile(workingFolder_ + QStringLiteral("/ph.bmp"));
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

void DecodePage::presentResults() {
  // A camera decode may refill the table meanwhile: work on a copy.
  std::vector<DecodeResult> records = DecodeResultTable::Shared().Snapshot();
  if (records.empty()) return;
  QByteArray text = BuildResultText(records.data(), static_cast<int>(records.size()),
                                    encodings_->currentIndex(),
                                    [this](const QByteArray& soFar) { emit resultTextReady(soFar); });
  result_->setPlainText(DisplayText(text));
  // 复制 takes the codes' texts without the headings, one line each.
  QStringList texts;
  for (const DecodeResult& record : records) {
    texts << FromGbk(QByteArray::fromStdString(RecordText(record, encodings_->currentIndex())));
  }
  decodedText_ = texts.join(QLatin1Char('\n'));
  copy_->setEnabled(true);
  playSuccessSound();
}

void DecodePage::playSuccessSound() {
  if (sound_ == nullptr) {
    sound_ = new QSoundEffect(this);
    sound_->setSource(QUrl(QString::fromUtf8(kSoundUrl)));
  }
  // Asynchronous: never waits for the sound to end.
  sound_->play();
  ++soundsPlayed_;
}
