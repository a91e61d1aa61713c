#include "generation/ui/batch_page.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/dialog_service.h"
#include "ui/gbk_text.h"
#include "generation/generation_rules.h"
#include "generation/symbol_picture.h"

namespace {

constexpr int kLabelLines = 100;        // what the label offers; not enforced
constexpr int kListedUnwritten = 10;    // lines named in the write-failure message
constexpr qsizetype kShownLineChars = 40;  // a quoted line, so the message box holds it

QString Number(qsizetype n) { return QString::number(n); }

// A long line without blanks cannot wrap and would run past the message box's
// edge: its middle gives way to "…". (GBK text has no surrogate pairs to split.)
QString ShownLine(const QString& line) {
  if (line.size() <= kShownLineChars) return line;
  const qsizetype head = kShownLineChars / 2;
  return line.left(head) + QChar(0x2026) + line.right(kShownLineChars - head - 1);
}

QString RuleText(const RuleVerdict& verdict, const QString& lineText = {}) {
  return QString::fromStdString(RefusalText(verdict, lineText.toStdString()));
}

}  // namespace

BatchPage::BatchPage(QWidget* parent)
    : Page(QStringLiteral("  二维码批量生成  "), parent) {
  buildControls();
}

void BatchPage::setLinePause(int milliseconds) { pauseMs_ = std::max(0, milliseconds); }

void BatchPage::buildControls() {
  QGroupBox* group = BuildOptionGroup(this, &lists_);
  addDestinationRows(group);

  linesLabel_ = new QLabel(
      QStringLiteral("文本框内每行为一条待编码内容,最多允许输入100行，每行最大长度300字符，"
                     "您还可输入 100 行"),
      this);
  linesLabel_->setObjectName(QStringLiteral("linesLabel"));
  linesLabel_->setWordWrap(true);
  box_ = NewContentBox(this, "linesBox");
  generate_ = new QPushButton(QStringLiteral("批量生成"), this);
  generate_->setObjectName(QStringLiteral("generateButton"));
  generate_->setDefault(true);
  status_ = new QLabel(
      QStringLiteral("请输入编码内容，点击 批量生成 按钮，进行二维码批量生成操作"), this);
  status_->setObjectName(QStringLiteral("statusLabel"));
  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("batchProgress"));
  progress_->setFormat(QStringLiteral("%v / %m"));
  progress_->setVisible(false);

  auto* buttonRow = new QHBoxLayout;
  buttonRow->addStretch(1);
  buttonRow->addWidget(generate_);
  buttonRow->addStretch(1);
  auto* page = new QVBoxLayout(this);
  page->addWidget(group);
  page->addWidget(linesLabel_);
  page->addWidget(box_, 1);
  page->addLayout(buttonRow);
  page->addWidget(status_);
  page->addWidget(progress_);
  connectControls();
}

// The prefix and folder rows below the option lists, inside the same group.
void BatchPage::addDestinationRows(QGroupBox* group) {
  prefix_ = new QLineEdit(QStringLiteral("batqr"), this);
  prefix_->setObjectName(QStringLiteral("prefixEdit"));
  folder_ = new QLineEdit(QDir::homePath(), this);
  folder_->setObjectName(QStringLiteral("folderEdit"));
  browse_ = new QPushButton(QStringLiteral("浏览"), this);
  browse_->setObjectName(QStringLiteral("browseButton"));

  auto* prefixRow = new QHBoxLayout;
  prefixRow->addWidget(new QLabel(QStringLiteral("文件前缀："), this));
  prefixRow->addWidget(prefix_, 1);
  prefixRow->addWidget(new QLabel(QStringLiteral(".JPG(保存文件的名称前缀)"), this));
  auto* folderRow = new QHBoxLayout;
  folderRow->addWidget(new QLabel(QStringLiteral("保存路径："), this));
  folderRow->addWidget(folder_, 1);
  folderRow->addWidget(browse_);
  auto* groupLayout = qobject_cast<QGridLayout*>(group->layout());
  groupLayout->addLayout(prefixRow, 2, 0, 1, 4);
  groupLayout->addLayout(folderRow, 3, 0, 1, 4);
}

