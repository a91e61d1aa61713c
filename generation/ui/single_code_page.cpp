#include "generation/ui/single_code_page.h"

#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>
#include <functional>
#include <system_error>

#include "ui/dialog_service.h"
#include "generation/generation_rules.h"
#include "generation/symbol_formats.h"
#include "generation/symbol_picture.h"

namespace {

const QString kInitialStatus =
    QStringLiteral("请输入二维码内容后，点击 生成按钮 来生成二维码生成操作       ");

// The bordered box on the right half of the page; draws the held picture
// stretched over its whole inside while the page says a picture is ready.
class PreviewBox final : public QFrame {
 public:
  PreviewBox(const PreviewPicture* picture, std::function<bool()> ready, QWidget* parent)
      : QFrame(parent), picture_(picture), ready_(std::move(ready)) {
    setFrameStyle(QFrame::Box | QFrame::Sunken);
    setMinimumSize(240, 280);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    QFrame::paintEvent(event);
    if (!ready_()) return;
    QPainter painter(this);
    const QRect r = contentsRect();
    picture_->draw(&painter, r.left(), r.top(), r.left() + r.width(), r.top() + r.height());
  }

 private:
  const PreviewPicture* picture_;
  std::function<bool()> ready_;
};

QString RuleText(const RuleVerdict& verdict) {
  return QString::fromStdString(RefusalText(verdict));
}

bool CopyReplacing(const QString& from, const QString& to) {
  std::error_code ec;
  std::filesystem::copy_file(QFile::encodeName(from).toStdString(),
                             QFile::encodeName(to).toStdString(),
                             std::filesystem::copy_options::overwrite_existing, ec);
  return !ec;
}

}  // namespace

SingleCodePage::SingleCodePage(const QString& workingFolder, QWidget* parent)
    : Page(QStringLiteral("    二维码生成    "), parent), workingFolder_(workingFolder) {
  buildControls();
}

QString SingleCodePage::workingPicturePath() const {
  return workingFolder_ + QStringLiteral("/qr.jpg");
}

void SingleCodePage::buildControls() {
  QGroupBox* group = BuildOptionGroup(this, &lists_);
  remaining_ = new QLabel(QStringLiteral("二维码内容：还可输入300个字符"), this);
  remaining_->setObjectName(QStringLiteral("remainingLabel"));
  text_ = NewContentBox(this, "textBox");

  generate_ = new QPushButton(QStringLiteral("生成"), this);
  generate_->setObjectName(QStringLiteral("generateButton"));
  generate_->setDefault(true);
  save_ = new QPushButton(QStringLiteral("保存图像"), this);
  save_->setObjectName(QStringLiteral("saveButton"));

  previewBox_ = new PreviewBox(&preview_, [this] { return pictureReady_; }, this);
  previewBox_->setObjectName(QStringLiteral("previewBox"));

  status_ = new QLabel(kInitialStatus, this);
  status_->setObjectName(QStringLiteral("statusLabel"));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(generate_);
  buttons->addWidget(save_);
  buttons->addStretch(1);
  auto* left = new QVBoxLayout;
  left->addWidget(group);
  left->addWidget(remaining_);
  left->addWidget(text_, 1);
  left->addLayout(buttons);

  auto* halves = new QHBoxLayout;
  halves->addLayout(left, 1);
  halves->addWidget(previewBox_, 1);
  auto* page = new QVBoxLayout(this);
  page->addLayout(halves, 1);
  page->addWidget(status_);

  connect(generate_, &QPushButton::clicked, this, &SingleCodePage::onGenerate);
  connect(save_, &QPushButton::clicked, this, &SingleCodePage::onSave);
}

void SingleCodePage::initialisePage() {
  FillOptionLists(lists_);
  connect(lists_.version, &QComboBox::currentIndexChanged, this, &SingleCodePage::onLimitListChanged);
  connect(lists_.level, &QComboBox::currentIndexChanged, this, &SingleCodePage::onLimitListChanged);
  connect(text_, &QPlainTextEdit::textChanged, this, &SingleCodePage::updateRemainingLabel);
}

void SingleCodePage::onLimitListChanged() {
  limit_ = CharacterLimit(VersionIndex(lists_), LevelIndex(lists_));
  updateRemainingLabel();
}

void SingleCodePage::updateRemainingLabel() {
  const int left = limit_ - BoxTextGbkLength(text_->toPlainText());
  remaining_->setText(QStringLiteral("二维码内容：还可输入%1个字符").arg(left));
}

