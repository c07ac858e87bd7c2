#include "containerprobe.h"

#include "aviprobe.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>

extern "C" {
#include <libavcodec/avcodec.h>
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
// terminal; the probe reports what matters itself. A damaged index may ask
// for gigabytes in one piece: such an allocation fails instead.
void prepareLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] {
        av_log_set_level(AV_LOG_QUIET);
        av_max_alloc(ContainerProbe::kMaxAllocation);
    });
}

// What the reading of one file may cost; the library asks between its reads.
struct Budget
{
    const AVFormatContext *context = nullptr;
    QElapsedTimer clock;
    bool overBytes = false;
    bool overTime = false;

    bool exceeded()
    {
        overBytes = overBytes
            || (context && context->pb && context->pb->bytes_read > ContainerProbe::kMaxReadBytes);
        overTime = overTime || clock.hasExpired(qint64(ContainerProbe::kMaxSeconds) * 1000);
        return overBytes || overTime;
    }
};

int interrupted(void *opaque)
{
    return static_cast<Budget *>(opaque)->exceeded() ? 1 : 0;
}

// mkvmerge writes "NUMBER_OF_FRAMES", older versions "NUMBER_OF_FRAMES-eng".
QString trackTag(const AVDictionary *tags, const char *key)
{
    if (const AVDictionaryEntry *entry = av_dict_get(tags, key, nullptr, 0))
        return QString::fromUtf8(entry->value);
    const QByteArray prefix = QByteArray(key) + '-';
    const AVDictionaryEntry *entry = av_dict_get(tags, prefix.constData(), nullptr, AV_DICT_IGNORE_SUFFIX);
    return entry && entry->value ? QString::fromUtf8(entry->value) : QString();
}

qint32 pcmBitDepth(const AVCodecParameters *audio)
{
    // The PCM codecs come first among the audio codecs, before ADPCM.
    if (audio->codec_id < AV_CODEC_ID_FIRST_AUDIO || audio->codec_id >= AV_CODEC_ID_ADPCM_IMA_QT)
        return 0;
    const int bits = av_get_bits_per_sample(audio->codec_id);
    return bits > 0 ? bits : std::max(audio->bits_per_coded_sample, 0);
}

ContainerInfo::Family familyOf(const AVInputFormat *format)
{
    const QByteArray name = format && format->name ? QByteArray(format->name) : QByteArray();
    if (name.startsWith("mov"))
        return ContainerInfo::Family::Mov;
    if (name.startsWith("matroska"))
        return ContainerInfo::Family::Matroska;
    return ContainerInfo::Family::Other;
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
    info.family = familyOf(context->iformat);
    if (context->duration != AV_NOPTS_VALUE && context->duration > 0)
        info.containerDurationUs = context->duration;

    const AVStream *video = nullptr;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream *stream = context->streams[i];
        if (!stream || !stream->codecpar)
            continue;
        const AVCodecParameters *codec = stream->codecpar;
        if (codec->codec_type == AVMEDIA_TYPE_AUDIO) {
            // Broadcast MXF carries each channel as a stream of its own.
            const qint64 channels = std::max(codec->ch_layout.nb_channels, 0);
            info.audioChannels = qint32(std::min<qint64>(info.audioChannels + channels, 1 << 16));
            if (!info.hasAudio) {
                info.sampleRate = std::max(codec->sample_rate, 0);
                info.bitDepth = pcmBitDepth(codec);
            }
            info.hasAudio = true;
        } else if (codec->codec_type == AVMEDIA_TYPE_VIDEO && !video
            && !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
            video = stream;
        }
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
    info.durationTag = trackTag(video->metadata, "DURATION");
    if (trackTag(video->metadata, "_STATISTICS_TAGS").contains(QStringLiteral("DURATION")))
        info.durationTagIsLength = true;
    if (trackTag(video->metadata, "_STATISTICS_TAGS").contains(QStringLiteral("NUMBER_OF_FRAMES")))
        info.statisticsFrames = trackTag(video->metadata, "NUMBER_OF_FRAMES").toLongLong();
    if (info.family == ContainerInfo::Family::Mov) {
        // The edit list marks the samples before its start as decoded but not shown.
        const int entries = avformat_index_get_entries_count(video);
        if (entries > 0) {
            qint64 played = 0;
            for (int i = 0; i < entries; ++i) {
                const AVIndexEntry *entry = avformat_index_get_entry(const_cast<AVStream *>(video), i);
                played += entry && !(entry->flags & AVINDEX_DISCARD_FRAME);
            }
            info.playedFrames = played;
        }
    }
    info.width = std::max(video->codecpar->width, 0);
    info.height = std::max(video->codecpar->height, 0);
    AVRational aspect = video->sample_aspect_ratio;
    if (aspect.num <= 0 || aspect.den <= 0)
        aspect = video->codecpar->sample_aspect_ratio;
    if (aspect.num > 0 && aspect.den > 0) {
        av_reduce(&aspect.num, &aspect.den, aspect.num, aspect.den, 1 << 16);
        info.sampleAspect = ratio(aspect);
    }
    return info;
}