void BatchPage::connectControls() {
  timer_ = new QTimer(this);
  timer_->setSingleShot(true);
  connect(timer_, &QTimer::timeout, this, &BatchPage::runNextLine);
  connect(browse_, &QPushButton::clicked, this, &BatchPage::onBrowse);
  connect(generate_, &QPushButton::clicked, this, &BatchPage::onBatchGenerate);
}

void BatchPage::initialisePage() {
  FillOptionLists(lists_);
  connect(lists_.version, &QComboBox::currentIndexChanged, this, &BatchPage::onLimitListChanged);
  connect(lists_.level, &QComboBox::currentIndexChanged, this, &BatchPage::onLimitListChanged);
  connect(box_, &QPlainTextEdit::textChanged, this, &BatchPage::updateLinesLabel);
}

void BatchPage::onLimitListChanged() {
  limit_ = CharacterLimit(VersionIndex(lists_), LevelIndex(lists_));
  updateLinesLabel();
}

void BatchPage::updateLinesLabel() {
  const qsizetype lines = NormalisedBoxText(box_->toPlainText()).count(QLatin1Char('\n')) + 1;
  linesLabel_->setText(
      QStringLiteral("文本框内每行为一条待编码内容,最多允许输入100行，每行最大长度 %1 字符，"
                     "您还可输入 %2 行")
          .arg(limit_)
          .arg(kLabelLines - lines));
}

void BatchPage::onBrowse() {
  const QString chosen = Dialogs().folder(this, QStringLiteral("请选择文件保存目录"));
  if (!chosen.isEmpty()) folder_->setText(chosen);
}

bool BatchPage::validateSettings() {
  const QByteArray prefix = prefix_->text().toUtf8();
  const QByteArray folder = folder_->text().toUtf8();
  const RuleVerdict verdict =
      CheckBatchDestination(std::string_view(prefix.constData(), prefix.size()),
                            std::string_view(folder.constData(), folder.size()),
                            QFileInfo::exists(folder_->text()));
  if (verdict.passed()) return true;
  ShowError(this, RuleText(verdict));
  const bool prefixFault =
      verdict.what == Refusal::kNoPrefix || verdict.what == Refusal::kBadPrefix;
  QWidget* focus = prefixFault ? static_cast<QWidget*>(prefix_) : browse_;
  focus->setFocus(Qt::OtherFocusReason);
  return false;
}

// The box checks, in order: empty, too many lines, a character without a GBK
// form, a line over the limit.
bool BatchPage::readLines(std::vector<std::string>* lines) {
  const QString text = NormalisedBoxText(box_->toPlainText());
  auto refuse = [this](const QString& message) {
    ShowError(this, message);
    box_->setFocus(Qt::OtherFocusReason);
    return false;
  };
  const RuleVerdict size =
      CheckBatchSize(text.isEmpty(), static_cast<size_t>(text.count(QLatin1Char('\n')) + 1));
  if (!size.passed()) return refuse(RuleText(size));
  QByteArray gbk;
  QString bad;
  if (!BoxTextToGbk(text, &gbk, &bad)) {
    const qsizetype line = text.left(text.indexOf(bad)).count(QLatin1Char('\n')) + 1;
    return refuse(QStringLiteral("第 %1 行：").arg(line) + UnencodableCharacterText(bad));
  }
  *lines = SplitBoxLines(std::string_view(gbk.constData(), static_cast<size_t>(gbk.size())));
  const RuleVerdict length = CheckBatchLines(*lines, limit_);
  if (length.passed()) return true;
  const std::string& line = (*lines)[static_cast<size_t>(length.line - 1)];
  const QString lineText = FromGbk(QByteArray(line.data(), static_cast<qsizetype>(line.size())));
  return refuse(RuleText(length, ShownLine(lineText)));
}

void BatchPage::onBatchGenerate() {
  if (running_) return;
  std::vector<std::string> lines;
  if (!validateSettings() || !readLines(&lines)) return;
  StartBatch(std::move(lines));
}

