// AVI header reader: the chunk walk over any bytes, then the probe's decisions
// on what it found (rate, integer form, frame count, time base, picture and
// sound). The same bytes as a WAV companion's header.
#include "sequence/aviheaderreader.h"
#include "sequence/aviprobe.h"

#include <QBuffer>
#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    if (const auto sound = lintaro::AviHeaderReader::readWaveFormat(buffer); sound && sound->isPcm())
        (void)sound->bitsPerSample;
    const lintaro::AviHeaderReader::Result read = lintaro::AviHeaderReader(buffer).read();
    if (read.bytesRead > lintaro::AviHeaderReader::kMaxBytes
        || read.chunksVisited > lintaro::AviHeaderReader::kMaxChunks)
        std::abort();
    if (read.status != lintaro::AviHeaderReader::Status::Ok)
        return 0;

    const auto noWav = [](const QString &) { return false; };
    const lintaro::AviProbe::Result probe
        = lintaro::AviProbe::fromHeaders(read.headers, QStringLiteral("D:\\a.avi"), QStringLiteral("."), noWav);
    if (probe.ok()) {
        const lintaro::TimeBase base = lintaro::timeBase(*probe.facts);
        const lintaro::MediaFacts &facts = *probe.facts;
        if (facts.frameCount == 0 || base.marker >= base.value || base.sample <= 0 || base.scale <= 0)
            std::abort();
        if (facts.width < 0 || facts.height < 0 || facts.sarNum < 0 || facts.sarDen < 0
            || facts.audioChannels < 0 || facts.sampleRate < 0 || facts.bitDepth < 0
            || (facts.sarNum > 0) != (facts.sarDen > 0))
            std::abort();
    } else if (probe.failure.isEmpty()) {
        std::abort();
    }
    return 0;
}
