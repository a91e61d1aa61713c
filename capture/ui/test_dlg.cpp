#include "capture/ui/test_dlg.h"

CTestDlg* g_pDecodePage = nullptr;

CTestDlg::CTestDlg(QWidget* parent)
    : CPropertyPage(QStringLiteral("    二维码分析    "), parent) {}
