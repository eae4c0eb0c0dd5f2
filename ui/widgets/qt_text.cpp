#include "ui/widgets/qt_text.h"

#include <QByteArray>
#include <QStringDecoder>

namespace corvessa {

namespace {

// Stateless, and the byte order mark is a character like any other: the
// bytes of a text must come back from its characters unchanged.
QStringDecoder Utf8Decoder() {
  return QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
}

bool FitsLatin1(const QString& text) {
  for (const QChar c : text) {
    if (c.unicode() > 0xFF) return false;
  }
  return true;
}

}  // namespace

TextEncoding EncodingOf(std::string_view bytes) {
  QStringDecoder utf8 = Utf8Decoder();
  // The decoder works when its result is taken, not when it is called.
  const QString decoded = utf8.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
  return utf8.hasError() ? TextEncoding::Latin1 : TextEncoding::Utf8;
}

QString ToQString(std::string_view text) {
  const QByteArrayView bytes(text.data(), static_cast<qsizetype>(text.size()));
  QStringDecoder utf8 = Utf8Decoder();
  QString decoded = utf8.decode(bytes);
  if (!utf8.hasError()) return decoded;
  return QString::fromLatin1(bytes);
}

std::string ToStdString(const QString& text) { return text.toUtf8().toStdString(); }

std::string EncodeText(const QString& text, TextEncoding encoding, std::size_t limit) {
  const bool latin1 = encoding == TextEncoding::Latin1 && FitsLatin1(text);
  std::string out;
  for (qsizetype i = 0; i < text.size();) {
    // A character outside the basic plane is two QChars and goes whole.
    const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
    const QString character = text.mid(i, length);
    const QByteArray bytes = latin1 ? character.toLatin1() : character.toUtf8();
    if (out.size() + static_cast<std::size_t>(bytes.size()) > limit) break;
    out.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    i += length;
  }
  return out;
}

}  // namespace corvessa
