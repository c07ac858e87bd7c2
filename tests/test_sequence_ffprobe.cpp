// The probe against ffprobe, on clips ffmpeg makes here and now: several codecs,
// broadcast rates, one to three streams, audio before the video; MXF, MOV, MP4
// and Matroska beside AVI. Frame count and rate of the first video stream must
// agree after the whole-number rounding.
#include "sequence/aviprobe.h"
#include "sequence/containerprobe.h"
#include "sequence/mediaprobe.h"
#include "sequence/mediafacts.h"
#include "sequence/editrate.h"
#include "sequence/edlwriter.h"
#include "sequence/fcpxmlwriter.h"
#include "sequence/sequencewriter.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace lintaro;

namespace {

struct Clip
{
    const char *name;
    const char *codec;
    const char *rate;
    const char *size;
    int frames;
    int audioBefore; // audio streams ahead of the video
    int audioAfter;
    QStringList extra = {};
};

bool run(const QString &program, const QStringList &arguments, QByteArray *output = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, arguments);
    if (!process.waitForStarted(10000))
        return false;
    process.closeWriteChannel();
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return false;
    }
    if (output)
        *output = process.readAllStandardOutput();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        ADD_FAILURE() << program.toStdString() << " failed: " << process.readAllStandardError().toStdString();
        return false;
    }
    return true;
}

QStringList ffmpegArguments(const Clip &clip, const QString &path)
{
    const double seconds = 1.0; // the video input is cut by frame count below
    QStringList arguments = {"-nostdin", "-hide_banner", "-loglevel", "error", "-y"};
    const int audioStreams = clip.audioBefore + clip.audioAfter;
    for (int i = 0; i < audioStreams; ++i) {
        arguments << "-f" << "lavfi" << "-i"
                  << QStringLiteral("sine=frequency=%1:sample_rate=8000:duration=%2").arg(300 + 100 * i).arg(seconds);
    }
    arguments << "-f" << "lavfi" << "-i"
              << QStringLiteral("testsrc=size=%1:rate=%2:duration=%3").arg(clip.size, clip.rate).arg(seconds);
    for (int i = 0; i < clip.audioBefore; ++i)
        arguments << "-map" << QStringLiteral("%1:a").arg(i);
    arguments << "-map" << QStringLiteral("%1:v").arg(audioStreams);
    for (int i = clip.audioBefore; i < audioStreams; ++i)
        arguments << "-map" << QStringLiteral("%1:a").arg(i);
    arguments << "-frames:v" << QString::number(clip.frames) << "-c:v" << clip.codec << clip.extra;
    if (audioStreams > 0)
        arguments << "-c:a" << "pcm_u8";
    arguments << path;
    return arguments;
}

// ffprobe's picture and sound: the first video stream's size and pixel shape,
// the channels of every audio stream, the first one's rate and PCM depth.
void expectPictureAndSound(const QString &ffprobe, const QString &path, const MediaFacts &facts)
{
    QByteArray out;
    ASSERT_TRUE(run(ffprobe,
        { "-v", "error", "-show_entries",
            "stream=codec_type,codec_name,width,height,sample_aspect_ratio,channels,sample_rate,"
            "bits_per_sample",
            "-of", "json", path },
        &out));
    bool video = false, audio = false;
    int channels = 0;
    for (const QJsonValue &value : QJsonDocument::fromJson(out).object()["streams"].toArray()) {
        const QJsonObject stream = value.toObject();
        if (stream["codec_type"] == "video" && !video) {
            video = true;
            // MPEG-4 part 2 in MOV/MP4 leaves its size to the decoder.
            if (facts.width != 0 || !path.endsWith(".mp4")) {
                EXPECT_EQ(facts.width, stream["width"].toInt());
                EXPECT_EQ(facts.height, stream["height"].toInt());
            }
            // A shape the container does not give is square; ffprobe may know it from the decoder.
            const QString sar = stream["sample_aspect_ratio"].toString();
            if (facts.sarNum != 0) {
                EXPECT_EQ(QStringLiteral("%1:%2").arg(facts.sarNum).arg(facts.sarDen), sar);
            }
        } else if (stream["codec_type"] == "audio") {
            channels += stream["channels"].toInt();
            if (!audio) {
                audio = true;
                EXPECT_EQ(facts.sampleRate, stream["sample_rate"].toString().toInt());
                const bool pcm = stream["codec_name"].toString().startsWith("pcm_");
                EXPECT_EQ(facts.bitDepth, pcm ? stream["bits_per_sample"].toInt() : 0);
            }
        }
    }
    EXPECT_EQ(facts.audioChannels, channels);
}

} // namespace

