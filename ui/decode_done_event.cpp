#include "ui/decode_done_event.h"

#include <QCoreApplication>

QEvent::Type DecodeDoneEvent::eventType() {
  static const QEvent::Type type =
      static_cast<QEvent::Type>(QEvent::registerEventType(QEvent::User + kMessageId));
  return type;
}

void PostDecodeDone(QObject* receiver, int code) {
  if (receiver == nullptr) return;
  QCoreApplication::postEvent(receiver, new DecodeDoneEvent(code));
}
