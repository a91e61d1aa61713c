#include "ui/page.h"

Page::Page(const QString& title, QWidget* parent)
    : QWidget(parent), title_(title) {}

void Page::ensureInitialised() {
  if (initialised_) return;
  initialised_ = true;
  initialisePage();
}
