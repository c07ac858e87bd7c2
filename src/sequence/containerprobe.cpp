#include "containerprobe.h"

#include "aviprobe.h"

#include <QFileInfo>
#include <QRegularExpression>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>

namespace lintaro {

const char *const ContainerProbe::kFormats = "mxf,mov,matroska,avi";

namespace {

// The library's own warnings about odd files would land on the operator's
// terminal; the probe reports what matters itself.
void quietLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

QString tagValue(const AVDictionary *tags, const char *key)
{
    const AVDictionaryEntry *entry = av_dict_get(tags, key, nullptr, 0);
    return entry && entry->value ? QString::fromUtf8(entry->value) : QString();
}

// A timecode is digits and separators; anything else is not one we can use.
QString checkedTimecode(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^[0-9]{1,2}:[0-9]{2}:[0-9]{2}[:;.,][0-9]{1,3}$"));
    return form.match(text).hasMatch() ? text : QString();
}

ContainerInfo::Ratio ratio(AVRational value)
{
    return {value.num, value.den};
}

ContainerInfo infoFrom(const AVFormatContext *context)
{
    ContainerInfo info;
    if (context->duration != AV_NOPTS_VALUE && context->duration > 0)
        info.containerDurationUs = context->duration;

    const AVStream *video = nullptr;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream *stream = context->streams[i];
        if (!stream || !stream->codecpar)
            continue;
        const AVMediaType type = stream->codecpar->codec_type;
        if (type == AVMEDIA_TYPE_AUDIO)
            info.hasAudio = true;
        else if (type == AVMEDIA_TYPE_VIDEO && !video && !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC))
            video = stream;
    }

    // MXF names its timecode for the whole file; MOV keeps it on a timecode
    // track and may copy it to the video stream.
    QString timecode = checkedTimecode(tagValue(context->metadata, "timecode"));
    if (timecode.isEmpty() && video)
        timecode = checkedTimecode(tagValue(video->metadata, "timecode"));
    for (unsigned i = 0; timecode.isEmpty() && i < context->nb_streams; ++i) {
        if (context->streams[i])
            timecode = checkedTimecode(tagValue(context->streams[i]->metadata, "timecode"));
    }
    info.timecode = timecode;

    if (!video)
        return info;
    info.hasVideo = true;
    info.frameCount = video->nb_frames;
    info.averageRate = ratio(video->avg_frame_rate);
    info.realRate = ratio(video->r_frame_rate);
    info.timeBase = ratio(video->time_base);
    if (video->duration != AV_NOPTS_VALUE)
        info.streamDuration = video->duration;
    info.durationTag = tagValue(video->metadata, "DURATION");
    return info;
}

AVDictionary *openOptions()
{
    AVDictionary *options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    av_dict_set(&options, "format_whitelist", ContainerProbe::kFormats, 0);
    return options;
}

// Opens with the given context (a fresh one when null) and reads the headers.
bool readInfo(AVFormatContext *context, const QByteArray &url, ContainerInfo *info)
{
    quietLibrary();
    AVDictionary *options = openOptions();
    // On failure the library frees the context itself.
    const int opened = avformat_open_input(&context, url.constData(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0)
        return false;
    *info = infoFrom(context);
    avformat_close_input(&context);
    return true;
}

struct Memory
{
    const QByteArray *bytes = nullptr;
    qint64 position = 0;
};

int readMemory(void *opaque, uint8_t *into, int size)
{
    auto *memory = static_cast<Memory *>(opaque);
    const qint64 left = memory->bytes->size() - memory->position;
    if (left <= 0 || size <= 0)
        return AVERROR_EOF;
    const int count = int(std::min<qint64>(left, size));
    std::memcpy(into, memory->bytes->constData() + memory->position, size_t(count));
    memory->position += count;
    return count;
}

int64_t seekMemory(void *opaque, int64_t offset, int whence)
{
    auto *memory = static_cast<Memory *>(opaque);
    const qint64 size = memory->bytes->size();
    if (whence & AVSEEK_SIZE)
        return size;
    qint64 base = 0;
    switch (whence & ~AVSEEK_FORCE) {
    case SEEK_SET: base = 0; break;
    case SEEK_CUR: base = memory->position; break;
    case SEEK_END: base = size; break;
    default: return -1;
    }
    if (offset > size || offset < -size || base + offset < 0 || base + offset > size)
        return -1;
    memory->position = base + offset;
    return memory->position;
}

// "HH:MM:SS.nnnnnnnnn" in seconds.
std::optional<double> tagSeconds(const QString &tag)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{1,6}):(\\d{2}):(\\d{2}(?:\\.\\d{1,9})?)$"));
    const QRegularExpressionMatch match = form.match(tag);
    if (!match.hasMatch())
        return std::nullopt;
    return (match.captured(1).toDouble() * 60 + match.captured(2).toDouble()) * 60 + match.captured(3).toDouble();
}

std::optional<quint32> framesFor(double seconds, double rate)
{
    const double frames = std::round(seconds * rate);
    if (!std::isfinite(frames) || frames < 1 || frames > double(std::numeric_limits<quint32>::max()))
        return std::nullopt;
    return quint32(frames);
}

