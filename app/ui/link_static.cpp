#include "app/ui/link_static.h"

#include <QDesktopServices>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

namespace {

CLinkStatic::Opener& CurrentOpener() {
  static CLinkStatic::Opener opener;
  return opener;
}

bool OpenWithDesktop(const QUrl& url) { return QDesktopServices::openUrl(url); }

}  // namespace

CLinkStatic::CLinkStatic(const QString& text, QWidget* parent) : QLabel(text, parent) {
  setMouseTracking(true);
  setCursor(Qt::ArrowCursor);
}

void CLinkStatic::SetOpener(Opener opener) { CurrentOpener() = std::move(opener); }

QFont CLinkStatic::linkFont() const {
  QFont f = font();
  f.setUnderline(true);
  return f;
}

QSize CLinkStatic::textSize() const {
  return QFontMetrics(linkFont()).size(Qt::TextSingleLine, text());
}

QSize CLinkStatic::sizeHint() const { return textSize(); }

bool CLinkStatic::overText(const QPointF& pos) const {
  QSize size = textSize();
  return pos.x() >= 0 && pos.y() >= 0 && pos.x() < size.width() && pos.y() < size.height();
}

void CLinkStatic::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setFont(linkFont());
  p.setPen(QColor(0, 0, 255));
  p.drawText(QRect(QPoint(0, 0), textSize()), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
             text());
}

void CLinkStatic::mouseMoveEvent(QMouseEvent* event) {
  setCursor(overText(event->position()) ? Qt::PointingHandCursor : Qt::ArrowCursor);
  QLabel::mouseMoveEvent(event);
}

void CLinkStatic::leaveEvent(QEvent* event) {
  setCursor(Qt::ArrowCursor);
  QLabel::leaveEvent(event);
}

void CLinkStatic::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && overText(event->position()) && !target_.isEmpty()) {
    const Opener& opener = CurrentOpener();
    QUrl url(target_);
    if (opener) {
      opener(url);
    } else {
      OpenWithDesktop(url);
    }
  }
  QLabel::mousePressEvent(event);
}
