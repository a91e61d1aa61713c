// qrtool-gui: the desktop QR tool.
#include "app/qrtool_app.h"
#include "app/qt_translation.h"

int main(int argc, char** argv) {
  QrToolApp app(argc, argv);
  InstallQtChineseTranslation(QCoreApplication::instance());
  return app.run();
}