std::optional<double> rateOf(ContainerInfo::Ratio value)
{
    if (value.num <= 0 || value.den <= 0)
        return std::nullopt;
    const double rate = double(value.num) / double(value.den);
    return integerRate(rate) ? std::optional<double>(rate) : std::nullopt;
}

} // namespace

ContainerProbe::Result ContainerProbe::probe(const QString &clipPath, const QString &audioLocation)
{
    Result result;
    // Only a regular file: a pipe or a device would never end.
    const QFileInfo file(clipPath);
#ifdef Q_OS_WIN
    const QByteArray name = file.absoluteFilePath().toUtf8(); // the library takes UTF-8 there
#else
    const QByteArray name = QFile::encodeName(file.absoluteFilePath());
#endif
    ContainerInfo info;
    // "file:" in front, so no part of a name is ever taken for another protocol.
    if (clipPath.isEmpty() || !file.isFile() || !readInfo(nullptr, "file:" + name, &info)) {
        result.failure = AviProbe::kCannotOpen;
        return result;
    }
    return fromInfo(info, clipPath, audioLocation, [](const QString &path) { return QFileInfo::exists(path); });
}

ContainerProbe::Result ContainerProbe::probeBytes(const QByteArray &bytes, const QString &clipPath,
                                                  const QString &audioLocation, const FileExists &fileExists)
{
    Result result;
    result.failure = AviProbe::kCannotOpen;
    Memory memory{&bytes, 0};
    constexpr int kBufferSize = 4096;
    auto *buffer = static_cast<unsigned char *>(av_malloc(kBufferSize));
    AVIOContext *io = buffer ? avio_alloc_context(buffer, kBufferSize, 0, &memory, readMemory, nullptr, seekMemory)
                             : nullptr;
    AVFormatContext *context = io ? avformat_alloc_context() : nullptr;
    if (!context) {
        if (io)
            av_freep(&io->buffer);
        else
            av_free(buffer);
        avio_context_free(&io);
        return result;
    }
    context->pb = io;
    context->flags |= AVFMT_FLAG_CUSTOM_IO;
    ContainerInfo info;
    const bool read = readInfo(context, QByteArray(), &info);
    av_freep(&io->buffer); // the library may have replaced the first buffer
    avio_context_free(&io);
    if (!read)
        return result;
    return fromInfo(info, clipPath, audioLocation, fileExists);
}

ContainerProbe::Result ContainerProbe::fromInfo(const ContainerInfo &info, const QString &clipPath,
                                                const QString &audioLocation, const FileExists &fileExists)
{
    Result result;
    result.info = info;
    if (!info.hasVideo) {
        result.failure = AviProbe::kNoVideoStream;
        return result;
    }
    const std::optional<double> rate = frameRate(info);
    if (!rate) {
        result.failure = AviProbe::kNoFileInfo;
        return result;
    }
    const std::optional<quint32> frames = frameCount(info, *rate);
    const IntegerRate integer = *integerRate(*rate);
    MediaFacts facts;
    facts.frameCount = frames.value_or(0);
    facts.sampleStep = integer.sampleStep;
    facts.scaledRate = integer.scaledRate;
    // Sound inside the file decides; a WAV companion only counts for a file without.
    facts.mediaType = AviProbe::mediaType(info.hasAudio ? 2 : 1, clipPath, audioLocation, fileExists);
    facts.startTimecode = info.timecode;
    if (!frames || !durationFits(facts)) {
        result.failure = AviProbe::kNoVideoStreamInfo;
        return result;
    }
    result.facts = facts;
    return result;
}

std::optional<double> ContainerProbe::frameRate(const ContainerInfo &info)
{
    if (const std::optional<double> average = rateOf(info.averageRate))
        return average;
    if (const std::optional<double> real = rateOf(info.realRate))
        return real;
    // A stream counted in frames: the time base is one frame.
    const ContainerInfo::Ratio inverse{info.timeBase.den, info.timeBase.num};
    if (inverse.num > 0 && inverse.den > 0 && inverse.num <= kMaxBaseRate * inverse.den)
        return rateOf(inverse);
    return std::nullopt;
}

std::optional<quint32> ContainerProbe::frameCount(const ContainerInfo &info, double rate)
{
    if (info.frameCount > 0) {
        if (info.frameCount > qint64(std::numeric_limits<quint32>::max()))
            return std::nullopt;
        return quint32(info.frameCount);
    }
    if (info.streamDuration && *info.streamDuration > 0 && info.timeBase.num > 0 && info.timeBase.den > 0) {
        const double seconds = double(*info.streamDuration) * double(info.timeBase.num) / double(info.timeBase.den);
        if (const std::optional<quint32> frames = framesFor(seconds, rate))
            return frames;
    }
    if (const std::optional<double> seconds = tagSeconds(info.durationTag)) {
        if (const std::optional<quint32> frames = framesFor(*seconds, rate))
            return frames;
    }
    if (info.containerDurationUs && *info.containerDurationUs > 0)
        return framesFor(double(*info.containerDurationUs) / 1e6, rate);
    return std::nullopt;
}

} // namespace lintaro