// The first timestamp of the video stream, from the packets of its first
// frames (without decoding them): a Matroska track may start late.
std::optional<qint64> firstVideoTimestamp(AVFormatContext *context, const AVStream *video)
{
    AVPacket *packet = av_packet_alloc();
    if (!packet)
        return std::nullopt;
    std::optional<qint64> first;
    // A few frames, for a stream whose first packet is not its first picture.
    for (int seen = 0, read = 0; seen < 4 && read < 1000 && av_read_frame(context, packet) >= 0; ++read) {
        if (packet->stream_index == video->index) {
            ++seen;
            const qint64 stamp = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
            if (stamp != AV_NOPTS_VALUE && (!first || stamp < *first))
                first = stamp;
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    return first;
}

const AVStream *videoStream(const AVFormatContext *context)
{
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream *stream = context->streams[i];
        if (stream && stream->codecpar && stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO
            && !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC))
            return stream;
    }
    return nullptr;
}

AVDictionary *openOptions()
{
    AVDictionary *options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    av_dict_set(&options, "format_whitelist", ContainerProbe::kFormats, 0);
    av_dict_set_int(&options, "probesize", ContainerProbe::kMaxReadBytes, 0);
    av_dict_set_int(&options, "max_index_size", 1 << 20, 0);
    return options;
}

enum class Read { Ok, Failed, OverBytes, OverTime };

// Opens with the given context (a fresh one when null) and reads the headers,
// within the budget.
Read readInfo(AVFormatContext *context, const QByteArray &url, Budget *budget, ContainerInfo *info)
{
    prepareLibrary();
    if (!context)
        context = avformat_alloc_context();
    if (!context)
        return Read::Failed;
    budget->context = context;
    budget->clock.start();
    context->interrupt_callback = { interrupted, budget };
    AVDictionary *options = openOptions();
    // On failure the library frees the context itself.
    const int opened = avformat_open_input(&context, url.constData(), nullptr, &options);
    av_dict_free(&options);
    if (opened >= 0) {
        *info = infoFrom(context);
        const AVStream *video = videoStream(context);
        if (info->family == ContainerInfo::Family::Matroska && video && !info->statisticsFrames)
            info->firstTimestamp = firstVideoTimestamp(context, video);
        budget->exceeded(); // the last count, while the context still holds it
        avformat_close_input(&context);
    }
    budget->context = nullptr;
    // Whatever the library made of a file it could not finish reading, the
    // probe does not trust it.
    if (budget->overBytes)
        return Read::OverBytes;
    if (budget->overTime)
        return Read::OverTime;
    return opened >= 0 ? Read::Ok : Read::Failed;
}

struct Memory
{
    const QByteArray *bytes = nullptr;
    qint64 position = 0;
    Budget *budget = nullptr;
};

