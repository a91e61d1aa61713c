// Regenerates the README's pictures with the real program's widgets:
//   <dir>/gui-decode.png, gui-generate.png, gui-batch.png, gui-data-interface.png,
//   gui-about.png                the main window on each tab as it starts
//   <dir>/gui-capture.png        the screen capture window over a desktop that
//                                shows a QR code, while a rectangle is dragged
//                                around it (left button held: readout box shown)
//   <dir>/gui-decode-result.png  the main window after that rectangle was decoded
// Needs a real X server with a 1280 x 1024 screen:
//   xvfb-run -a -s "-screen 0 1280x1024x24" make_screenshots docs
// Exit status 0 when every picture was written, 1 otherwise.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStyle>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/main_window.h"
#include "app/qrtool_app.h"
#include "capture/ui/decode_page.h"
#include "capture/ui/screen_capture_window.h"
#include "encoder/qr_encoder.h"
#include "ui/dialog_service.h"
#include "ui/gbk_text.h"

namespace {

// Encoded with Chinese compression, so the picture also shows Hanzi read back.
const QString kCodeText = QStringLiteral("技术交流会资料 https://example.com/meeting");
constexpr int kModulePixels = 5;
// Where the document window sits on the desktop, and the part of the screen
// kept for the capture picture (holds the info box, the window and the readout).
// The symbol leaves blank page to its right, where the readout box appears.
const QRect kDocument(200, 58, 580, 430);
const QRect kCaptureCrop(0, 0, 800, 560);
constexpr int kSelectionMargin = 14;
constexpr int kTimeoutMs = 60000;

[[noreturn]] void Fail(const char* why) {
  std::fprintf(stderr, "make_screenshots: %s\n", why);
  // Also called from inside the event loop (time-out): no destructors run.
  std::_Exit(1);
}

// Nothing may block on a message box (the page reports a missing camera).
class QuietDialogs : public DialogService {
 public:
  void message(QWidget*, const QString&, Icon, const QString&) override {}
  QString saveFileName(QWidget*, const QString&, const QString&, QString*) override {
    return {};
  }
  QString folder(QWidget*, const QString&) override { return {}; }
};

// Our encoder's symbol for `text` (GBK, Chinese compression), level M,
// `scale` pixels per module, 4-module quiet zone; null on failure.
QImage SymbolImage(const QString& text, int scale) {
  QByteArray gbk;
  if (!ToGbk(text, &gbk)) return {};
  std::unique_ptr<QrSymbol, void (*)(QrSymbol*)> s(qr_create_symbol(), qr_delete_symbol);
  if (!s) return {};
  s->symbology = QR_SYMBOLOGY_QRCODE;
  s->ecLevel = 2;
  s->inputMode = GB2312_MODE;
  if (qr_encode(s.get(), reinterpret_cast<const uint8_t*>(gbk.constData()),
                static_cast<int32_t>(gbk.size())) != QR_OK)
    return {};
  const int n = s->width;
  QImage image((n + 8) * scale, (n + 8) * scale, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  for (int r = 0; r < n; ++r)
    for (int c = 0; c < n; ++c)
      if (qr_module_is_set(s.get(), r, c))
        painter.fillRect((c + 4) * scale, (r + 4) * scale, scale, scale, Qt::black);
  return image;
}

// A full-screen picture of a desktop: wallpaper, icons and a document viewer
// window with a notice and the symbol. Sets `symbolRect` to the symbol's place.
QImage DesktopPicture(QSize screen, const QImage& symbol, QRect* symbolRect) {
  QImage desk(screen, QImage::Format_RGB32);
  QPainter p(&desk);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient wallpaper(0, 0, screen.width(), screen.height());
  wallpaper.setColorAt(0, QColor(58, 110, 165));
  wallpaper.setColorAt(1, QColor(24, 52, 92));
  p.fillRect(desk.rect(), wallpaper);

  // Desktop icons below the capture window's info box.
  QFont font = QApplication::font();
  p.setFont(font);
  const struct {
    QStyle::StandardPixmap icon;
    const char* label;
  } icons[] = {{QStyle::SP_ComputerIcon, "计算机"},
               {QStyle::SP_DirHomeIcon, "文档"},
               {QStyle::SP_TrashIcon, "回收站"}};
  int y = 190;
  for (const auto& item : icons) {
    QPixmap pixmap = QApplication::style()->standardIcon(item.icon).pixmap(64, 64).scaled(
        40, 40, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    p.drawPixmap(48, y, pixmap);
    p.setPen(Qt::white);
    p.drawText(QRect(8, y + 44, 120, 22), Qt::AlignHCenter, QString::fromUtf8(item.label));
    y += 92;
  }

  // The document window: shadow, frame, title bar, menu bar, page.
  const QRect w = kDocument;
  p.setPen(Qt::NoPen);
  for (int i = 1; i <= 6; ++i) {
    p.setBrush(QColor(0, 0, 0, 14));
    p.drawRoundedRect(w.adjusted(-i + 3, -i + 4, i + 3, i + 4), 6, 6);
  }
  p.setBrush(QColor(250, 250, 250));
  p.setPen(QColor(120, 130, 140));
  p.drawRoundedRect(w, 5, 5);
  QRect title(w.left() + 1, w.top() + 1, w.width() - 1, 30);
  QLinearGradient bar(title.topLeft(), title.bottomLeft());
  bar.setColorAt(0, QColor(236, 241, 247));
  bar.setColorAt(1, QColor(214, 223, 233));
  QPainterPath titlePath;
  titlePath.addRoundedRect(title, 4, 4);
  titlePath.addRect(title.adjusted(0, 10, 0, 0));
  p.fillPath(titlePath.simplified(), bar);
  p.setPen(QColor(40, 40, 40));
  p.drawText(title.adjusted(12, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
             QStringLiteral("会议通知.pdf - 文档查看器"));
  const char* buttons[] = {"—", "□", "×"};
  for (int i = 0; i < 3; ++i)
    p.drawText(QRect(title.right() - 96 + i * 32, title.top(), 32, title.height()),
               Qt::AlignCenter, QString::fromUtf8(buttons[i]));
  QRect menu(w.left() + 1, title.bottom() + 1, w.width() - 1, 24);
  p.fillRect(menu, QColor(244, 245, 247));
  p.setPen(QColor(200, 204, 210));
  p.drawLine(menu.bottomLeft(), menu.bottomRight());
  p.setPen(QColor(50, 50, 50));
  int x = menu.left() + 12;
  for (const QString& item : {QStringLiteral("文件"), QStringLiteral("编辑"),
                              QStringLiteral("查看"), QStringLiteral("帮助")}) {
    p.drawText(QRect(x, menu.top(), 48, menu.height()), Qt::AlignVCenter | Qt::AlignLeft, item);
    x += 48;
  }

  // The page: heading, a few lines of text, the symbol at the right.
  const QRect page = QRect(menu.left() + 24, menu.bottom() + 22, w.width() - 48,
                           w.bottom() - menu.bottom() - 40);
  QFont heading = font;
  heading.setPointSize(16);
  heading.setBold(true);
  p.setFont(heading);
  p.setPen(QColor(30, 50, 80));
  p.drawText(QRect(page.left(), page.top(), page.width(), 34), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("技术交流会通知"));
  p.setPen(QColor(180, 190, 200));
  p.drawLine(page.left(), page.top() + 42, page.right(), page.top() + 42);
  p.setFont(font);
  p.setPen(QColor(45, 45, 45));
  const QStringList lines = {QStringLiteral("时间：周五 14:00 – 16:30"),
                             QStringLiteral("地点：三楼 301 会议室"),
                             QStringLiteral("议题：二维码生成与识别工具演示"),
                             QString(),
                             QStringLiteral("请提前十分钟到场签到。"),
                             QStringLiteral("会议资料请扫描右侧二维码获取，"),
                             QStringLiteral("或在会后向组织者索取。")};
  y = page.top() + 62;
  for (const QString& line : lines) {
    p.drawText(QRect(page.left(), y, 300, 26), Qt::AlignLeft | Qt::AlignVCenter, line);
    y += 30;
  }
  *symbolRect = QRect(QPoint(page.right() - symbol.width() - 70, page.top() + 56), symbol.size());
  p.drawImage(symbolRect->topLeft(), symbol);
  p.setPen(QColor(110, 110, 110));
  p.drawText(QRect(symbolRect->left(), symbolRect->bottom() + kSelectionMargin + 8,
                   symbolRect->width(), 22),
             Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("扫码获取资料"));
  return desk;
}

// Shows a picture as a frameless window covering the screen.
class DesktopWindow : public QWidget {
 public:
  explicit DesktopWindow(QImage picture)
      : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), picture_(std::move(picture)) {
    setGeometry(QRect(QPoint(0, 0), picture_.size()));
    setAttribute(Qt::WA_OpaquePaintEvent);
  }

 protected:
  void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, picture_); }

 private:
  QImage picture_;
};

// Runs the event loop until `done` holds; false after `ms` without it.
template <typename Done>
bool WaitUntil(Done done, int ms) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(10);
  }
  return true;
}

