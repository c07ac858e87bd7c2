#include "plural.h"

namespace lintaro {

QString countOf(qint64 count, const QString &one, const QString &few, const QString &many)
{
    const qint64 tens = (count < 0 ? -count : count) % 100;
    const qint64 units = tens % 10;
    const QString &noun = tens >= 11 && tens <= 14 ? many
        : units == 1                               ? one
        : units >= 2 && units <= 4                 ? few
                                                   : many;
    return QString::number(count) + u' ' + noun;
}

} // namespace lintaro