void SingleCodePage::focusText() { text_->setFocus(Qt::OtherFocusReason); }

// The checks before anything changes: a character without a GBK form, then
// the length against the limit, then an empty text.
bool SingleCodePage::readText(QByteArray* gbk) {
  QString bad;
  if (!BoxTextToGbk(text_->toPlainText(), gbk, &bad)) {
    ShowError(this, UnencodableCharacterText(bad));
    focusText();
    return false;
  }
  const RuleVerdict verdict =
      CheckSingleText(std::string_view(gbk->constData(), static_cast<size_t>(gbk->size())), limit_);
  if (!verdict.passed()) {
    ShowError(this, RuleText(verdict));
    focusText();
    return false;
  }
  return true;
}

void SingleCodePage::onGenerate() {
  QByteArray gbk;
  if (!readText(&gbk)) return;

  pictureReady_ = false;
  QrSymbolPtr symbol =
      NewQrSymbol(VersionIndex(lists_), LevelIndex(lists_), InputMode(lists_));
  if (!symbol) {
    ShowError(this, RuleText({Refusal::kNoSymbolRecord}));
    previewBox_->update();
    return;
  }
  const int32_t result = qr_encode(symbol.get(), reinterpret_cast<const uint8_t*>(gbk.constData()),
                                   static_cast<int32_t>(gbk.size()));
  if (result != QR_OK) {
    status_->setText(QStringLiteral("二维码生成失败：%1 ")
                         .arg(QString::fromLatin1(symbol->errorText)));
    ShowError(this, QStringLiteral("生成二维码失败"));
    previewBox_->update();
    return;
  }
  showGenerated(*symbol);
  if (pictureReady_) {
    shown_ = std::move(symbol);
    shownModulePixels_ = ModulePixels(lists_);
  }
}

void SingleCodePage::showGenerated(const QrSymbol& symbol) {
  const QString path = workingPicturePath();
  const int32_t side =
      SaveSymbolPicture(&symbol, ModulePixels(lists_), QFile::encodeName(path).constData());
  const bool written = side > 0 && preview_.load(path) == 1 && !preview_.isEmpty();
  if (!written) {
    // Showing an old picture, or none, under a success line would mislead.
    status_->setText(QStringLiteral("二维码生成失败：无法写入图片文件 %1 ").arg(path));
    ShowError(this, QStringLiteral("无法写入图片文件“%1”，请检查该目录是否可写、磁盘空间是否充足！")
                        .arg(path));
    previewBox_->update();
    return;
  }
  pictureReady_ = true;
  status_->setText(QString::fromStdString(GeneratedStatusText(symbol.ecLevel, symbol.version, side)));
  previewBox_->update();
}

void SingleCodePage::onSave() {
  if (!pictureReady_) {
    ShowError(this, QStringLiteral("请先生成图片"));
    return;
  }
  // JPEG first: the default, and what the page has always saved.
  const QString png = QStringLiteral("PNG 图片(*.png)"), svg = QStringLiteral("SVG 图片(*.svg)");
  QString filter;
  const QString chosen = Dialogs().saveFileName(
      this, QStringLiteral("qr_pic"), QStringLiteral("图片文件(*.jpg);;%1;;%2").arg(png, svg),
      &filter);
  if (chosen.isEmpty()) return;
  symbolfile::Format format = symbolfile::FormatForName(QFile::encodeName(chosen).toStdString());
  if (format == symbolfile::Format::kJpeg && (filter == png || filter == svg)) {
    format = filter == png ? symbolfile::Format::kPng : symbolfile::Format::kSvg;
  }
  bool saved = false;
  QString destination = chosen;
  if (format == symbolfile::Format::kJpeg) {
    destination += QStringLiteral(".jpg");  // appended even to a name ending in .jpg, as always
    saved = CopyReplacing(workingPicturePath(), destination);
  } else {
    const QString extension = format == symbolfile::Format::kPng ? QStringLiteral(".png")
                                                                 : QStringLiteral(".svg");
    if (!destination.endsWith(extension, Qt::CaseInsensitive)) destination += extension;
    saved = symbolfile::Save(format, shown_.get(), shownModulePixels_,
                             QFile::encodeName(destination).constData()) > 0;
  }
  if (!saved) {
    // The user would otherwise believe the picture is saved.
    ShowError(this, QStringLiteral("图像保存失败，无法写入文件“%1”！").arg(destination));
  }
}
