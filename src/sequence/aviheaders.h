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

// A sound format record (WAVEFORMATEX), in an audio stream's 'strf' or a WAV file's 'fmt '.
struct AviSoundFormat
{
    quint16 formatTag = 0; // that of the sub-format for WAVE_FORMAT_EXTENSIBLE
    quint16 channels = 0;
    quint32 samplesPerSec = 0;
    quint16 bitsPerSample = 0;

    bool isPcm() const { return formatTag == 1 || formatTag == 3; } // integer or float samples
};

// The fields of one stream header ('strh') the probe uses, with those of its
// format ('strf') and video properties ('vprp').
struct AviStreamHeader
{
    quint32 type = 0; // 'vids', 'auds', 'iavs'...
    quint32 scale = 0;
    quint32 rate = 0;
    quint32 length = 0;
    quint32 bytes = 0; // how much of the header the file holds, at most 56
    quint32 width = 0; // a video format's picture, in pixels
    quint32 height = 0;
    quint32 aspectNum = 0; // the frame's shape from 'vprp' (16:9), with its picture size
    quint32 aspectDen = 0;
    quint32 aspectWidth = 0;
    quint32 aspectHeight = 0;
    AviSoundFormat sound; // an audio stream's format

    bool holdsRate() const { return bytes >= 28; }
    bool holdsLength() const { return bytes >= 36; }
};

// What the headers of an AVI file say, as far as the probe needs it.
struct AviHeaders
{
    quint32 microSecPerFrame = 0;
    quint32 totalFrames = 0; // of the first RIFF part only in a file over 1 GiB
    quint32 streamCount = 0;
    quint32 width = 0; // the main header's picture
    quint32 height = 0;
    QList<AviStreamHeader> streams;          // in file order, one per 'strl' with a 'strh'
    std::optional<quint32> odmlTotalFrames; // 'dmlh': all parts of an OpenDML file

    // Index in streams of the first 'vids' stream, or -1.
    qsizetype firstVideoStream() const;
};

} // namespace lintaro
