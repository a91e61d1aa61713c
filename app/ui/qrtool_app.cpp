#include "app/ui/qrtool_app.h"

#include <QFont>
#include <QIcon>

#include "app/module_dir.h"
#include "app/settings.h"
#include "app/ui/decode_event.h"
#include "app/ui/qrtool_dlg.h"
#include "app/ui/single_instance.h"
#include "datainterface/udp_sender.h"

CQrToolApp::CQrToolApp(int& argc, char** argv) : app_(argc, argv) {
  QApplication::setApplicationName(QStringLiteral("qrtool-gui"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/qrtool.png")));
  // The screen capture hides the main window while its own window is up; only
  // closing the main window ends the program.
  QApplication::setQuitOnLastWindowClosed(false);
  ApplyApplicationFont();
}

void CQrToolApp::ApplyApplicationFont() {
  QFont font = QApplication::font();
  font.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("WenQuanYi Zen Hei"),
                    QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans SC"),
                    QStringLiteral("SimSun")});
  font.setPointSize(10);
  QApplication::setFont(font);
}

int CQrToolApp::run() {
  SingleInstance instance;
  if (!instance.becomeFirst()) {
    instance.askFirstToShow();
    return 0;
  }
  if (UdpStartup() != 1) return 1;
  GetModuleDir();
  if (LoadSettings() != 1) SetDefaultSettings();

  int status = 0;
  {
    CQrToolDlg dlg;
    QObject::connect(&instance, &SingleInstance::showRequested, &dlg,
                     [&dlg] { PostDecodeDone(&dlg, 99); });
    QObject::connect(&dlg, &CQrToolDlg::closed, &app_, &QApplication::quit);
    dlg.show();
    status = QApplication::exec();
  }
  UdpCleanup();
  return status;
}
