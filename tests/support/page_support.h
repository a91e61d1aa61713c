// What the page tests share besides the dialogs: a fresh folder per test,
// typing through the input method, mouse input, and zxing-cpp reading a picture file.
#pragma once
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QInputMethodEvent>
#include <QMouseEvent>
#include <QWidget>

#include "tests/support/oracle_read.h"

// A new empty folder under the test's scratch directory.
inline QString FreshFolder(const QString& name) {
  QDir dir(QStringLiteral(QRTOOL_TEST_TMP) + QLatin1Char('/') + name);
  dir.removeRecursively();
  dir.mkpath(QStringLiteral("."));
  return dir.absolutePath();
}

// Types `text` into `widget` as an input method commits it (QTest::keyClicks
// cannot type Chinese).
inline void CommitText(QWidget* widget, const QString& text) {
  QInputMethodEvent event;
  event.setCommitString(text);
  QCoreApplication::sendEvent(widget, &event);
}

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

// The data bytes of the QR code zxing-cpp finds in a picture file (the text
// instead with `asText`); empty when it finds none. Callers link qrframe.
inline QByteArray ReadWithOracle(const QString& path, bool asText = false) {
  return QByteArray::fromStdString(
      testimage::ReadQr(testimage::ReadGrey(path.toStdString()), nullptr, asText));
}
