#include "generation/ui/make_qr.h"

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

#include "app/module_dir.h"
#include "app/ui/dialogs.h"
#include "generation/generation_rules.h"
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
    picture_->Draw(&painter, r.left(), r.top(), r.left() + r.width(), r.top() + r.height());
  }

 private:
  const PreviewPicture* picture_;
  std::function<bool()> ready_;
};

QString StatusForLevel(int32_t level, int32_t version, int32_t side) {
  const char16_t* format;
  switch (level) {
    case 1:
      format = u"二维码生成成功 使用版本：%1   使用纠错级别： 低   图像尺寸: %2 X %3 ";
      break;
    case 2:
      format = u"二维码生成成功 使用版本：%1   使用纠错级别： 中   图像尺寸: %2 X %3";
      break;
    case 3:
      format = u"二维码生成成功 使用版本：%1   使用纠错级别： 强   图像尺寸: %2 X %3";
      break;
    default:
      format = u"二维码生成成功 使用版本：%1   使用纠错级别： 高   图像尺寸: %2 X %3";
      break;
  }
  return QString::fromUtf16(format).arg(version).arg(side).arg(side);
}

bool CopyReplacing(const QString& from, const QString& to) {
  std::error_code ec;
  std::filesystem::copy_file(QFile::encodeName(from).toStdString(),
                             QFile::encodeName(to).toStdString(),
                             std::filesystem::copy_options::overwrite_existing, ec);
  return !ec;
}

}  // namespace

CMakeQr::CMakeQr(QWidget* parent)
    : CPropertyPage(QStringLiteral("    二维码生成    "), parent) {
  BuildControls();
}

QString CMakeQr::WorkingPicturePath() {
  return QFile::decodeName(ModuleDirectory) + QStringLiteral("/qr.jpg");
}

void CMakeQr::BuildControls() {
  QGroupBox* group =
      BuildOptionGroup(this, {"1019", "1025", "1021", "1018"}, &lists_);

  remaining_ = new QLabel(QStringLiteral("二维码内容：还可输入300个字符"), this);
  remaining_->setObjectName(QStringLiteral("1040"));
  text_ = NewContentBox(this, "1020");

  generate_ = new QPushButton(QStringLiteral("生成"), this);
  generate_->setObjectName(QStringLiteral("1022"));
  generate_->setDefault(true);
  save_ = new QPushButton(QStringLiteral("保存图像"), this);
  save_->setObjectName(QStringLiteral("1023"));

  previewBox_ = new PreviewBox(&preview_, [this] { return pictureReady_; }, this);
  previewBox_->setObjectName(QStringLiteral("1027"));

  status_ = new QLabel(kInitialStatus, this);
  status_->setObjectName(QStringLiteral("1059"));

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

  connect(generate_, &QPushButton::clicked, this, &CMakeQr::OnGenerate);
  connect(save_, &QPushButton::clicked, this, &CMakeQr::OnSave);
}

void CMakeQr::OnInitDialog() {
  FillOptionLists(lists_);
  connect(lists_.version, &QComboBox::currentIndexChanged, this, &CMakeQr::OnLimitListChanged);
  connect(lists_.level, &QComboBox::currentIndexChanged, this, &CMakeQr::OnLimitListChanged);
  connect(text_, &QPlainTextEdit::textChanged, this, &CMakeQr::UpdateRemainingLabel);
}

void CMakeQr::OnLimitListChanged() {
  limit_ = CharacterLimit(VersionIndex(lists_), LevelIndex(lists_));
  UpdateRemainingLabel();
}

void CMakeQr::UpdateRemainingLabel() {
  const int left = limit_ - BoxTextGbkLength(text_->toPlainText());
  remaining_->setText(QStringLiteral("二维码内容：还可输入%1个字符").arg(left));
}

void CMakeQr::FocusText() { text_->setFocus(Qt::OtherFocusReason); }

// The checks before anything changes: a character without a GBK form, then
// the length against the limit, then an empty text.
bool CMakeQr::ReadText(QByteArray* gbk) {
  QString bad;
  if (!BoxTextToGbk(text_->toPlainText(), gbk, &bad)) {
    ShowError(this, UnencodableCharacterText(bad));
    FocusText();
    return false;
  }
  if (gbk->size() > limit_) {
    ShowError(this, QStringLiteral("您输入的内容过长，请输入 %1 个字符以内的内容！").arg(limit_));
    FocusText();
    return false;
  }
  if (gbk->isEmpty()) {
    ShowError(this, QStringLiteral("请输入二维码内容！"));
    FocusText();
    return false;
  }
  return true;
}

void CMakeQr::OnGenerate() {
  QByteArray gbk;
  if (!ReadText(&gbk)) return;

  pictureReady_ = false;
  QrSymbolPtr symbol =
      NewQrSymbol(VersionIndex(lists_), LevelIndex(lists_), InputMode(lists_));
  if (!symbol) {
    ShowError(this, QStringLiteral("创建二维码失败！"));
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
  ShowGenerated(*symbol);
}

void CMakeQr::ShowGenerated(const QrSymbol& symbol) {
  const QString path = WorkingPicturePath();
  const bool written = SaveSymbolPicture(&symbol, ModulePixels(lists_), nullptr) == 1 &&
                       preview_.Load(path) == 1 && !preview_.isEmpty();
  if (!written) {
    // Showing an old picture, or none, under a success line would mislead.
    status_->setText(QStringLiteral("二维码生成失败：无法写入图片文件 %1 ").arg(path));
    ShowError(this, QStringLiteral("无法写入图片文件“%1”，请检查该目录是否可写、磁盘空间是否充足！")
                        .arg(path));
    previewBox_->update();
    return;
  }
  pictureReady_ = true;
  status_->setText(StatusForLevel(symbol.ecLevel, symbol.version, g_nPictureSide));
  previewBox_->update();
}

void CMakeQr::OnSave() {
  if (!pictureReady_) {
    ShowError(this, QStringLiteral("请先生成图片"));
    return;
  }
  const QString chosen = Dialogs().saveFileName(this, QStringLiteral("qr_pic"),
                                                QStringLiteral("图片文件(*.jpg)"));
  if (chosen.isEmpty()) return;
  const QString destination = chosen + QStringLiteral(".jpg");
  if (!CopyReplacing(WorkingPicturePath(), destination)) {
    // The user would otherwise believe the picture is saved.
    ShowError(this, QStringLiteral("图像保存失败，无法写入文件“%1”！").arg(destination));
  }
}
