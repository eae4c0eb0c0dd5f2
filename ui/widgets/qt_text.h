#pragma once
// Conversions between the byte strings of the logic and Qt's strings.

#include <cstddef>
#include <string>
#include <string_view>

#include <QString>

namespace corvessa {

// How the bytes of a text from a file are shown: as UTF-8 when they are
// valid UTF-8, otherwise each byte as one Latin-1 character, so a hostname
// or description read from an older file shows every byte instead of
// replacement marks.
enum class TextEncoding { Utf8, Latin1 };
TextEncoding EncodingOf(std::string_view bytes);

QString ToQString(std::string_view text);

std::string ToStdString(const QString& text);

// The bytes `text` is stored as in `encoding`, at most `limit` of them, cut
// before a character that would not fit whole. A Latin-1 text with a
// character Latin-1 does not have is stored as UTF-8.
std::string EncodeText(const QString& text, TextEncoding encoding, std::size_t limit = std::string::npos);

}  // namespace corvessa
