// The decode page (first tab, "    二维码分析    ").
#pragma once
#include "app/ui/property_page.h"

class CTestDlg : public CPropertyPage {
  Q_OBJECT
 public:
  explicit CTestDlg(QWidget* parent = nullptr);
};

// The decode page of the main window; set while the main window initialises.
extern CTestDlg* g_pDecodePage;
