#include "app/about_page.h"

#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

#include "app/link_label.h"

namespace {

// The maker's details (invented; the page needs one value for each).
const char kCompany[] = "Velmora Example Co., Ltd.";
const char kAddress[] = "地址：示例市示例区示例路 1 号";
const char kPostCode[] = "邮编：000000";
const char kPhone[] = "电话：010-0000-0000";
const char kFax[] = "传真：010-0000-0001";
const char kMail[] = "support@example.com";
const char kWeb[] = "https://www.example.com";

// The banner's height in pixels: the picture is drawn for it.
constexpr int kBannerHeight = 106;

QLabel* Text(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

}  // namespace

QString AboutPage::webSite() { return QString::fromUtf8(kWeb); }
QString AboutPage::supportMail() { return QString::fromUtf8(kMail); }

AboutPage::AboutPage(QWidget* parent) : Page(QStringLiteral("  关于Velmora  "), parent) {
  banner_ = new QLabel(this);
  banner_->setObjectName("banner");
  banner_->setAlignment(Qt::AlignCenter);
  banner_->setFixedHeight(kBannerHeight);

  company_ = new LinkLabel(QString::fromUtf8(kCompany), this);
  company_->setObjectName("companyLink");
  mail_ = new LinkLabel(QStringLiteral("邮箱：") + supportMail(), this);
  mail_->setObjectName("mailLink");
  web_ = new LinkLabel(QStringLiteral("网址：") + webSite(), this);
  web_->setObjectName("webLink");

  auto* text = new QVBoxLayout;
  text->setContentsMargins(40, 8, 20, 8);
  text->setSpacing(6);
  text->addWidget(Text(QStringLiteral("Velmora二维码生成分析工具2.0 "), this));
  text->addWidget(Text(QStringLiteral("Release 2012.08.01"), this));
  text->addSpacing(10);
  text->addWidget(company_);
  text->addWidget(Text(QStringLiteral("联系我们："), this));
  for (const char* line : {kAddress, kPostCode, kPhone, kFax}) {
    text->addWidget(Text(QString::fromUtf8(line), this));
  }
  text->addWidget(mail_);
  text->addWidget(web_);

  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(0, 0, 0, 0);
  page->addWidget(banner_);
  page->addLayout(text);
  page->addStretch(1);
}

void AboutPage::initialisePage() {
  banner_->setPixmap(QPixmap(QStringLiteral(":/banner.png")));
  company_->setTarget(webSite());
  mail_->setTarget(QStringLiteral("mailto:") + supportMail());
  web_->setTarget(webSite());
}