int readMemory(void *opaque, uint8_t *into, int size)
{
    auto *memory = static_cast<Memory *>(opaque);
    const qint64 left = memory->bytes->size() - memory->position;
    if (left <= 0 || size <= 0)
        return AVERROR_EOF;
    if (memory->budget->exceeded())
        return AVERROR_EXIT;
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

QString ContainerProbe::failureText(Failure failure, const QString &clipPath)
{
    // Any other short extension names itself ("M4V"); a file without one keeps the AVI texts.
    static const QRegularExpression shortSuffix(QStringLiteral("^[A-Za-z0-9]{2,4}$"));
    const QString suffix = QFileInfo(clipPath).suffix();
    const QString type = shortSuffix.match(suffix).hasMatch() ? suffix.toUpper() : QStringLiteral("AVI");
    switch (failure) {
    case Failure::CannotOpen:
        return QStringLiteral("Не могу открыть ") + type;
    case Failure::NoFileInfo:
        return QStringLiteral("Не могу узнать информацию об ") + type;
    case Failure::NoVideoStream:
        return QStringLiteral("Не могу открыть видео поток в ") + type;
    case Failure::NoVideoStreamInfo:
        break;
    }
    return QStringLiteral("Не могу узнать информацию о видеопотоке в ") + type;
}

namespace {

ContainerProbe::Result refused(Read read, const QString &clipPath)
{
    ContainerProbe::Result result;
    using Failure = ContainerProbe::Failure;
    switch (read) {
    case Read::OverBytes:
        result.failure = ContainerProbe::failureText(Failure::NoVideoStreamInfo, clipPath)
            + QStringLiteral(": заголовок не найден в первых %1 МБ").arg(ContainerProbe::kMaxReadBytes >> 20);
        break;
    case Read::OverTime:
        result.failure = ContainerProbe::failureText(Failure::NoVideoStreamInfo, clipPath)
            + QStringLiteral(": файл не прочитан за %1 секунд").arg(ContainerProbe::kMaxSeconds);
        break;
    case Read::Ok:
    case Read::Failed:
        result.failure = ContainerProbe::failureText(Failure::CannotOpen, clipPath);
        break;
    }
    return result;
}

} // namespace

ContainerProbe::Result ContainerProbe::probe(const QString &clipPath, const QString &audioLocation)
{
    // Only a regular file: a pipe or a device would never end.
    const QFileInfo file(clipPath);
#ifdef Q_OS_WIN
    const QByteArray name = file.absoluteFilePath().toUtf8(); // the library takes UTF-8 there
#else
    const QByteArray name = QFile::encodeName(file.absoluteFilePath());
#endif
    if (clipPath.isEmpty() || !file.isFile())
        return refused(Read::Failed, clipPath);
    ContainerInfo info;
    Budget budget;
    // "file:" in front, so no part of a name is ever taken for another protocol.
    const Read read = readInfo(nullptr, "file:" + name, &budget, &info);
    if (read != Read::Ok)
        return refused(read, clipPath);
    Result result = fromInfo(
        info, clipPath, audioLocation, [](const QString &path) { return QFileInfo(path).isFile(); });
    if (result.facts && !info.hasAudio)
        AviProbe::addCompanionSound(*result.facts, clipPath, audioLocation);
    return result;
}

ContainerProbe::Result ContainerProbe::probeBytes(const QByteArray &bytes, const QString &clipPath,
                                                  const QString &audioLocation, const FileExists &fileExists)
{
    Budget budget;
    Memory memory { &bytes, 0, &budget };
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
        return refused(Read::Failed, clipPath);
    }
    context->pb = io;
    context->flags |= AVFMT_FLAG_CUSTOM_IO;
    ContainerInfo info;
    const Read read = readInfo(context, QByteArray(), &budget, &info);
    av_freep(&io->buffer); // the library may have replaced the first buffer
    avio_context_free(&io);
    if (read != Read::Ok)
        return refused(read, clipPath);
    return fromInfo(info, clipPath, audioLocation, fileExists);
}

ContainerProbe::Result ContainerProbe::fromInfo(const ContainerInfo &info, const QString &clipPath,
                                                const QString &audioLocation, const FileExists &fileExists)
{
    Result result;
    result.info = info;
    if (!info.hasVideo) {
        result.failure = failureText(Failure::NoVideoStream, clipPath);
        return result;
    }
    const std::optional<double> rate = frameRate(info);
    if (!rate) {
        result.failure = failureText(Failure::NoFileInfo, clipPath);
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
    facts.width = info.width;
    facts.height = info.height;
    facts.sarNum = qint32(info.sampleAspect.num);
    facts.sarDen = qint32(info.sampleAspect.den);
    facts.audioChannels = info.audioChannels;
    facts.sampleRate = info.sampleRate;
    facts.bitDepth = info.bitDepth;
    if (!frames || !durationFits(facts)) {
        result.failure = failureText(Failure::NoVideoStreamInfo, clipPath);
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
    const auto counted = [](qint64 frames) -> std::optional<quint32> {
        if (frames <= 0 || frames > qint64(std::numeric_limits<quint32>::max()))
            return std::nullopt;
        return quint32(frames);
    };
    const bool hasBase = info.timeBase.num > 0 && info.timeBase.den > 0;
    const double secondsPerUnit = hasBase ? double(info.timeBase.num) / double(info.timeBase.den) : 0;

    switch (info.family) {
    case ContainerInfo::Family::Mov:
        // The raw sample count would include what the edit list cuts away.
        return counted(info.playedFrames.value_or(0));
    case ContainerInfo::Family::Matroska: {
        if (info.statisticsFrames > 0)
            return counted(info.statisticsFrames);
        const std::optional<double> tag = tagSeconds(info.durationTag);
        if (tag && info.durationTagIsLength)
            return framesFor(*tag, rate);
        std::optional<double> end = tag;
        if (!end && info.containerDurationUs)
            end = double(*info.containerDurationUs) / 1e6;
        // A track ends where its DURATION says; it starts at its first frame,
        // which FFmpeg puts after the sound's priming delay or where the source began.
        if (!end || !info.firstTimestamp || !hasBase)
            return std::nullopt;
        return framesFor(*end - double(*info.firstTimestamp) * secondsPerUnit, rate);
    }
    case ContainerInfo::Family::Other:
        break;
    }

    if (info.frameCount > 0)
        return counted(info.frameCount);
    if (info.streamDuration && *info.streamDuration > 0 && hasBase) {
        if (const std::optional<quint32> frames
            = framesFor(double(*info.streamDuration) * secondsPerUnit, rate))
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
