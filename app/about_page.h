// The about page (fifth tab, "  关于Velmora  "): banner, product and release
// lines, and the maker's contact block with its links.
#pragma once
#include "ui/page.h"

class LinkLabel;
class QLabel;

class AboutPage : public Page {
  Q_OBJECT
 public:
  explicit AboutPage(QWidget* parent = nullptr);

  // The maker's web site (target of the company and web links) and support address.
  static QString webSite();
  static QString supportMail();

 protected:
  void initialisePage() override;

 private:
  QLabel* banner_;
  LinkLabel* company_;
  LinkLabel* mail_;
  LinkLabel* web_;
};
