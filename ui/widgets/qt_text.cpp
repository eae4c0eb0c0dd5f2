#include "ui/widgets/qt_text.h"

#include <QByteArray>
#include <QStringDecoder>

namespace corvessa {

QString ToQString(std::string_view text) {
  const QByteArrayView bytes(text.data(), static_cast<qsizetype>(text.size()));
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString decoded = utf8.decode(bytes);
  if (!utf8.hasError()) return decoded;
  return QString::fromLatin1(bytes);
}

std::string ToStdString(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace corvessa
