#include "app/qrtool_app.h"

#include <QFont>
#include <QIcon>

#include <QFile>

#include "common/interface_settings.h"
#include "common/working_folder.h"
#include "ui/decode_done_event.h"
#include "app/main_window.h"
#include "app/single_instance.h"
#include "datainterface/udp_sender.h"

QrToolApp::QrToolApp(int& argc, char** argv) : app_(argc, argv) {
  QApplication::setApplicationName(QStringLiteral("qrtool-gui"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/qrtool.png")));
  // The screen capture hides the main window while its own window is up; only
  // closing the main window ends the program.
  QApplication::setQuitOnLastWindowClosed(false);
  applyApplicationFont();
}

void QrToolApp::applyApplicationFont() {
  QFont font = QApplication::font();
  font.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("WenQuanYi Zen Hei"),
                    QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans SC"),
                    QStringLiteral("SimSun")});
  font.setPointSize(10);
  QApplication::setFont(font);
}

int QrToolApp::run() {
  SingleInstance instance;
  if (!instance.becomeFirst()) {
    instance.askFirstToShow();
    return 0;
  }
  if (UdpStartup() != 1) return 1;
  const std::string folder = FindWorkingFolder();
  InterfaceSettings settings;
  // A missing or damaged file leaves the defaults.
  if (LoadSettings(folder, &settings) != 1) settings = InterfaceSettings{};
  UdpSender sender;

  int status = 0;
  {
    MainWindow window(QFile::decodeName(folder.c_str()), &settings, &sender);
    QObject::connect(&instance, &SingleInstance::showRequested, &window,
                     [&window] { PostDecodeDone(&window, 99); });
    QObject::connect(&window, &MainWindow::closed, &app_, &QApplication::quit);
    window.show();
    status = QApplication::exec();
  }
  sender.Close();
  UdpCleanup();
  return status;
}
