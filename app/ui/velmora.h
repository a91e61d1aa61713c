// The about page (fifth tab, "  关于Velmora  "): banner, product and release
// lines, and the maker's contact block with its links.
#pragma once
#include "app/ui/property_page.h"

class CLinkStatic;
class QLabel;

class CVelmora : public CPropertyPage {
  Q_OBJECT
 public:
  explicit CVelmora(QWidget* parent = nullptr);

  // The maker's web site (target of links 1064 and 1071) and support address.
  static QString WebSite();
  static QString SupportMail();

 protected:
  void OnInitDialog() override;

 private:
  QLabel* banner_;
  CLinkStatic* company_;
  CLinkStatic* mail_;
  CLinkStatic* web_;
};
