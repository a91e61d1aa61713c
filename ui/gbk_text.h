// The pages hold their texts as GBK bytes; these convert at the widget boundary.
#pragma once
#include <QByteArray>
#include <QString>

// QString -> GBK. False when a character has no GBK form; `bad` then names it.
bool ToGbk(const QString& text, QByteArray* gbk, QString* bad = nullptr);
// GBK -> QString (invalid bytes show as U+FFFD).
QString FromGbk(const QByteArray& gbk);
