#include "app/qt_translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool InstallQtChineseTranslation(QCoreApplication* app) {
  auto* translator = new QTranslator(app);
  // The window is Chinese whatever the user's locale, so the catalogue is
  // chosen by name rather than by QLocale.
  if (!translator->load(QStringLiteral("qtbase_zh_CN"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}
