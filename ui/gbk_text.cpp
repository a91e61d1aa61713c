#include "ui/gbk_text.h"

#include <string>

#include "common/text_codec.h"

bool ToGbk(const QString& text, QByteArray* gbk, QString* bad) {
  QByteArray utf8 = text.toUtf8();
  std::string out, badBytes;
  if (!textcodec::Utf8ToGbk(std::string_view(utf8.constData(), utf8.size()), &out,
                            &badBytes)) {
    if (bad) *bad = QString::fromUtf8(badBytes.data(), static_cast<qsizetype>(badBytes.size()));
    return false;
  }
  *gbk = QByteArray(out.data(), static_cast<qsizetype>(out.size()));
  return true;
}

QString FromGbk(const QByteArray& gbk) {
  std::string utf8;
  textcodec::GbkToUtf8(std::string_view(gbk.constData(), gbk.size()), &utf8);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}
