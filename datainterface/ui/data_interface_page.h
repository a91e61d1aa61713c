// The data interface page (fourth tab, "    数 据 接 口    "): destination
// address, port and repeat interval, and the switch that opens the sender.
#pragma once
#include <QString>

#include "common/interface_settings.h"
#include "datainterface/udp_sender.h"
#include "ui/page.h"

class AddressEdit;
class QCheckBox;
class QLineEdit;

class DataInterfacePage : public Page {
  Q_OBJECT
 public:
  // The page edits `settings` (stored in `workingFolder`/pa.dat when the
  // interface is switched on) and opens and closes `sender`; both outlive it.
  DataInterfacePage(const QString& workingFolder, InterfaceSettings* settings, UdpSender* sender,
                    QWidget* parent = nullptr);

 protected:
  // Shows the stored settings; the interface starts switched off.
  void initialisePage() override;

 private:
  // The enable box clicked: validates, then switches the interface on or off.
  void onEnableClicked();
  // Focuses `control`, shows `message` and clears the check box.
  void refuse(QWidget* control, const QString& message);
  void lockDestination(bool locked);

  void storeDestination(uint32_t address, const QString& port, const QString& interval);

  QString workingFolder_;
  InterfaceSettings* settings_;
  UdpSender* sender_;
  AddressEdit* address_;
  QLineEdit* port_;
  QLineEdit* interval_;
  QCheckBox* enable_;
};