void BatchPage::StartBatch(std::vector<std::string> lines) {
  job_ = Job{};
  job_.lines = std::move(lines);
  job_.folder = folder_->text();
  job_.prefix = prefix_->text();
  job_.versionIndex = VersionIndex(lists_);
  job_.levelIndex = LevelIndex(lists_);
  job_.pixels = ModulePixels(lists_);
  job_.inputMode = InputMode(lists_);

  running_ = true;
  box_->setEnabled(false);
  generate_->setEnabled(false);
  progress_->setRange(0, static_cast<int>(job_.lines.size()));
  progress_->setValue(0);
  progress_->setVisible(true);
  timer_->start(0);  // let the disabled box paint before the first line
}

void BatchPage::runNextLine() {
  while (job_.next < job_.lines.size()) {
    const size_t index = job_.next++;
    progress_->setValue(static_cast<int>(job_.next));
    const std::string& line = job_.lines[index];
    if (line.empty()) continue;  // no symbol and no pause
    if (!generateLine(static_cast<int>(index + 1), line)) {
      endBatch(BatchEnd::kNoRecord);
      return;
    }
    if (!running_) return;  // stopped while this line's message was open
    timer_->start(pauseMs_);
    return;
  }
  endBatch(BatchEnd::kCompleted);
}

int BatchPage::stop() {
  if (running_) endBatch(BatchEnd::kStopped);
  return job_.generated;
}

bool BatchPage::generateLine(int lineNumber, const std::string& line) {
  QrSymbolPtr symbol = NewQrSymbol(job_.versionIndex, job_.levelIndex, job_.inputMode);
  if (!symbol) {
    ShowError(this, RuleText({Refusal::kNoBatchRecord}));
    return false;
  }
  const int32_t result = qr_encode(symbol.get(), reinterpret_cast<const uint8_t*>(line.data()),
                                   static_cast<int32_t>(line.size()));
  const std::string file = BatchFileName(QFile::encodeName(job_.folder).toStdString(),
                                         QFile::encodeName(job_.prefix).toStdString(),
                                         lineNumber);
  if (result == QR_OK) {
    if (SaveSymbolPicture(symbol.get(), job_.pixels, file.c_str()) > 0) {
      ++job_.generated;
    } else {
      job_.unwritten.emplace_back(lineNumber, QFile::decodeName(file.c_str()));
    }
  } else {
    const QString lineText = FromGbk(QByteArray(line.data(), static_cast<qsizetype>(line.size())));
    ShowError(this, QStringLiteral("创建二维码失败:\r\n二维码内容：%1\r\n错误原因：%2")
                        .arg(ShownLine(lineText), QString::fromLatin1(symbol->errorText)));
  }
  return true;
}

// Files that could not be written are named once at the end rather than in a
// box per line: a full disk or a read-only folder fails every line alike.
void BatchPage::reportUnwritten() {
  if (job_.unwritten.empty()) return;
  QString text = QStringLiteral("以下 %1 行的二维码图片无法写入，未计入生成数量：")
                     .arg(job_.unwritten.size());
  const size_t listed = std::min<size_t>(job_.unwritten.size(), kListedUnwritten);
  for (size_t i = 0; i < listed; ++i) {
    text += QStringLiteral("\n第 %1 行：%2").arg(Number(job_.unwritten[i].first),
                                               job_.unwritten[i].second);
  }
  if (listed < job_.unwritten.size()) text += QStringLiteral("\n……");
  text += QStringLiteral("\n请检查保存路径是否可写、磁盘空间是否充足！");
  ShowError(this, text);
}

void BatchPage::endBatch(BatchEnd how) {
  timer_->stop();
  running_ = false;  // before the messages, whose event loops may ask to stop
  if (how == BatchEnd::kCompleted) {
    status_->setText(
        QString::fromStdString(BatchSummaryText(job_.generated)));
  }
  if (how != BatchEnd::kNoRecord) reportUnwritten();
  if (how == BatchEnd::kCompleted) {
    Dialogs().message(this, QStringLiteral("二维码批量生成完毕！"),
                      DialogService::Icon::Information, AppCaption());
  }
  progress_->setVisible(false);
  box_->setEnabled(true);
  generate_->setEnabled(true);
  emit batchFinished(how == BatchEnd::kNoRecord ? -1 : job_.generated);
}
