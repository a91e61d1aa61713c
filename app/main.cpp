// qrtool-gui: the desktop QR tool.
#include "app/qrtool_app.h"

int main(int argc, char** argv) {
  QrToolApp app(argc, argv);
  return app.run();
}
