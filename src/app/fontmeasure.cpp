#include "fontmeasure.h"

#include <algorithm>
#include <limits>

namespace lintaro {

FontAdvanceMeasure::FontAdvanceMeasure(const QFont &font) : m_metrics(font), m_advances(0x10000, -1) {}

int FontAdvanceMeasure::textWidth(QStringView text) const
{
    qint64 width = 0;
    for (const QChar ch : text) {
        int &advance = m_advances[ch.unicode()];
        if (advance < 0)
            advance = std::max(0, m_metrics.horizontalAdvance(ch));
        width += advance;
    }
    return int(std::min<qint64>(width, std::numeric_limits<int>::max() / 4));
}

} // namespace lintaro
