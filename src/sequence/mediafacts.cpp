#include "mediafacts.h"

#include <cmath>
#include <limits>

namespace lintaro {

std::optional<IntegerRate> integerRate(double framesPerSecond)
{
    if (!std::isfinite(framesPerSecond) || framesPerSecond <= 0)
        return std::nullopt;
    const double times100 = framesPerSecond * 100;
    if (times100 > double(std::numeric_limits<qint32>::max()))
        return std::nullopt;
    // Nearest, an exact half going up.
    const double up = std::ceil(times100);
    const qint64 hundredths = qint64(up - times100 > 0.5 ? std::floor(times100) : up);
    if (hundredths <= 0)
        return std::nullopt;

    IntegerRate rate;
    rate.hundredths = hundredths;
    if (hundredths % 10 != 0)
        rate.sampleStep = 100;
    else if (hundredths % 100 != 0)
        rate.sampleStep = 10;
    else
        rate.sampleStep = 1;
    rate.scaledRate = qint32(hundredths / (100 / rate.sampleStep));
    return rate;
}

qint32 palFactor(const MediaFacts &facts)
{
    return facts.scaledRate == 25 ? 100 : 1;
}

TimeBase timeBase(const MediaFacts &facts)
{
    const quint32 factor = quint32(palFactor(facts));
    const quint32 step = quint32(facts.sampleStep);
    TimeBase base;
    base.marker = facts.frameCount == 0 ? 0 : factor * step * (facts.frameCount - 1);
    base.value = factor * step * facts.frameCount;
    base.scale = palFactor(facts) * facts.scaledRate;
    base.sample = palFactor(facts) * facts.sampleStep;
    return base;
}

bool durationFits(const MediaFacts &facts)
{
    const quint64 units = quint64(palFactor(facts)) * quint64(facts.sampleStep) * facts.frameCount;
    return units <= std::numeric_limits<quint32>::max();
}

} // namespace lintaro
