#pragma once

#include "schedule/scheduleimport.h"

#include <QFontMetrics>

#include <vector>

namespace lintaro {

// Text widths in the grid's font as the sum of the characters' advances, each
// measured once. Measuring every cell of a 100,000-row schedule through the
// font engine would take seconds; this takes milliseconds.
class FontAdvanceMeasure : public TextMeasure
{
public:
    explicit FontAdvanceMeasure(const QFont &font);
    int textWidth(QStringView text) const override;

private:
    QFontMetrics m_metrics;
    mutable std::vector<int> m_advances; // -1: not measured yet
};

} // namespace lintaro
