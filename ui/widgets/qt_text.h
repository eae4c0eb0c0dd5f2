#pragma once
// Conversions between the byte strings of the logic and Qt's strings.

#include <string>
#include <string_view>

#include <QString>

namespace corvessa {

// UTF-8 when the bytes are valid UTF-8; otherwise each byte as Latin-1, so a
// hostname or description read from an older file still shows every byte
// instead of replacement marks.
QString ToQString(std::string_view text);

std::string ToStdString(const QString& text);

}  // namespace corvessa
