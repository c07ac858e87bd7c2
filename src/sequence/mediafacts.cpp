#include "mediafacts.h"

#include <QRegularExpression>

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

std::optional<qint64> timecodeFrame(const MediaFacts &facts)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{1,2}):(\\d\\d):(\\d\\d)([:;.,])(\\d{1,3})$"));
    const QRegularExpressionMatch match = form.match(facts.startTimecode);
    if (!match.hasMatch() || facts.sampleStep <= 0 || facts.scaledRate <= 0)
        return std::nullopt;
    // Timecode counts whole frames: 29.97 fps runs as 30, 23.976 as 24.
    const qint64 base = (qint64(facts.scaledRate) + facts.sampleStep / 2) / facts.sampleStep;
    const qint64 hours = match.captured(1).toLongLong();
    const qint64 minutes = match.captured(2).toLongLong();
    const qint64 seconds = match.captured(3).toLongLong();
    const qint64 frames = match.captured(5).toLongLong();
    if (base <= 0 || minutes > 59 || seconds > 59 || frames >= base)
        return std::nullopt;
    const bool drop = match.captured(4) == QStringLiteral(";") || match.captured(4) == QStringLiteral(",");
    qint64 number = ((hours * 60 + minutes) * 60 + seconds) * base + frames;
    if (drop && base % 30 == 0) {
        // Two numbers per 30 frames of rate dropped at each minute but every tenth.
        const qint64 dropped = base / 15;
        if (seconds == 0 && minutes % 10 != 0 && frames < dropped)
            return std::nullopt; // a number drop-frame timecode never shows
        const qint64 totalMinutes = hours * 60 + minutes;
        number -= dropped * (totalMinutes - totalMinutes / 10);
    }
    return number;
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
