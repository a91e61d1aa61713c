#include "app/link_label.h"

#include <QDesktopServices>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

namespace {

LinkLabel::Opener& CurrentOpener() {
  static LinkLabel::Opener opener;
  return opener;
}

bool OpenWithDesktop(const QUrl& url) { return QDesktopServices::openUrl(url); }

}  // namespace

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  setMouseTracking(true);
  setCursor(Qt::ArrowCursor);
}

void LinkLabel::setOpener(Opener opener) { CurrentOpener() = std::move(opener); }

QFont LinkLabel::linkFont() const {
  QFont f = font();
  f.setUnderline(true);
  return f;
}

QSize LinkLabel::textSize() const {
  return QFontMetrics(linkFont()).size(Qt::TextSingleLine, text());
}

QSize LinkLabel::sizeHint() const { return textSize(); }

bool LinkLabel::overText(const QPointF& pos) const {
  QSize size = textSize();
  return pos.x() >= 0 && pos.y() >= 0 && pos.x() < size.width() && pos.y() < size.height();
}

void LinkLabel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setFont(linkFont());
  p.setPen(QColor(0, 0, 255));
  p.drawText(QRect(QPoint(0, 0), textSize()), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
             text());
}

void LinkLabel::mouseMoveEvent(QMouseEvent* event) {
  setCursor(overText(event->position()) ? Qt::PointingHandCursor : Qt::ArrowCursor);
  QLabel::mouseMoveEvent(event);
}

void LinkLabel::leaveEvent(QEvent* event) {
  setCursor(Qt::ArrowCursor);
  QLabel::leaveEvent(event);
}

void LinkLabel::mousePressEvent(QMouseEvent* event) {
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
