// The application object: start-up steps in order, the main window, tidy-up.
#pragma once
#include <QApplication>

class QrToolApp {
 public:
  // `argc` must outlive the object (QApplication keeps a reference to it).
  QrToolApp(int& argc, char** argv);

  // Runs the program: 0 after the main window closed, and also for a second
  // copy that handed over to the first; 1 when the network layer cannot start.
  int run();

  // Sets a font that renders Chinese (the dialogs were laid out for 10 points).
  static void applyApplicationFont();

 private:
  QApplication app_;
};
