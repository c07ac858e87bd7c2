#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>

namespace lintaro::textfile {

// Reads a whole regular file (or one behind a link); throws
// Failure("Cannot open file <path>") when it cannot (missing, no rights, a
// folder, a named pipe, a device, an error while reading).
QByteArray readAll(const QString &path);

// Bytes up to the first NUL byte: a NUL ends the text.
QByteArrayView untilNul(QByteArrayView bytes);

// Text of a file as read: cut at the first NUL, then UTF-8 when it starts with
// the UTF-8 byte-order mark (the mark is dropped), Windows-1251 otherwise.
QString decode(QByteArrayView bytes);

// Calls onLine for every line of text. A line ends at CR LF, a lone CR or a
// lone LF; a last line without an end counts; an end at the very end of the
// text adds no empty line.
void forEachLine(QStringView text, const std::function<void(QStringView)> &onLine);
QStringList splitLines(QStringView text);

// readAll + decode + splitLines.
QStringList readLines(const QString &path);

// Removes leading and trailing characters of codes 0 to 32, nothing else.
QStringView trimmedControl(QStringView text);

// Windows-1251 bytes of the lines, each followed by CR LF. Throws Failure with a
// clear message when a line holds a character Windows-1251 cannot carry.
QByteArray encodeLines(const QStringList &lines);

// Replaces the file as a whole: the bytes are written beside it and renamed
// over it, so a failed write leaves the old file untouched. When the folder
// admits no new file but the file itself may be written, it is written in
// place. Throws Failure("Cannot create file <path>") (for a failed write in
// place with a line saying so) or Failure("Stream write error").
void writeAtomically(const QString &path, const QByteArray &bytes);

} // namespace lintaro::textfile
