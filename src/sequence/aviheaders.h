#pragma once

#include <QList>
#include <QtGlobal>

#include <optional>

namespace lintaro {

// Four characters of a RIFF identifier as the little-endian number they read as.
constexpr quint32 fourCc(const char (&id)[5])
{
    return quint32(quint8(id[0])) | quint32(quint8(id[1])) << 8 | quint32(quint8(id[2])) << 16
        | quint32(quint8(id[3])) << 24;
}

// The fields of one stream header ('strh') the probe uses.
struct AviStreamHeader
{
    quint32 type = 0; // 'vids', 'auds', 'iavs'...
    quint32 scale = 0;
    quint32 rate = 0;
    quint32 length = 0;
    quint32 bytes = 0; // how much of the header the file holds, at most 56

    bool holdsRate() const { return bytes >= 28; }
    bool holdsLength() const { return bytes >= 36; }
};

// What the headers of an AVI file say, as far as the probe needs it.
struct AviHeaders
{
    quint32 microSecPerFrame = 0;
    quint32 totalFrames = 0; // of the first RIFF part only in a file over 1 GiB
    quint32 streamCount = 0;
    QList<AviStreamHeader> streams;          // in file order, one per 'strl' with a 'strh'
    std::optional<quint32> odmlTotalFrames; // 'dmlh': all parts of an OpenDML file

    // Index in streams of the first 'vids' stream, or -1.
    qsizetype firstVideoStream() const;
};

} // namespace lintaro
