#include "app/ui/qrtool_dlg.h"

#include <QCloseEvent>
#include <QIcon>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/ui/decode_event.h"
#include "app/ui/dialogs.h"
#include "app/ui/velmora.h"
#include "capture/ui/test_dlg.h"
#include "datainterface/ui/param_dlg.h"
#include "generation/ui/bat_make.h"
#include "generation/ui/make_qr.h"

namespace {

// The smallest page area: room for the about page's 583-pixel banner.
constexpr QSize kMinimumHostSize(620, 470);

}  // namespace

CQrToolDlg::CQrToolDlg(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint) {
  host_ = new QTabWidget(this);
  host_->setObjectName("host");
  auto* decodePage = new CTestDlg;
  addPage(decodePage);
  addPage(new CMakeQr);
  addPage(new CBatMake);
  addPage(new CParamDlg);
  addPage(new CVelmora);
  g_pDecodePage = decodePage;

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(host_);
  // Pages placed with fixed geometry give no size hint, only their minimum size.
  setFixedSize(host_->sizeHint().expandedTo(host_->minimumSizeHint()).expandedTo(kMinimumHostSize));

  setWindowTitle(AppCaption());
  setWindowIcon(QIcon(QStringLiteral(":/qrtool.png")));

  host_->setCurrentIndex(0);
  connect(host_, &QTabWidget::currentChanged, this, [this](int index) {
    if (CPropertyPage* p = page(index)) p->ensureInitialised();
  });
  page(0)->ensureInitialised();
}

CQrToolDlg::~CQrToolDlg() {
  if (g_pDecodePage != nullptr && g_pDecodePage == host_->widget(0)) g_pDecodePage = nullptr;
}

CPropertyPage* CQrToolDlg::page(int index) const {
  return qobject_cast<CPropertyPage*>(host_->widget(index));
}

void CQrToolDlg::addPage(CPropertyPage* page) { host_->addTab(page, page->title()); }

bool CQrToolDlg::event(QEvent* event) {
  if (event->type() == DecodeDoneEvent::eventType()) {
    if (static_cast<DecodeDoneEvent*>(event)->code() == 99) showAndActivate();
    return true;
  }
  return QWidget::event(event);
}

void CQrToolDlg::showAndActivate() {
  setWindowState(windowState() & ~Qt::WindowMinimized);
  show();
  raise();
  activateWindow();
}

void CQrToolDlg::closeEvent(QCloseEvent* event) {
  event->accept();
  emit closed();
}
