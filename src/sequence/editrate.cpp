#include "editrate.h"

#include <cmath>
#include <limits>
#include <numeric>

namespace lintaro {

namespace {

// Frames dropped at each minute but every tenth: 2 at 29.97, 4 at 59.94.
qint64 droppedPerMinute(const EditRate &rate)
{
    return rate.isDropFrame() ? rate.timebase() / 15 : 0;
}

} // namespace

EditRate EditRate::of(const MediaFacts &facts)
{
    const qint32 step = facts.sampleStep;
    if (facts.scaledRate <= 0 || (step != 1 && step != 10 && step != 100))
        return EditRate(2500);
    return EditRate(qint64(facts.scaledRate) * (100 / step));
}

bool EditRate::isNtsc() const
{
    return m_hundredths == 2997 || m_hundredths == 2398 || m_hundredths == 5994;
}

int EditRate::timebase() const
{
    if (isNtsc())
        return int((m_hundredths + 99) / 100);
    return int(std::max<qint64>(1, (m_hundredths + 50) / 100));
}

bool EditRate::isDropFrame() const
{
    return m_hundredths == 2997 || m_hundredths == 5994;
}

bool EditRate::hasTimecode() const
{
    switch (m_hundredths) {
    case 2398:
    case 2400:
    case 2500:
    case 2997:
    case 3000:
    case 4800:
    case 5000:
    case 5994:
    case 6000:
        return true;
    default:
        return false;
    }
}

qint64 EditRate::wholeFactor() const
{
    return isNtsc() ? 1 : denominator();
}

EditRate EditRate::wholeMultiple() const
{
    return isNtsc() ? *this : EditRate(numerator() * 100);
}

qint64 EditRate::numerator() const
{
    if (isNtsc())
        return qint64(timebase()) * 1000;
    return m_hundredths / std::gcd(m_hundredths, qint64(100));
}

qint64 EditRate::denominator() const
{
    if (isNtsc())
        return 1001;
    return 100 / std::gcd(m_hundredths, qint64(100));
}

qint64 convertFrames(qint64 frames, const EditRate &from, const EditRate &to)
{
    if (from == to || frames <= 0)
        return std::max<qint64>(frames, 0);
    // frames × to ÷ from, as the fraction p ÷ q.
    qint64 p = to.numerator() * from.denominator();
    qint64 q = to.denominator() * from.numerator();
    const qint64 common = std::gcd(p, q);
    p /= common;
    q /= common;
    if (p <= std::numeric_limits<qint64>::max() / frames) {
        const qint64 product = frames * p;
        return product / q + ((product % q) * 2 >= q ? 1 : 0);
    }
    return qint64(std::floor(double(frames) * double(p) / double(q) + 0.5));
}

QString timecode(qint64 frame, const EditRate &rate)
{
    const qint64 base = rate.timebase();
    const qint64 drop = droppedPerMinute(rate);
    const qint64 perDay = timecodeFrames(24, 0, 0, 0, rate);
    frame %= perDay;
    if (frame < 0)
        frame += perDay;
    if (drop > 0) {
        // Back to the frame numbers the timecode shows.
        const qint64 perTenMinutes = base * 600 - drop * 9;
        const qint64 perMinute = base * 60 - drop;
        const qint64 tens = frame / perTenMinutes;
        const qint64 rest = frame % perTenMinutes;
        frame += drop * 9 * tens;
        if (rest > drop)
            frame += drop * ((rest - drop) / perMinute);
    }
    const qint64 frames = frame % base;
    const qint64 seconds = frame / base;
    return QStringLiteral("%1:%2:%3%4%5")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'))
        .arg(QChar(drop > 0 ? u';' : u':'))
        .arg(frames, 2, 10, QLatin1Char('0'));
}

qint64 timecodeFrames(int hours, int minutes, int seconds, int frames, const EditRate &rate)
{
    const qint64 base = rate.timebase();
    const qint64 totalMinutes = qint64(hours) * 60 + minutes;
    const qint64 nominal = (totalMinutes * 60 + seconds) * base + frames;
    return nominal - droppedPerMinute(rate) * (totalMinutes - totalMinutes / 10);
}

} // namespace lintaro
