#include "ui/dialog_service.h"

#include <QFileDialog>
#include <QMessageBox>

namespace {

class QtDialogService final : public DialogService {
 public:
  void message(QWidget* parent, const QString& text, Icon icon,
               const QString& caption) override {
    QMessageBox::Icon qicon = icon == Icon::Error     ? QMessageBox::Critical
                              : icon == Icon::Warning ? QMessageBox::Warning
                                                      : QMessageBox::Information;
    QMessageBox box(qicon, caption, text, QMessageBox::Ok, parent);
    box.exec();
  }
  QString saveFileName(QWidget* parent, const QString& initialName, const QString& filter,
                       QString* chosenFilter) override {
    return QFileDialog::getSaveFileName(parent, QString(), initialName, filter, chosenFilter);
  }
  QString folder(QWidget* parent, const QString& title) override {
    return QFileDialog::getExistingDirectory(parent, title, QString(),
                                             QFileDialog::ShowDirsOnly);
  }
};

QtDialogService g_qtDialogs;
DialogService* g_dialogs = &g_qtDialogs;

}  // namespace

QString AppCaption() { return QStringLiteral("Velmora二维码生成分析工具2.0"); }

DialogService& Dialogs() { return *g_dialogs; }

void SetDialogService(DialogService* service) {
  g_dialogs = service != nullptr ? service : &g_qtDialogs;
}

void ShowError(QWidget* parent, const QString& text) {
  Dialogs().message(parent, text, DialogService::Icon::Error, AppCaption());
}
