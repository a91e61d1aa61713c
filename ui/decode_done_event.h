// The decode-done event: posted to the decode page (and, with code 99,
// to the main window). Posting is safe from any thread.
#pragma once
#include <QEvent>

class QObject;

class DecodeDoneEvent : public QEvent {
 public:
  static constexpr int kMessageId = 0x790;
  explicit DecodeDoneEvent(int code) : QEvent(eventType()), code_(code) {}
  int code() const { return code_; }
  static QEvent::Type eventType();

 private:
  int code_;
};

// Posts DecodeDoneEvent(code) to `receiver` (no-op for null).
void PostDecodeDone(QObject* receiver, int code);
