// A text label that acts as a link: blue, underlined, a hand cursor over the
// text, and a left click on the text opens its target.
#pragma once
#include <QLabel>
#include <QUrl>
#include <functional>

class LinkLabel : public QLabel {
  Q_OBJECT
 public:
  // Opens a link target; returns false when nothing could open it.
  using Opener = std::function<bool(const QUrl&)>;

  explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

  // The target opened by a click: a web address or a "mailto:" address. Empty
  // until set; a click with an empty target does nothing.
  void setTarget(const QString& target) { target_ = target; }
  QString target() const { return target_; }

  // The area that reacts to the mouse: the shown text's size in the underlined
  // font, from the control's top-left corner.
  QSize textSize() const;

  // Replaces how targets are opened (tests); null restores the desktop's opener.
  static void setOpener(Opener opener);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QFont linkFont() const;
  bool overText(const QPointF& pos) const;

  QString target_;
};
