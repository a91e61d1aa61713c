// Base of the five pages of the main window. A page's own initialisation
// (filling lists, showing stored settings) runs the first time its tab is shown.
#pragma once
#include <QWidget>

class Page : public QWidget {
  Q_OBJECT
 public:
  explicit Page(const QString& title, QWidget* parent = nullptr);
  // The tab title, blanks included.
  QString title() const { return title_; }
  // Runs initialisePage once; the host calls it when the tab is first shown.
  void ensureInitialised();
  bool initialised() const { return initialised_; }

 protected:
  virtual void initialisePage() {}

 private:
  QString title_;
  bool initialised_ = false;
};
