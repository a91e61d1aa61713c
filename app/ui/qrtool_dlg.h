// The main window: a fixed-size window whose whole area is a tab host with the
// five pages, decode page first.
#pragma once
#include <QWidget>

class QTabWidget;
class CPropertyPage;

class CQrToolDlg : public QWidget {
  Q_OBJECT
 public:
  explicit CQrToolDlg(QWidget* parent = nullptr);
  ~CQrToolDlg() override;

  QTabWidget* host() const { return host_; }
  CPropertyPage* page(int index) const;

 signals:
  // The user closed the window: the program ends.
  void closed();

 protected:
  // DecodeDoneEvent 99 (a second copy's request) shows and activates the window
  // where it is; other codes are not the main window's.
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void addPage(CPropertyPage* page);
  void showAndActivate();

  QTabWidget* host_;
};
