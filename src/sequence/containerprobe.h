#pragma once

#include "mediafacts.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace lintaro {

// What the probe takes from a container that libavformat opened, as the
// library returned it: nothing here is trusted until fromInfo() has checked it.
struct ContainerInfo
{
    struct Ratio
    {
        qint64 num = 0;
        qint64 den = 0;
    };

    enum class Family { Other, Mov, Matroska };

    Family family = Family::Other;
    bool hasVideo = false; // a video stream that is not a cover picture
    bool hasAudio = false;
    qint64 frameCount = 0; // the video stream's own count; 0 when the header has none
    // MOV/MP4: the index entries the edit list keeps, which is what plays;
    // nothing when the file has no index for the stream.
    std::optional<qint64> playedFrames;
    // Matroska: the first video packet's timestamp, in time base units.
    std::optional<qint64> firstTimestamp;
    // mkvmerge's statistics tags: the frames it counted while writing.
    qint64 statisticsFrames = 0;
    bool durationTagIsLength = false; // mkvmerge's DURATION is a length, FFmpeg's an end time
    Ratio averageRate;     // frames per second
    Ratio realRate;        // the base rate, which MXF gives where the average is empty
    Ratio timeBase;        // seconds per unit of streamDuration
    std::optional<qint64> streamDuration;
    QString durationTag;                        // Matroska's per-track "HH:MM:SS.nnnnnnnnn"
    std::optional<qint64> containerDurationUs; // the whole file's length
    QString timecode;                           // as the container writes it
    qint32 width = 0, height = 0;
    Ratio sampleAspect;
    qint32 audioChannels = 0; // over all audio streams
    qint32 sampleRate = 0; // of the first audio stream
    qint32 bitDepth = 0; // of the first audio stream, when it is PCM
};

// Reads MXF, MOV, MP4 and Matroska clips (and any AVI given to it) with
// libavformat: the container's headers and index only. No codec is opened and
// the stream information that only decoding would give is not asked for, so
// some values stay empty and the probe falls back to others.
class ContainerProbe
{
public:
    struct Result
    {
        std::optional<MediaFacts> facts;
        QString failure; // one of the four texts, naming the container; empty on success
        ContainerInfo info;

        bool ok() const { return facts.has_value(); }
    };

    using FileExists = std::function<bool(const QString &path)>;

    // The containers the probe relies on; every build of it has their readers.
    static const char *const kFormats; // "mxf,mov,matroska,avi"
    // A time base finer than this is not a frame rate (Matroska counts milliseconds).
    static constexpr qint64 kMaxBaseRate = 300;
    // What one probe may read and how long it may take: a file still being
    // copied in, or a damaged one, must not freeze the window.
    static constexpr qint64 kMaxReadBytes = qint64(32) << 20;
    static constexpr int kMaxSeconds = 10;
    // libavformat's largest single allocation: the index of 60 hours at 25 fps.
    static constexpr size_t kMaxAllocation = size_t(128) << 20;

    enum class Failure { CannotOpen, NoFileInfo, NoVideoStream, NoVideoStreamInfo };

    // The box text of a failure, naming the clip's type by its extension
    // ("Не могу открыть MXF"); an AVI's are the AVI probe's own.
    static QString failureText(Failure failure, const QString &clipPath);

    static Result probe(const QString &clipPath, const QString &audioLocation);

    // The same on a file's bytes held in memory; clipPath only names the WAV companion.
    static Result probeBytes(const QByteArray &bytes, const QString &clipPath, const QString &audioLocation,
                             const FileExists &fileExists);

    // The decisions on values already read.
    static Result fromInfo(const ContainerInfo &info, const QString &clipPath, const QString &audioLocation,
                           const FileExists &fileExists);

    // The average rate, else the base rate, else the inverse of the time base;
    // nothing when none has a whole-number form the time base can carry.
    static std::optional<double> frameRate(const ContainerInfo &info);

    // The frames that play. MOV/MP4: the index after the edit list. Matroska:
    // mkvmerge's frame count, else the track's end (its DURATION tag, else the
    // file's duration) less the first timestamp. Others: the header's frame
    // count, else the stream's duration, its duration tag or the container's
    // duration. Nothing when none gives a count from 1 to 2^32 - 1.
    static std::optional<quint32> frameCount(const ContainerInfo &info, double rate);
};

} // namespace lintaro