TEST(AviProbeAgainstFfprobe, FirstVideoStreamRateAndLength)
{
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    const QString ffprobe = QStandardPaths::findExecutable(QStringLiteral("ffprobe"));
    if (ffmpeg.isEmpty() || ffprobe.isEmpty())
        GTEST_SKIP() << "ffmpeg and ffprobe are needed (Debian package ffmpeg; scripts/setup.sh installs it)";

    const QList<Clip> clips = {
        {"mpeg4_25.avi", "mpeg4", "25", "32x24", 7, 0, 0, {"-q:v", "31"}},
        {"mjpeg_2997_sound.avi", "mjpeg", "30000/1001", "16x16", 9, 0, 1, {"-q:v", "31"}},
        {"ffv1_23976_audio_first.avi", "ffv1", "24000/1001", "16x16", 5, 1, 0},
        {"rawvideo_12.5.avi", "rawvideo", "12.5", "8x8", 6, 0, 0, {"-pix_fmt", "bgr24"}},
        {"mpeg4_30_three_streams.avi", "mpeg4", "30", "16x16", 4, 1, 1, {"-q:v", "31"}},
        {"mjpeg_50_two_audio_first.avi", "mjpeg", "50", "16x16", 3, 2, 0, {"-q:v", "31"}},
        {"dv_pal_25.avi", "dvvideo", "25", "720x576", 2, 0, 1, {"-pix_fmt", "yuv420p"}},
    };

    QTemporaryDir dir;
    for (const Clip &clip : clips) {
        SCOPED_TRACE(clip.name);
        const QString path = dir.filePath(QString::fromLatin1(clip.name));
        ASSERT_TRUE(run(ffmpeg, ffmpegArguments(clip, path)));

        QByteArray out;
        ASSERT_TRUE(run(ffprobe, {"-v", "error", "-select_streams", "v:0", "-show_entries",
                                  "stream=r_frame_rate,nb_frames", "-of", "default=noprint_wrappers=1", path},
                        &out));
        QByteArray rateText, framesText;
        for (const QByteArray &line : out.split('\n')) {
            if (line.startsWith("r_frame_rate="))
                rateText = line.mid(13).trimmed();
            else if (line.startsWith("nb_frames="))
                framesText = line.mid(10).trimmed();
        }
        const QList<QByteArray> parts = rateText.split('/');
        ASSERT_EQ(parts.size(), 2) << rateText.toStdString();
        const std::optional<IntegerRate> expected = integerRate(parts[0].toDouble() / parts[1].toDouble());
        ASSERT_TRUE(expected);

        const AviProbe::Result probe = AviProbe::probe(path, {});
        ASSERT_TRUE(probe.ok()) << probe.failure.toStdString();
        EXPECT_EQ(probe.facts->frameCount, framesText.toUInt());
        EXPECT_EQ(probe.facts->frameCount, quint32(clip.frames));
        EXPECT_EQ(probe.facts->sampleStep, expected->sampleStep);
        EXPECT_EQ(probe.facts->scaledRate, expected->scaledRate);
        EXPECT_EQ(probe.facts->mediaType, clip.audioBefore + clip.audioAfter > 0 ? 3 : 1);
        EXPECT_EQ(probe.headers.streamCount, quint32(1 + clip.audioBefore + clip.audioAfter));
        expectPictureAndSound(ffprobe, path, *probe.facts);
    }
}

