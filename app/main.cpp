// qrtool-gui: the desktop QR tool.
#include "app/ui/qrtool_app.h"

int main(int argc, char** argv) {
  CQrToolApp app(argc, argv);
  return app.run();
}
