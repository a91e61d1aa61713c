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
  bool question(QWidget* parent, const QString& text, const QString& caption) override {
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No,
                    parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
  }
  QString openFileName(QWidget* parent, const QString& filter) override {
    return QFileDialog::getOpenFileName(parent, QString(), QString(), filter);
  }
};

QtDialogService theQtDialogs;
DialogService* currentDialogs = &theQtDialogs;

}  // namespace

QString AppCaption() { return QStringLiteral("Velmora二维码生成分析工具2.0"); }

DialogService& Dialogs() { return *currentDialogs; }

void SetDialogService(DialogService* service) {
  currentDialogs = service != nullptr ? service : &theQtDialogs;
}

void ShowError(QWidget* parent, const QString& text) {
  Dialogs().message(parent, text, DialogService::Icon::Error, AppCaption());
}
