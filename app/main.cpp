// qrtool-gui: the desktop QR tool.
#include "app/ui/qrtool_app.h"
#include "app/ui/qt_translation.h"

int main(int argc, char** argv) {
  CQrToolApp app(argc, argv);
  InstallQtChineseTranslation(QCoreApplication::instance());
  return app.run();
}
