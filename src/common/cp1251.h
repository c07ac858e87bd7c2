#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <optional>

namespace lintaro {

// Windows-1251, the code page of every file the program reads and writes.
// Our own table, so the program does not depend on which codecs a Qt build has.
namespace cp1251 {

QString decode(QByteArrayView bytes);

// Encodes text to Windows-1251. Returns nothing when a character has no
// Windows-1251 form; firstUnencodable() names it for the message.
std::optional<QByteArray> encode(QStringView text);

// True when every character of text has a Windows-1251 form.
bool canEncode(QStringView text);

// Index of the first character without a Windows-1251 form, or -1.
qsizetype firstUnencodable(QStringView text);

// A clear message for text that Windows-1251 cannot carry, naming the character.
QString unencodableMessage(QStringView text);

} // namespace cp1251
} // namespace lintaro
