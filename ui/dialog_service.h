// Every message box and file dialog of the desktop program goes through one
// service, so tests can replace it with a scripted fake instead of blocking.
#pragma once
#include <QString>

class QWidget;

// "Velmora二维码生成分析工具2.0": caption of the main window and of every message box.
QString AppCaption();

class DialogService {
 public:
  enum class Icon { Error, Warning, Information };
  virtual ~DialogService() = default;
  // A message box with an OK button.
  virtual void message(QWidget* parent, const QString& text, Icon icon,
                       const QString& caption) = 0;
  // Save-file dialog; empty when cancelled. Asks before overwriting. The
  // filter the user left chosen goes to `chosenFilter` when given.
  virtual QString saveFileName(QWidget* parent, const QString& initialName,
                               const QString& filter, QString* chosenFilter = nullptr) = 0;
  // Folder picker; empty when cancelled.
  virtual QString folder(QWidget* parent, const QString& title) = 0;
  // A question with Yes and No (the default); true for Yes. A service that
  // never asks (the screenshot tool's) answers No, which changes nothing.
  virtual bool question(QWidget*, const QString&, const QString&) { return false; }
  // Open-file dialog for an existing file; empty when cancelled (services
  // that never open files may leave it so).
  virtual QString openFileName(QWidget* /*parent*/, const QString& /*filter*/) { return {}; }
};

// The service in use (the Qt one unless a test installed another).
DialogService& Dialogs();
// Installs `service` (not owned); null restores the Qt one.
void SetDialogService(DialogService* service);

// Shorthand: a message box with the application caption and an error icon.
void ShowError(QWidget* parent, const QString& text);