bool Exposed(QWidget* w) { return w->windowHandle() != nullptr && w->windowHandle()->isExposed(); }

void SendMouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
  QMouseEvent event(type, QPointF(pos), w->mapToGlobal(QPointF(pos)), button, buttons,
                    Qt::NoModifier);
  QApplication::sendEvent(w, &event);
}

}  // namespace

int main(int argc, char** argv) {
  // The default multimedia back end is unreliable without a real desktop.
  if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND")) qputenv("QT_MEDIA_BACKEND", "ffmpeg");
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  QrToolApp::applyApplicationFont();
  const QString outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs");
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr || QGuiApplication::platformName() != QLatin1String("xcb") ||
      !screen->geometry().contains(kCaptureCrop))
    Fail("needs an X server with a screen of at least 800 x 560 (run it under xvfb-run)");
  if (!QDir().mkpath(outDir)) Fail("cannot create the output folder");
  // A hang (say, the capture window never appears) ends the run instead.
  QTimer::singleShot(kTimeoutMs, [] { Fail("timed out"); });

  QTemporaryDir work;
  if (!work.isValid()) Fail("no temporary folder");
  QuietDialogs dialogs;
  SetDialogService(&dialogs);

  const QImage symbol = SymbolImage(kCodeText, kModulePixels);
  if (symbol.isNull()) Fail("the encoder refused the text");
  QRect symbolRect;
  DesktopWindow desktop(DesktopPicture(screen->geometry().size(), symbol, &symbolRect));
  desktop.show();

  InterfaceSettings settings;
  UdpSender sender;
  auto mainWindow = std::make_unique<MainWindow>(work.path(), &settings, &sender);
  mainWindow->move(420, 300);
  mainWindow->show();
  if (!WaitUntil([&] { return Exposed(&desktop) && Exposed(mainWindow.get()); }, 10000))
    Fail("windows not shown");
  const char* tabPictures[] = {"gui-decode.png", "gui-generate.png", "gui-batch.png",
                               "gui-data-interface.png", "gui-about.png"};
  for (int i = 4; i >= 0; --i) {
    mainWindow->host()->setCurrentIndex(i);
    WaitUntil([] { return false; }, 300);  // let the tab paint
    if (!mainWindow->grab().save(outDir + QLatin1Char('/') + QLatin1String(tabPictures[i])))
      Fail("could not save a tab picture");
  }
  auto* page = qobject_cast<DecodePage*>(mainWindow->page(0));
  if (page == nullptr) Fail("no decode page");

  const QRect selection = symbolRect.adjusted(-kSelectionMargin, -kSelectionMargin,
                                              kSelectionMargin, kSelectionMargin);
  const QString capturePath = outDir + QStringLiteral("/gui-capture.png");
  bool captureSaved = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dlg = qobject_cast<ScreenCaptureWindow*>(QApplication::activeModalWidget());
    if (dlg == nullptr || !Exposed(dlg)) return;
    poll.stop();
    // Drag from the top-left corner to the bottom-right one and keep the button held.
    SendMouse(dlg, QEvent::MouseButtonPress, selection.topLeft(), Qt::LeftButton, Qt::LeftButton);
    SendMouse(dlg, QEvent::MouseMove, selection.center(), Qt::NoButton, Qt::LeftButton);
    SendMouse(dlg, QEvent::MouseMove, selection.bottomRight(), Qt::NoButton, Qt::LeftButton);
    QTimer::singleShot(500, dlg, [&, dlg] {
      QImage shot = screen->grabWindow(0).toImage().copy(kCaptureCrop);
      captureSaved = !shot.isNull() && shot.save(capturePath);
      // Release, then double-click inside the rectangle: it is copied and decoded.
      const QPoint inside = selection.center();
      SendMouse(dlg, QEvent::MouseButtonRelease, selection.bottomRight(), Qt::LeftButton,
                Qt::NoButton);
      SendMouse(dlg, QEvent::MouseButtonPress, inside, Qt::LeftButton, Qt::LeftButton);
      SendMouse(dlg, QEvent::MouseButtonRelease, inside, Qt::LeftButton, Qt::NoButton);
      SendMouse(dlg, QEvent::MouseButtonDblClick, inside, Qt::LeftButton, Qt::LeftButton);
    });
  });
  poll.start(20);
  page->onScreenshotDecode();
  poll.stop();
  if (!captureSaved) Fail("could not save the capture picture");
  if (!QFile::exists(work.path() + QStringLiteral("/cs.bmp")))
    Fail("the capture window did not accept the rectangle");

  const QString expected = QStringLiteral("解码信息 1 :\n") + kCodeText + QStringLiteral("\n");
  auto* result = page->findChild<QPlainTextEdit*>(QStringLiteral("resultText"));
  if (result == nullptr) Fail("no result box");
  if (!WaitUntil([&] { return result->toPlainText() == expected; }, 10000))
    Fail("the rectangle was not decoded to the encoded text");
  WaitUntil([] { return false; }, 300);  // let the picture box repaint
  const QString resultPath = outDir + QStringLiteral("/gui-decode-result.png");
  if (!mainWindow->grab().save(resultPath)) Fail("could not save the decode page picture");

  std::printf("%s\n%s\n", qPrintable(capturePath), qPrintable(resultPath));
  mainWindow.reset();
  SetDialogService(nullptr);
  return 0;
}
