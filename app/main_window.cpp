#include "app/main_window.h"

#include <QCloseEvent>
#include <QIcon>
#include <QTabWidget>
#include <QVBoxLayout>

#include "ui/decode_done_event.h"
#include "ui/dialog_service.h"
#include "app/about_page.h"
#include "capture/ui/decode_page.h"
#include "datainterface/ui/data_interface_page.h"
#include "generation/ui/batch_page.h"
#include "generation/ui/single_code_page.h"

namespace {

// The smallest page area: room for the about page's 583-pixel banner.
constexpr QSize kMinimumHostSize(620, 470);
constexpr int kBatchTab = 2;

}  // namespace

MainWindow::MainWindow(const QString& workingFolder, InterfaceSettings* settings,
                       UdpSender* sender, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      settings_(settings),
      sender_(sender) {
  host_ = new QTabWidget(this);
  host_->setObjectName("host");
  auto* decodePage = new DecodePage(workingFolder);
  connect(decodePage, &DecodePage::resultTextReady, this, &MainWindow::sendDecodedText);
  addPage(decodePage);
  addPage(new SingleCodePage(workingFolder));
  addPage(new BatchPage);
  addPage(new DataInterfacePage(workingFolder, settings, sender));
  addPage(new AboutPage);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(host_);
  // Pages placed with fixed geometry give no size hint, only their minimum size.
  setFixedSize(host_->sizeHint().expandedTo(host_->minimumSizeHint()).expandedTo(kMinimumHostSize));

  setWindowTitle(AppCaption());
  setWindowIcon(QIcon(QStringLiteral(":/qrtool.png")));

  host_->setCurrentIndex(0);
  connect(host_, &QTabWidget::currentChanged, this, [this](int index) {
    if (Page* p = page(index)) p->ensureInitialised();
  });
  page(0)->ensureInitialised();
}

void MainWindow::sendDecodedText(const QByteArray& gbk) {
  sender_->SendText(gbk.constData(), SendAddressText(*settings_), settings_->sendPort);
}

Page* MainWindow::page(int index) const {
  return qobject_cast<Page*>(host_->widget(index));
}

void MainWindow::addPage(Page* page) { host_->addTab(page, page->title()); }

bool MainWindow::event(QEvent* event) {
  if (event->type() == DecodeDoneEvent::eventType()) {
    if (static_cast<DecodeDoneEvent*>(event)->code() == 99) showAndActivate();
    return true;
  }
  return QWidget::event(event);
}

void MainWindow::showAndActivate() {
  setWindowState(windowState() & ~Qt::WindowMinimized);
  show();
  raise();
  activateWindow();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!mayClose()) {
    event->ignore();
    return;
  }
  event->accept();
  emit closed();
}

bool MainWindow::mayClose() {
  auto* batch = qobject_cast<BatchPage*>(page(kBatchTab));
  if (!batch->isRunning()) return true;
  if (!Dialogs().question(this, QStringLiteral("批量生成正在进行，确定要停止吗？"), AppCaption())) {
    return false;
  }
  // The batch goes on while the question is open and may have ended meanwhile,
  // with its own closing message.
  if (batch->isRunning()) {
    Dialogs().message(this, QStringLiteral("批量生成已停止，已生成 %1 个文件。").arg(batch->stop()),
                      DialogService::Icon::Information, AppCaption());
  }
  return true;
}
