// The data interface page (fourth tab, "    数 据 接 口    "): destination
// address, port and repeat interval, and the switch that opens the sender.
#pragma once
#include "app/ui/property_page.h"

class CIpAddressCtrl;
class QCheckBox;
class QLineEdit;

class CParamDlg : public CPropertyPage {
  Q_OBJECT
 public:
  explicit CParamDlg(QWidget* parent = nullptr);

 protected:
  // Shows the stored settings; the interface starts switched off.
  void OnInitDialog() override;

 private:
  // Check box 1073 clicked: validates, then switches the interface on or off.
  void OnEnableClicked();
  // Focuses `control`, shows `message` and clears the check box.
  void Refuse(QWidget* control, const QString& message);
  void LockDestination(bool locked);

  CIpAddressCtrl* address_;  // 1065
  QLineEdit* port_;          // 1066
  QLineEdit* interval_;      // 1067
  QCheckBox* enable_;        // 1073
};
