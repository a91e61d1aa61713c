#include "app/ui/property_page.h"

CPropertyPage::CPropertyPage(const QString& title, QWidget* parent)
    : QWidget(parent), title_(title) {}

void CPropertyPage::ensureInitialised() {
  if (initialised_) return;
  initialised_ = true;
  OnInitDialog();
}