namespace {

struct ContainerClip
{
    const char *name;
    const char *rate;
    const char *size;
    int frames;
    int audio; // mono streams, or with "-ac" in extra one of that many channels
    QStringList video; // codec and its options
    QStringList extra = {};
    const char *remuxedFrom = nullptr; // made by mkvmerge from this clip
};

// ffprobe's own answer, decoding every frame: frame count and rate of the
// first video stream, any audio, and the start timecode.
struct ProbeAnswer
{
    quint32 frames = 0;
    std::optional<IntegerRate> rate;
    bool audio = false;
    QString timecode;
};

ProbeAnswer ffprobeAnswer(const QString &ffprobe, const QString &path)
{
    QByteArray out;
    ProbeAnswer answer;
    if (!run(ffprobe,
            { "-v", "error", "-count_frames", "-show_entries",
                "stream=codec_type,avg_frame_rate,r_frame_rate,nb_read_frames:stream_tags=timecode:"
                "format_tags=timecode",
                "-of", "json", path },
            &out))
        return answer;
    const QJsonObject root = QJsonDocument::fromJson(out).object();
    answer.timecode = root["format"].toObject()["tags"].toObject()["timecode"].toString();
    bool video = false;
    for (const QJsonValue &value : root["streams"].toArray()) {
        const QJsonObject stream = value.toObject();
        const QString type = stream["codec_type"].toString();
        answer.audio = answer.audio || type == "audio";
        if (answer.timecode.isEmpty())
            answer.timecode = stream["tags"].toObject()["timecode"].toString();
        if (type != "video" || video)
            continue;
        video = true;
        answer.frames = stream["nb_read_frames"].toString().toUInt();
        QStringList rate = stream["avg_frame_rate"].toString().split(u'/');
        if (rate.value(0).toInt() <= 0)
            rate = stream["r_frame_rate"].toString().split(u'/');
        answer.rate = integerRate(rate.value(0).toDouble() / rate.value(1).toDouble());
    }
    return answer;
}

} // namespace

