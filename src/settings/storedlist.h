#pragma once

#include <QString>
#include <QStringList>

namespace lintaro {

// The non-empty pieces of a stored list such as "120;64;300": empty pieces from
// a leading, trailing or doubled separator are dropped.
QStringList splitStoredList(const QString &text, QChar separator = u';');

// Strict integer conversion of a stored number: an optional sign and decimal
// digits, within 32 bits. Anything else throws
// Failure("'<text>' is not a valid integer value") rather than reading as 0.
int toStrictInt(const QString &text);

} // namespace lintaro
