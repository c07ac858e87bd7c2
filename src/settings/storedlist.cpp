#include "storedlist.h"

#include "common/failure.h"

#include <limits>

namespace lintaro {

QStringList splitStoredList(const QString &text, QChar separator)
{
    return text.split(separator, Qt::SkipEmptyParts);
}

int toStrictInt(const QString &text)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    const qsizetype firstDigit = i;
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t ch = text[i].unicode();
        if (ch < u'0' || ch > u'9' || value > std::numeric_limits<int>::max() + qint64(1))
            break;
        value = value * 10 + (ch - u'0');
    }
    if (negative)
        value = -value;
    if (i != text.size() || i == firstDigit || value > std::numeric_limits<int>::max()
        || value < std::numeric_limits<int>::min())
        throw Failure(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return int(value);
}

} // namespace lintaro