TEST(ContainerProbeAgainstFfprobe, MxfMovMp4MkvAgreeWithEveryFrameDecoded)
{
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    const QString ffprobe = QStandardPaths::findExecutable(QStringLiteral("ffprobe"));
    const QString mkvmerge = QStandardPaths::findExecutable(QStringLiteral("mkvmerge"));
    if (ffmpeg.isEmpty() || ffprobe.isEmpty() || mkvmerge.isEmpty())
        GTEST_SKIP() << "ffmpeg, ffprobe and mkvmerge are needed (Debian packages ffmpeg, mkvtoolnix; "
                        "scripts/setup.sh installs them)";
    QByteArray encoders;
    run(ffmpeg, {"-hide_banner", "-encoders"}, &encoders);
    const QStringList h264 = encoders.contains("libx264") ? QStringList{"-c:v", "libx264", "-preset", "ultrafast"}
                                                          : QStringList{"-c:v", "mpeg4"};

    const QStringList mpeg2 = {"-c:v", "mpeg2video", "-q:v", "20"};
    const QStringList dnxhd = {"-c:v", "dnxhd", "-b:v", "110M", "-pix_fmt", "yuv422p"};
    const QStringList mpeg4 = { "-c:v", "mpeg4", "-q:v", "31" };
    const QStringList aac = { "-c:a", "aac" };
    const QStringList lateStart = { "-output_ts_offset", "10" };
    const QList<ContainerClip> clips = {
        { "mpeg2_25_pcm_tc.mxf", "25", "64x48", 10, 1, mpeg2, { "-timecode", "10:00:00:00" } },
        { "mpeg2_2997.mxf", "30000/1001", "64x48", 8, 0, mpeg2 },
        { "dnxhd_2997_pcm_drop.mxf", "30000/1001", "1280x720", 2, 1, dnxhd, { "-timecode", "00:59:59;28" } },
        { "dnxhr_25.mxf", "25", "256x144", 4, 0,
            { "-c:v", "dnxhd", "-profile:v", "dnxhr_lb", "-pix_fmt", "yuv422p" } },
        { "imx_8_mono_24bit.mxf", "25", "720x608", 3, 8, mpeg2, { "-aspect", "16:9", "-c:a", "pcm_s24le" } },
        { "prores_23976_tc.mov", "24000/1001", "64x48", 12, 0, { "-c:v", "prores" },
            { "-timecode", "01:00:00:00" } },
        { "mjpeg_2997_pcm.mov", "30000/1001", "32x32", 6, 1, { "-c:v", "mjpeg", "-q:v", "31" } },
        { "h264_25_aac.mp4", "25", "64x48", 15, 1, h264, aac },
        { "mpeg4_2997_pcm.mkv", "30000/1001", "64x48", 9, 1, mpeg4 },
        { "ffv1_12.5.mkv", "12.5", "16x16", 6, 0, { "-c:v", "ffv1" } },
        // FFmpeg starts the video after the priming delay of AAC, or where the source began.
        { "aac_40.mkv", "25", "64x48", 40, 1, mpeg4, aac + QStringList { "-ac", "2" } },
        { "late_100.mkv", "25", "720x576", 100, 0, mpeg4, lateStart + QStringList { "-aspect", "16:9" } },
        { "aac_40_mkvmerge.mkv", nullptr, nullptr, 0, 0, {}, {}, "aac_40.mkv" },
        { "late_100_mkvmerge.mkv", nullptr, nullptr, 0, 0, {}, {}, "late_100.mkv" },
        { "late_100_nostats.mkv", nullptr, nullptr, 0, 0, {}, { "--disable-track-statistics-tags" },
            "late_100.mkv" },
        // A cut without re-encoding: the edit list starts at 3 s, the samples at the key frame before it.
        { "h264_source.mp4", "25", "64x48", 200, 1, h264 + QStringList { "-g", "60" }, aac },
        { "h264_cut.mp4", nullptr, nullptr, 0, 0, {}, { "-ss", "3.3" }, "h264_source.mp4" },
        { "h264_cut_2s.mov", nullptr, nullptr, 0, 0, {}, { "-ss", "3.3", "-t", "2" }, "h264_source.mp4" },
    };

    QTemporaryDir dir;
    for (const ContainerClip &clip : clips) {
        SCOPED_TRACE(clip.name);
        const QString path = dir.filePath(QString::fromLatin1(clip.name));
        if (clip.remuxedFrom && QString(clip.name).endsWith(".mkv")) {
            ASSERT_TRUE(run(
                mkvmerge, QStringList { "-q", "-o", path } + clip.extra << dir.filePath(clip.remuxedFrom)));
        } else if (clip.remuxedFrom) {
            ASSERT_TRUE(run(ffmpeg,
                QStringList { "-nostdin", "-loglevel", "error", "-y" } + clip.extra
                    + QStringList { "-i", dir.filePath(clip.remuxedFrom), "-c", "copy", path }));
        } else {
            QStringList arguments = { "-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi",
                "-i", QStringLiteral("testsrc=size=%1:rate=%2").arg(clip.size, clip.rate) };
            for (int i = 0; i < clip.audio; ++i)
                arguments << "-f"
                          << "lavfi"
                          << "-i"
                          << "sine=sample_rate=48000:duration=10";
            arguments << "-map"
                      << "0:v"; // MXF wants the video first
            for (int i = 0; i < clip.audio; ++i)
                arguments << "-map" << QStringLiteral("%1:a").arg(i + 1);
            if (clip.audio)
                arguments << "-c:a"
                          << "pcm_s16le"; // unless the clip's own options say otherwise
            arguments << "-frames:v" << QString::number(clip.frames) << clip.video << clip.extra << path;
            ASSERT_TRUE(run(ffmpeg, arguments));
        }

        const ProbeAnswer expected = ffprobeAnswer(ffprobe, path);
        ASSERT_TRUE(expected.rate);
        ASSERT_GT(expected.frames, 0u);
        const MediaProbe::Result probe = MediaProbe::probe(path, {});
        ASSERT_TRUE(probe.ok()) << probe.failure.toStdString();
        EXPECT_EQ(probe.facts->frameCount, expected.frames);
        EXPECT_EQ(probe.facts->sampleStep, expected.rate->sampleStep);
        EXPECT_EQ(probe.facts->scaledRate, expected.rate->scaledRate);
        EXPECT_EQ(probe.facts->mediaType, expected.audio ? 3 : 1);
        EXPECT_EQ(probe.facts->startTimecode, expected.timecode);
        // (FFmpeg's MXF muxer drops the last frames of a clip with sound.)
        if (clip.frames > 0 && !QString(clip.name).endsWith(".mxf")) {
            EXPECT_EQ(expected.frames, quint32(clip.frames)) << "ffprobe itself";
        }
        expectPictureAndSound(ffprobe, path, *probe.facts);
        // The same bytes from memory, as the fuzz harness reads them.
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const auto noWav = [](const QString &) { return false; };
        EXPECT_EQ(ContainerProbe::probeBytes(file.readAll(), path, {}, noWav).facts, probe.facts);
        if (QString(clip.name).endsWith(".mxf")) {
            EXPECT_FALSE(probe.facts->startTimecode.isEmpty()) << "an MXF file always carries one";
        }
        // The EDL starts the source at the container's timecode and runs it for
        // the clip's frames; the XML file carries the same timecode.
        const SequenceFile sequence{QStringLiteral("tc"), {sequenceClip(*probe.facts, path)}};
        const QString edl = QString::fromUtf8(EdlWriter().render(sequence));
        const QStringList event = edl.split(QStringLiteral("\r\n"))[3].split(u' ', Qt::SkipEmptyParts);
        ASSERT_GE(event.size(), 8) << edl.toStdString();
        // Written as the EDL counts the clip's rate: ";" before the frames at 29.97.
        const EditRate rate = EditRate::of(*probe.facts);
        QString sourceIn = expected.timecode.isEmpty() ? QStringLiteral("00:00:00:00") : expected.timecode;
        sourceIn[8] = rate.isDropFrame() ? u';' : u':';
        EXPECT_EQ(event[4], sourceIn);
        EXPECT_EQ(event[5], timecode(sequence.clips[0].sourceInFrame + probe.facts->frameCount, rate));
        EXPECT_TRUE(FcpXmlWriter().render(sequence).contains(
            QStringLiteral("<string>%1</string>").arg(sourceIn).toUtf8()));
    }
}

TEST(ContainerProbeAgainstFfprobe, AFileStillBeingCopiedInIsRefusedAtOnce)
{
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty())
        GTEST_SKIP() << "ffmpeg is needed (Debian package ffmpeg)";
    // The first half of a real MXF clip, then zeros up to 2 GiB (a sparse file):
    // the library alone would scan the zeros for a quarter of a minute.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("copying.mxf"));
    ASSERT_TRUE(run(ffmpeg,
        { "-nostdin", "-loglevel", "error", "-f", "lavfi", "-i", "testsrc=size=320x240:rate=25", "-frames:v",
            "250", "-c:v", "mpeg2video", "-b:v", "5M", path }));
    QFile file(path);
    ASSERT_GT(file.size(), 100000);
    ASSERT_TRUE(file.resize(file.size() / 2) && file.resize(qint64(2) << 30));
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(MediaProbe::probe(path, {}).failure,
        QStringLiteral("Не могу узнать информацию о видеопотоке в MXF: заголовок не найден в первых 32 МБ"));
    EXPECT_LT(clock.elapsed(), 5000);
}
