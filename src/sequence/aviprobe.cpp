#include "aviprobe.h"

#include "aviheaderreader.h"

#include <QFileInfo>

#include <algorithm>
#include <numeric>

namespace lintaro {

const QString AviProbe::kCannotOpen = QStringLiteral("Не могу открыть AVI");
const QString AviProbe::kNoFileInfo = QStringLiteral("Не могу узнать информацию об AVI");
const QString AviProbe::kNoVideoStream = QStringLiteral("Не могу открыть видео поток в AVI");
const QString AviProbe::kNoVideoStreamInfo = QStringLiteral("Не могу узнать информацию о видеопотоке в AVI");

AviProbe::Result AviProbe::probe(const QString &clipPath, const QString &audioLocation)
{
    const AviHeaderReader::Result read = AviHeaderReader::readFile(clipPath);
    if (read.status != AviHeaderReader::Status::Ok) {
        Result result;
        result.failure = kCannotOpen;
        result.headers = read.headers;
        return result;
    }
    Result result = fromHeaders(read.headers, clipPath, audioLocation,
        // A folder that happens to be named x.wav is no sound file.
        [](const QString &path) { return QFileInfo(path).isFile(); });
    if (result.facts && read.headers.streamCount < 2)
        addCompanionSound(*result.facts, clipPath, audioLocation);
    return result;
}

AviProbe::Result AviProbe::fromHeaders(const AviHeaders &headers, const QString &clipPath,
                                       const QString &audioLocation, const FileExists &fileExists)
{
    Result result;
    result.headers = headers;
    const qint32 type = mediaType(headers.streamCount, clipPath, audioLocation, fileExists);

    // The video stream first: an audio-only file has no rate either, and its
    // real fault is the missing video.
    const qsizetype video = headers.firstVideoStream();
    if (video < 0) {
        result.failure = kNoVideoStream;
        return result;
    }
    if (!headers.streams[video].holdsLength()) {
        result.failure = kNoVideoStreamInfo;
        return result;
    }
    const std::optional<double> rate = frameRate(headers);
    if (!rate) {
        result.failure = kNoFileInfo;
        return result;
    }

    const IntegerRate integer = *integerRate(*rate);
    MediaFacts facts;
    facts.frameCount = frameCount(headers, video);
    facts.sampleStep = integer.sampleStep;
    facts.scaledRate = integer.scaledRate;
    facts.mediaType = type;
    addPictureAndSound(facts, headers, video);
    // An empty video stream has no last frame to mark, and a length whose
    // duration wraps round in the time base would place the clip wrongly.
    if (facts.frameCount == 0 || !durationFits(facts)) {
        result.failure = kNoVideoStreamInfo;
        return result;
    }
    result.facts = facts;
    return result;
}

std::optional<double> AviProbe::frameRate(const AviHeaders &headers)
{
    const qsizetype video = headers.firstVideoStream();
    if (video >= 0) {
        const AviStreamHeader &stream = headers.streams[video];
        if (stream.holdsRate() && stream.rate != 0 && stream.scale != 0) {
            const double rate = double(stream.rate) / double(stream.scale);
            if (integerRate(rate))
                return rate;
        }
    }
    if (headers.microSecPerFrame != 0) {
        const double rate = 1000000.0 / double(headers.microSecPerFrame);
        if (integerRate(rate))
            return rate;
    }
    return std::nullopt;
}

quint32 AviProbe::frameCount(const AviHeaders &headers, qsizetype videoStream)
{
    const quint32 length = headers.streams.value(videoStream).length;
    return std::max(length, headers.odmlTotalFrames.value_or(0));
}

void AviProbe::addCompanionSound(MediaFacts &facts, const QString &clipPath, const QString &audioLocation)
{
    if (facts.mediaType != 3 || audioLocation.isEmpty())
        return;
    const std::optional<AviSoundFormat> sound
        = AviHeaderReader::readWaveFile(wavCompanionPath(clipPath, audioLocation));
    if (!sound)
        return;
    if (sound->channels == 0 || sound->samplesPerSec == 0 || sound->samplesPerSec > 1000000)
        return;
    facts.audioChannels = sound->channels;
    facts.sampleRate = qint32(sound->samplesPerSec);
    facts.bitDepth = sound->isPcm() && sound->bitsPerSample <= 64 ? sound->bitsPerSample : 0;
}

void AviProbe::addPictureAndSound(MediaFacts &facts, const AviHeaders &headers, qsizetype videoStream)
{
    // No picture or sound is larger; a larger value is damage, and says nothing.
    constexpr quint32 kLargest = 1 << 16;
    constexpr quint32 kFastestSound = 1000000;
    const auto fits = [](quint32 width, quint32 height) {
        return width > 0 && height > 0 && width <= kLargest && height <= kLargest;
    };
    const AviStreamHeader &video = headers.streams[videoStream];
    if (fits(video.width, video.height)) {
        facts.width = qint32(video.width);
        facts.height = qint32(video.height);
    } else if (fits(headers.width, headers.height)) {
        facts.width = qint32(headers.width);
        facts.height = qint32(headers.height);
    }
    // The frame's shape over its picture's shape gives the shape of a pixel.
    if (fits(video.aspectNum, video.aspectDen) && fits(video.aspectWidth, video.aspectHeight)) {
        qint64 num = qint64(video.aspectNum) * video.aspectHeight;
        qint64 den = qint64(video.aspectDen) * video.aspectWidth;
        const qint64 common = std::gcd(num, den);
        num /= common;
        den /= common;
        if (num <= kLargest && den <= kLargest) {
            facts.sarNum = qint32(num);
            facts.sarDen = qint32(den);
        }
    }
    for (const AviStreamHeader &stream : headers.streams) {
        const AviSoundFormat &sound = stream.sound;
        if (stream.type != fourCc("auds") || !fits(sound.channels, sound.samplesPerSec)
            || sound.samplesPerSec > kFastestSound)
            continue;
        if (facts.audioChannels == 0) {
            facts.sampleRate = qint32(sound.samplesPerSec);
            facts.bitDepth = sound.isPcm() && sound.bitsPerSample <= 64 ? sound.bitsPerSample : 0;
        }
        facts.audioChannels += sound.channels;
    }
}

qint32 AviProbe::mediaType(quint32 streamCount, const QString &clipPath, const QString &audioLocation,
                           const FileExists &fileExists)
{
    if (streamCount >= 2)
        return 3;
    if (audioLocation.isEmpty())
        return 1;
    return fileExists(wavCompanionPath(clipPath, audioLocation)) ? 3 : 1;
}

QString AviProbe::wavCompanionPath(const QString &clipPath, const QString &audioLocation)
{
    const QString stem = clipPath.left(std::max<qsizetype>(clipPath.size() - 3, 0));
    if (audioLocation == QStringLiteral(".") || clipPath.size() < 2 || clipPath[1] != u':')
        return stem + QStringLiteral("wav");
    return audioLocation + stem.mid(1) + QStringLiteral("wav");
}

} // namespace lintaro
