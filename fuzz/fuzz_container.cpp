// Container reader (libavformat, headers only) over any bytes, then the
// probe's decisions on what it returned: a failure always names its box, and
// a success always gives facts the sequence time base can carry. Run it with
// -rss_limit_mb=512: no input may make the library take more.
#include "sequence/containerprobe.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto noWav = [](const QString &) { return false; };
    const lintaro::ContainerProbe::Result probe
        = lintaro::ContainerProbe::probeBytes(bytes, QStringLiteral("D:\\a.mxf"), QStringLiteral("."), noWav);
    if (probe.ok()) {
        const lintaro::MediaFacts &facts = *probe.facts;
        const lintaro::TimeBase base = lintaro::timeBase(facts);
        if (facts.frameCount == 0 || !lintaro::durationFits(facts) || base.marker >= base.value
            || base.sample <= 0 || base.scale <= 0)
            std::abort();
        if (facts.mediaType != (probe.info.hasAudio ? 3 : 1))
            std::abort();
        if (facts.width < 0 || facts.height < 0 || facts.sarNum < 0 || facts.sarDen < 0
            || facts.audioChannels < 0 || facts.sampleRate < 0 || facts.bitDepth < 0
            || (facts.sarNum > 0) != (facts.sarDen > 0))
            std::abort();
        (void)lintaro::timecodeFrame(facts);
    } else if (probe.failure.isEmpty()) {
        std::abort();
    }
    return 0;
}
