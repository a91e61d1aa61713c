// Qt's own texts (standard buttons, file dialogs, message boxes) in the
// window's language rather than in English.
#pragma once

class QCoreApplication;

// Installs Qt's Simplified Chinese catalogue (qtbase_zh_CN from Qt's
// translations folder) on `app`, which owns it from then on, so that "Cancel"
// reads "取消" and "Save As" "另存为". Returns false and leaves Qt's English
// texts when the catalogue is missing (Debian package qt6-translations-l10n).
bool InstallQtChineseTranslation(QCoreApplication* app);
