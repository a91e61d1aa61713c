// The scripted dialog service of the page tests: records every message box and
// answers file and folder requests from queues (empty queue = cancel).
#pragma once
#include <QStringList>
#include <functional>
#include <vector>

#include "ui/dialog_service.h"

class FakeDialogs final : public DialogService {
 public:
  struct Message {
    QString text;
    Icon icon;
    QString caption;
  };
  std::vector<Message> messages;
  QStringList saveAnswers;
  QString saveChosenFilter;  // the filter the "user" leaves chosen; empty = the first
  QStringList folderAnswers;
  QStringList openAnswers;
  QString saveInitialName, saveFilter;

  FakeDialogs() { SetDialogService(this); }
  ~FakeDialogs() override { SetDialogService(nullptr); }

  void message(QWidget*, const QString& text, Icon icon, const QString& caption) override {
    messages.push_back({text, icon, caption});
  }
  QString saveFileName(QWidget*, const QString& initialName, const QString& filter,
                       QString* chosenFilter) override {
    if (chosenFilter != nullptr) *chosenFilter = saveChosenFilter;
    saveInitialName = initialName;
    saveFilter = filter;
    return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
  }
  QString folder(QWidget*, const QString&) override {
    return folderAnswers.isEmpty() ? QString() : folderAnswers.takeFirst();
  }
  QStringList questions;
  bool questionAnswer = false;
  std::function<void()> whileAsking;  // what happens while the question is open
  bool question(QWidget*, const QString& text, const QString&) override {
    questions << text;
    if (whileAsking) whileAsking();
    return questionAnswer;
  }
  QString openFileName(QWidget*, const QString&) override {
    return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
  }
  QString lastText() const { return messages.empty() ? QString() : messages.back().text; }
};
