// The main window: a fixed-size window whose whole area is a tab host with the
// five pages, decode page first.
#pragma once
#include <QString>
#include <QWidget>

#include "common/interface_settings.h"
#include "datainterface/udp_sender.h"

class QTabWidget;
class Page;

class MainWindow : public QWidget {
  Q_OBJECT
 public:
  // The pages keep their working files in `workingFolder`; the data
  // interface page edits `settings` and switches `sender`, through which the
  // decode page's results go out. Both outlive the window.
  MainWindow(const QString& workingFolder, InterfaceSettings* settings, UdpSender* sender,
             QWidget* parent = nullptr);

  QTabWidget* host() const { return host_; }
  Page* page(int index) const;

 signals:
  // The user closed the window: the program ends.
  void closed();

 protected:
  // DecodeDoneEvent 99 (a second copy's request) shows and activates the window
  // where it is; other codes are not the main window's.
  bool event(QEvent* event) override;
  // A running batch is stopped only if the user agrees; otherwise the window
  // stays open and the batch goes on.
  void closeEvent(QCloseEvent* event) override;

 private:
  void addPage(Page* page);
  void showAndActivate();
  bool mayClose();

  void sendDecodedText(const QByteArray& gbk);

  QTabWidget* host_;
  InterfaceSettings* settings_;
  UdpSender* sender_;
};
