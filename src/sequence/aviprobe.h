#pragma once

#include "aviheaders.h"
#include "mediafacts.h"

#include <QString>

#include <functional>
#include <optional>

namespace lintaro {

// Finds out what the sequence file needs about one clip: its length in frames,
// its frame rate in whole-number form and whether it has sound. Keeps nothing
// between calls; the file is open only while its headers are read.
class AviProbe
{
public:
    // The four failures, each the text of its box.
    static const QString kCannotOpen;        // "Не могу открыть AVI"
    static const QString kNoFileInfo;        // "Не могу узнать информацию об AVI"
    static const QString kNoVideoStream;     // "Не могу открыть видео поток в AVI"
    static const QString kNoVideoStreamInfo; // "Не могу узнать информацию о видеопотоке в AVI"

    struct Result
    {
        std::optional<MediaFacts> facts;
        QString failure; // empty on success
        AviHeaders headers; // as read, for a caller that wants the raw values

        bool ok() const { return facts.has_value(); }
    };

    using FileExists = std::function<bool(const QString &path)>;

    // audioLocation: empty (sound inside the AVI), "." (a WAV file next to the
    // video) or a drive letter (a WAV file at the same path on that drive).
    static Result probe(const QString &clipPath, const QString &audioLocation);

    // The same decisions on headers already read; fileExists answers for the WAV companion.
    static Result fromHeaders(const AviHeaders &headers, const QString &clipPath,
                              const QString &audioLocation, const FileExists &fileExists);

    // The file's frame rate: the first video stream's rate ÷ scale, or the main
    // header's time per frame when the stream gives none. Nothing when neither
    // gives a rate the time base can carry.
    static std::optional<double> frameRate(const AviHeaders &headers);

    // Frames of the first video stream: its header's length, or the OpenDML total
    // when that is larger (the stream header may count the first part only).
    static quint32 frameCount(const AviHeaders &headers, qsizetype videoStream);

    // 3 when the clip has sound, 1 when not; the companion is only looked for
    // when the file has fewer than two streams and the sound is kept apart.
    static qint32 mediaType(quint32 streamCount, const QString &clipPath, const QString &audioLocation,
                            const FileExists &fileExists);

    // The sound of a clip that has none of its own from its WAV companion's
    // header, when the audio location names one and it can be read.
    static void addCompanionSound(MediaFacts &facts, const QString &clipPath, const QString &audioLocation);

    // Picture and sound from the headers: the first video stream's format (else
    // the main header), the channels of every audio stream, the first one's rate.
    static void addPictureAndSound(MediaFacts &facts, const AviHeaders &headers, qsizetype videoStream);

    // The clip path with its last three characters replaced by "wav", on the
    // chosen drive when there is one and the clip path starts with a drive.
    static QString wavCompanionPath(const QString &clipPath, const QString &audioLocation);
};

} // namespace lintaro
