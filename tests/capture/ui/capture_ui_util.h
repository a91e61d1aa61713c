// Helpers of the capture page tests: a message recorder and mouse input.
#pragma once
#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

#include "app/ui/dialogs.h"

namespace captest {

class FakeDialogs : public DialogService {
 public:
  void message(QWidget*, const QString& text, Icon icon, const QString& caption) override {
    texts << text;
    icons << icon;
    captions << caption;
  }
  QString saveFileName(QWidget*, const QString&, const QString&) override { return {}; }
  QString folder(QWidget*, const QString&) override { return {}; }
  QStringList texts;
  QList<Icon> icons;
  QStringList captions;
};

inline void SendMouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button,
                      Qt::MouseButtons buttons) {
  QMouseEvent event(type, QPointF(pos), w->mapToGlobal(QPointF(pos)), button, buttons,
                    Qt::NoModifier);
  QApplication::sendEvent(w, &event);
}

inline void Drag(QWidget* w, QPoint from, QPoint to) {
  SendMouse(w, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
  SendMouse(w, QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
  SendMouse(w, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
  SendMouse(w, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

inline void DoubleClick(QWidget* w, QPoint at) {
  SendMouse(w, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
  SendMouse(w, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
  SendMouse(w, QEvent::MouseButtonDblClick, at, Qt::LeftButton, Qt::LeftButton);
  SendMouse(w, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
}

inline void RightClick(QWidget* w, QPoint at) {
  SendMouse(w, QEvent::MouseButtonPress, at, Qt::RightButton, Qt::RightButton);
  SendMouse(w, QEvent::MouseButtonRelease, at, Qt::RightButton, Qt::NoButton);
}

}  // namespace captest
