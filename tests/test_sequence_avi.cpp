#include "sequence/aviheaderreader.h"
#include "sequence/aviprobe.h"
#include "sequence/containerprobe.h"
#include "sequence/mediaprobe.h"
#include "sequence/probecache.h"
#include "sequence/mediafacts.h"
#include "support/fixtures.h"
#include "support/riffbuilder.h"
#include "support/scriptedinteraction.h"

#include <gtest/gtest.h>

#include <tuple>

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#ifdef Q_OS_LINUX
#include <sys/resource.h>
#endif
#include <limits>
#include <vector>

using namespace lintaro;
using namespace lintaro::test;
namespace r = lintaro::test::riff;

namespace {

AviHeaderReader::Result readBytes(QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return AviHeaderReader(buffer).read();
}

AviProbe::Result probeBytes(const QByteArray &bytes, const QString &audio = {})
{
    const AviHeaderReader::Result read = readBytes(bytes);
    if (read.status != AviHeaderReader::Status::Ok) {
        AviProbe::Result failed;
        failed.failure = AviProbe::kCannotOpen;
        return failed;
    }
    return AviProbe::fromHeaders(read.headers, QStringLiteral("D:\\Clips\\a.avi"), audio,
                                 [](const QString &) { return false; });
}

QByteArray hdrlAvi(const QByteArray &hdrlChildren, const QByteArray &before = {}, const QByteArray &after = {})
{
    return r::riff("AVI ", before + r::list("hdrl", hdrlChildren) + after
                              + r::list("movi", r::chunk("00dc", QByteArray(64, 'x'))));
}

QString dataFile(const QString &name)
{
    return qEnvironmentVariable("LINTARO_TEST_DATA") + QStringLiteral("/avi/") + name;
}

int openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

} // namespace

TEST(IntegerRate, BroadcastRatesAndTheirSampleSteps)
{
    struct Case
    {
        double rate;
        qint64 hundredths;
        qint32 step;
        qint32 scaled;
    };
    const Case cases[] = {
        {25.0, 2500, 1, 25},           {30000.0 / 1001, 2997, 100, 2997}, {24000.0 / 1001, 2398, 100, 2398},
        {12.5, 1250, 10, 125},         {30.0, 3000, 1, 30},               {1000000.0 / 33367, 2997, 100, 2997},
        {50.0, 5000, 1, 50},           {0.125, 13, 100, 13}, // an exact half goes up
        {0.994, 99, 100, 99},          {0.995, 100, 1, 1},
    };
    for (const Case &c : cases) {
        const std::optional<IntegerRate> rate = integerRate(c.rate);
        ASSERT_TRUE(rate) << c.rate;
        EXPECT_EQ(rate->hundredths, c.hundredths) << c.rate;
        EXPECT_EQ(rate->sampleStep, c.step) << c.rate;
        EXPECT_EQ(rate->scaledRate, c.scaled) << c.rate;
    }
}

TEST(IntegerRate, RatesTheTimeBaseCannotCarryHaveNoForm)
{
    EXPECT_FALSE(integerRate(0));
    EXPECT_FALSE(integerRate(-25));
    EXPECT_FALSE(integerRate(0.004)); // rounds to 0 hundredths
    EXPECT_FALSE(integerRate(NAN));
    EXPECT_FALSE(integerRate(INFINITY));
    EXPECT_FALSE(integerRate(4294967295.0)); // would overflow 32 bits
    EXPECT_TRUE(integerRate(0.005));
}

TEST(AviHeaderReader, PlainFileGivesTheRawValues)
{
    const AviHeaderReader::Result read = readBytes(
        r::simpleAvi({{"vids", 1001, 30000, 300}, {"auds", 1, 48000, 480000}}, 33367));
    ASSERT_EQ(read.status, AviHeaderReader::Status::Ok);
    EXPECT_EQ(read.headers.streamCount, 2u);
    EXPECT_EQ(read.headers.microSecPerFrame, 33367u);
    ASSERT_EQ(read.headers.streams.size(), 2);
    EXPECT_EQ(read.headers.streams[0].type, fourCc("vids"));
    EXPECT_EQ(read.headers.streams[0].rate, 30000u);
    EXPECT_EQ(read.headers.streams[0].scale, 1001u);
    EXPECT_EQ(read.headers.streams[0].length, 300u);
    EXPECT_EQ(read.headers.streams[1].type, fourCc("auds"));
    EXPECT_FALSE(read.headers.odmlTotalFrames);
}

TEST(AviHeaderReader, OddLayoutsOfCaptureCardsAndMuxers)
{
    const QByteArray video = r::streamList(r::streamHeader("vids", 1, 25, 250));
    const QByteArray audio = r::streamList(r::streamHeader("auds", 1, 48000, 1));
    const QByteArray avih = r::mainHeader(40000, 2);
    const QByteArray odd = r::chunk("JUNK", QByteArray(7, 'j')); // odd size, pad byte follows

    struct Case
    {
        const char *what;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"junk and an INFO list before the headers",
         hdrlAvi(avih + audio + video, r::chunk("JUNK", QByteArray(300, 0)) + r::list("INFO", r::chunk("ISFT", "x")))},
        {"odd-sized chunks everywhere", hdrlAvi(odd + avih + odd + r::streamList(r::streamHeader("auds", 1, 8000, 1), odd) + video + odd)},
        {"unknown lists inside the header list, not descended into",
         hdrlAvi(avih + r::list("strl", r::chunk("vedt", "1")) + r::list("rec ", r::streamHeader("auds", 1, 1, 1)) + video)},
        {"the main header after the stream lists", hdrlAvi(audio + video + avih)},
        {"the first strh of a list counts", hdrlAvi(avih + r::streamList(r::streamHeader("vids", 1, 25, 250), r::streamHeader("auds", 1, 1, 1)))},
    };
    for (const Case &c : cases) {
        const AviProbe::Result probe = probeBytes(c.bytes);
        ASSERT_TRUE(probe.ok()) << c.what << ": " << probe.failure.toStdString();
        EXPECT_EQ(probe.facts->frameCount, 250u) << c.what;
        EXPECT_EQ(probe.facts->scaledRate, 25) << c.what;
    }

    // RIFF size 0 (a capture still being written) and one past the end of the file.
    QByteArray growing = hdrlAvi(avih + video);
    growing.replace(4, 4, r::le32(0));
    EXPECT_TRUE(probeBytes(growing).ok());
    growing.replace(4, 4, r::le32(0x7FFFFFF0));
    EXPECT_TRUE(probeBytes(growing).ok());

    // A header list that claims more than the file holds is cut at the end of the file.
    QByteArray cut = r::riff("AVI ", r::list("hdrl", avih + video));
    cut.replace(16, 4, r::le32(0x10000000));
    EXPECT_TRUE(probeBytes(cut).ok());
    // And a chunk that claims more than its list holds is cut at the list's end.
    const QByteArray lyingJunk = r::chunkWithSize("JUNK", 0xFFFFFF00, "jj");
    const AviProbe::Result lying = probeBytes(hdrlAvi(avih + video + lyingJunk, {}, r::chunk("JUNK", "after")));
    EXPECT_TRUE(lying.ok());
}

TEST(AviHeaderReader, VideoAfterAudioIsFoundWherever)
{
    const AviProbe::Result probe = probeBytes(
        r::simpleAvi({{"auds", 1, 8000, 8000}, {"iavs", 1, 25, 10}, {"vids", 2, 25, 100}}));
    ASSERT_TRUE(probe.ok());
    EXPECT_EQ(probe.facts->frameCount, 100u);
    EXPECT_EQ(probe.facts->sampleStep, 10);
    EXPECT_EQ(probe.facts->scaledRate, 125);
    EXPECT_EQ(probe.facts->mediaType, 3);
}

TEST(AviHeaderReader, OpenDmlTotalWinsOnlyWhenLarger)
{
    const QByteArray video = r::streamList(r::streamHeader("vids", 1, 25, 1000));
    // The main header counts only the first RIFF part; the dmlh counts all of them.
    const AviProbe::Result bigger = probeBytes(hdrlAvi(r::mainHeader(40000, 1, 1000) + video + r::odmlList(90000)));
    ASSERT_TRUE(bigger.ok());
    EXPECT_EQ(bigger.facts->frameCount, 90000u);

    const AviProbe::Result smaller = probeBytes(hdrlAvi(r::mainHeader(40000, 1, 1000) + video + r::odmlList(10)));
    ASSERT_TRUE(smaller.ok());
    EXPECT_EQ(smaller.facts->frameCount, 1000u);

    // An odml list beside the header list counts too; the index entries never do.
    const AviProbe::Result outside = probeBytes(hdrlAvi(r::mainHeader(40000, 1) + video, {}, r::odmlList(5000)));
    ASSERT_TRUE(outside.ok());
    EXPECT_EQ(outside.facts->frameCount, 5000u);
}

TEST(AviHeaderReader, NestingAndChunkFloodsStayBounded)
{
    // Header lists nested a thousand deep: no recursion, no descent past the fixed depth.
    QByteArray nested = r::chunk("avih", QByteArray(56, 0));
    for (int i = 0; i < 1000; ++i)
        nested = r::list(i % 2 ? "hdrl" : "strl", nested);
    const AviHeaderReader::Result deep = readBytes(r::riff("AVI ", nested));
    EXPECT_LE(deep.chunksVisited, AviHeaderReader::kMaxChunks);

    // Fifty thousand empty chunks before the headers: the walk gives up, bounded.
    QByteArray flood;
    for (int i = 0; i < 50000; ++i)
        flood += r::chunk("JUNK", {});
    const AviHeaderReader::Result flooded = readBytes(hdrlAvi(r::mainHeader(40000, 1), flood));
    EXPECT_EQ(flooded.status, AviHeaderReader::Status::NoMainHeader);
    EXPECT_EQ(flooded.chunksVisited, AviHeaderReader::kMaxChunks);
    EXPECT_LE(flooded.bytesRead, AviHeaderReader::kMaxBytes);
}

TEST(AviHeaderReader, ReadsTheSameFewBytesFromAFileOverOneGiB)
{
    QTemporaryDir dir;
    const QByteArray hdrl = r::list("hdrl", r::mainHeader(40000, 2)
                                                + r::streamList(r::streamHeader("vids", 1, 25, 250))
                                                + r::streamList(r::streamHeader("auds", 1, 8000, 80000)));
    const QString smallPath = dir.filePath(QStringLiteral("small.avi"));
    writeFile(smallPath, r::riff("AVI ", hdrl + r::list("movi", r::chunk("00dc", QByteArray(4000, 'v')))));

    // Same headers, then a 'movi' list that runs on for 1.5 GiB (a sparse file).
    const qint64 bigSize = qint64(3) << 29;
    const QByteArray bigBytes = QByteArray("RIFF") + r::le32(quint32(bigSize - 8)) + "AVI " + hdrl + "LIST"
        + r::le32(quint32(bigSize - 12 - hdrl.size() - 8)) + "movi";
    const QString bigPath = dir.filePath(QStringLiteral("big.avi"));
    writeFile(bigPath, bigBytes);
    {
        QFile big(bigPath);
        ASSERT_TRUE(big.resize(bigSize));
    }

    const AviHeaderReader::Result a = AviHeaderReader::readFile(smallPath);
    const AviHeaderReader::Result b = AviHeaderReader::readFile(bigPath);
    ASSERT_EQ(a.status, AviHeaderReader::Status::Ok);
    ASSERT_EQ(b.status, AviHeaderReader::Status::Ok);
    EXPECT_EQ(a.bytesRead, b.bytesRead);
    EXPECT_LT(b.bytesRead, 1024);
    EXPECT_EQ(b.deviceReads, 1); // one round trip on a share

    // Headers running past the first block and the second: the same facts.
    const QByteArray junk = r::chunk("JUNK", QByteArray(100000, 'j'));
    const QString longPath = dir.filePath(QStringLiteral("long.avi"));
    writeFile(longPath, r::riff("AVI ", r::list("hdrl", r::chunk("JUNK", QByteArray(70000, 'j')) + junk
                                                          + r::mainHeader(40000, 2)
                                                          + r::streamList(r::streamHeader("vids", 1, 25, 250))
                                                          + r::streamList(r::streamHeader("auds", 1, 8000, 80000)))));
    EXPECT_EQ(AviHeaderReader::readFile(longPath).status, AviHeaderReader::Status::Ok);
    EXPECT_EQ(AviProbe::probe(longPath, {}).facts, AviProbe::probe(smallPath, {}).facts);
    EXPECT_EQ(AviProbe::probe(bigPath, {}).facts, AviProbe::probe(smallPath, {}).facts);
}

TEST(AviProbe, EachFailureHasItsMessageAndReleasesTheFile)
{
    LINTARO_UNIX_FIXTURE("counting open descriptors");
    QTemporaryDir dir;
    const QByteArray video = r::streamList(r::streamHeader("vids", 1, 25, 250));
    struct Case
    {
        const char *name;
        QByteArray bytes;
        QString failure;
    };
    QByteArray wave = r::simpleAvi({{"vids", 1, 25, 250}});
    wave.replace(8, 4, "WAVE");
    const QList<Case> cases = {
        {"empty.avi", {}, AviProbe::kCannotOpen},
        {"text.avi", "Just some text, not a clip at all", AviProbe::kCannotOpen},
        {"wave.avi", wave, AviProbe::kCannotOpen},
        {"nomain.avi", hdrlAvi(video), AviProbe::kCannotOpen},
        {"shortmain.avi", hdrlAvi(r::mainHeader(40000, 1, 0, 20) + video), AviProbe::kCannotOpen},
        {"cutmain.avi", hdrlAvi(r::mainHeader(40000, 1)).left(12 + 12 + 8 + 20), AviProbe::kCannotOpen},
        {"norate.avi", hdrlAvi(r::mainHeader(0, 1) + r::streamList(r::streamHeader("vids", 0, 25, 250))),
         AviProbe::kNoFileInfo},
        {"norate2.avi", hdrlAvi(r::mainHeader(0, 1) + r::streamList(r::streamHeader("vids", 1, 0, 250))),
         AviProbe::kNoFileInfo},
        {"audioonly.avi", r::simpleAvi({{"auds", 1, 8000, 8000}}), AviProbe::kNoVideoStream},
        {"dvtype1.avi", r::simpleAvi({{"iavs", 1, 25, 250}}), AviProbe::kNoVideoStream},
        {"nostreams.avi", hdrlAvi(r::mainHeader(40000, 0)), AviProbe::kNoVideoStream},
        {"shortstrh.avi", hdrlAvi(r::mainHeader(40000, 1) + r::streamList(r::streamHeader("vids", 1, 25, 250, 32))),
         AviProbe::kNoVideoStreamInfo},
        {"zeroframes.avi", r::simpleAvi({{"vids", 1, 25, 0}}), AviProbe::kNoVideoStreamInfo},
        {"endless.avi", r::simpleAvi({{"vids", 1, 25, 0xFFFFFFFF}}), AviProbe::kNoVideoStreamInfo},
    };
    const int before = openDescriptors();
    for (const Case &c : cases) {
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        writeFile(path, c.bytes);
        const AviProbe::Result result = AviProbe::probe(path, {});
        EXPECT_FALSE(result.ok()) << c.name;
        EXPECT_EQ(result.failure, c.failure) << c.name;
    }
    EXPECT_EQ(AviProbe::probe(dir.filePath(QStringLiteral("missing.avi")), {}).failure, AviProbe::kCannotOpen);
    EXPECT_EQ(AviProbe::probe(dir.path(), {}).failure, AviProbe::kCannotOpen); // a folder
    EXPECT_EQ(AviProbe::probe(QString(), {}).failure, AviProbe::kCannotOpen);
    EXPECT_EQ(openDescriptors(), before);
}

TEST(AviProbe, StreamRateFallsBackToTheMainHeaderTimePerFrame)
{
    // A stream with no rate: the main header's 40000 µs per frame gives 25 fps.
    const AviProbe::Result fallback
        = probeBytes(hdrlAvi(r::mainHeader(40000, 1) + r::streamList(r::streamHeader("vids", 0, 0, 250))));
    ASSERT_TRUE(fallback.ok());
    EXPECT_EQ(fallback.facts->scaledRate, 25);
    EXPECT_EQ(fallback.facts->sampleStep, 1);
    // NTSC from 33367 µs per frame.
    const AviProbe::Result ntsc
        = probeBytes(hdrlAvi(r::mainHeader(33367, 1) + r::streamList(r::streamHeader("vids", 0, 30, 9))));
    ASSERT_TRUE(ntsc.ok());
    EXPECT_EQ(ntsc.facts->scaledRate, 2997);
    // When the stream has a rate, the main header's is not used.
    const AviProbe::Result own
        = probeBytes(hdrlAvi(r::mainHeader(33367, 1) + r::streamList(r::streamHeader("vids", 2, 25, 9))));
    ASSERT_TRUE(own.ok());
    EXPECT_EQ(own.facts->scaledRate, 125);
}

TEST(AviProbe, MediaTypeByStreamCountAndWavCompanion)
{
    QStringList asked;
    bool wavExists = true;
    const auto exists = [&](const QString &path) {
        asked.append(path);
        return wavExists;
    };
    const QString clip = QStringLiteral("D:\\Clips\\a.avi");

    // Two streams: sound, whatever the setting, with no lookup.
    EXPECT_EQ(AviProbe::mediaType(2, clip, {}, exists), 3);
    EXPECT_EQ(AviProbe::mediaType(3, clip, QStringLiteral("."), exists), 3);
    EXPECT_TRUE(asked.isEmpty());
    // One stream, sound inside: none, even with a WAV beside it.
    EXPECT_EQ(AviProbe::mediaType(1, clip, {}, exists), 1);
    EXPECT_TRUE(asked.isEmpty());
    // One stream, WAV apart: sound exactly when the companion exists.
    EXPECT_EQ(AviProbe::mediaType(1, clip, QStringLiteral("."), exists), 3);
    wavExists = false;
    EXPECT_EQ(AviProbe::mediaType(1, clip, QStringLiteral("e"), exists), 1);
    EXPECT_EQ(asked, (QStringList{"D:\\Clips\\a.wav", "e:\\Clips\\a.wav"}));

    EXPECT_EQ(AviProbe::wavCompanionPath(QStringLiteral("\\\\server\\clips\\b.avi"), QStringLiteral("e")),
              QStringLiteral("\\\\server\\clips\\b.wav")); // no drive: next to the video
    EXPECT_EQ(AviProbe::wavCompanionPath(QStringLiteral("D:\\Clips\\A.AVI"), QStringLiteral(".")),
              QStringLiteral("D:\\Clips\\A.wav"));
    EXPECT_EQ(AviProbe::wavCompanionPath(QStringLiteral("D:\\Clips\\a.mpeg"), QStringLiteral(".")),
              QStringLiteral("D:\\Clips\\a.mwav")); // the last three characters, whatever they are
    EXPECT_EQ(AviProbe::wavCompanionPath(QStringLiteral("/clips/a.avi"), QStringLiteral("e")),
              QStringLiteral("/clips/a.wav"));
    EXPECT_EQ(AviProbe::wavCompanionPath(QStringLiteral("a"), QStringLiteral(".")), QStringLiteral("wav"));
}

TEST(AviProbe, WavCompanionOnDisk)
{
    QTemporaryDir dir;
    const QString clip = dir.filePath(QStringLiteral("Ролик.avi"));
    writeFile(clip, r::simpleAvi({{"vids", 1, 25, 250}}));
    EXPECT_EQ(AviProbe::probe(clip, QStringLiteral(".")).facts->mediaType, 1);
    writeFile(dir.filePath(QStringLiteral("Ролик.wav")), "RIFF");
    EXPECT_EQ(AviProbe::probe(clip, QStringLiteral(".")).facts->mediaType, 3);
#ifdef Q_OS_WIN
    EXPECT_EQ(AviProbe::probe(clip, QStringLiteral("e")).facts->mediaType, 1); // looked for on drive E:
#else
    EXPECT_EQ(AviProbe::probe(clip, QStringLiteral("e")).facts->mediaType, 3); // no drive in the path
#endif
    EXPECT_EQ(AviProbe::probe(clip, {}).facts->mediaType, 1);
}

TEST(AviProbe, RealFilesMadeByAMuxer)
{
    // Made with ffmpeg 5.1 (lavfi testsrc/sine, -fflags +bitexact):
    //   mpeg4, 32x24, 25 fps, 5 frames, video only;
    //   mjpeg 16x16 at 30000/1001, 6 frames, then 8-bit PCM at 4 kHz (-map 0:v -map 1:a);
    //   8-bit PCM first, then ffv1 16x16 at 12.5 fps, 4 frames (-map 0:a -map 1:v);
    //   8-bit PCM only.
    struct Case
    {
        const char *name;
        MediaFacts facts;
    };
    const Case cases[] = {
        { "mpeg4_25fps_video_only.avi", { 5, 1, 25, 1, {}, 32, 24, 1, 1 } },
        { "mjpeg_2997fps_with_sound.avi", { 6, 100, 2997, 3, {}, 16, 16, 1, 1, 1, 4000, 8 } },
        { "audio_first_ffv1_12.5fps.avi", { 4, 10, 125, 3, {}, 16, 16, 1, 1, 1, 4000, 8 } },
    };
    for (const Case &c : cases) {
        const AviProbe::Result result = AviProbe::probe(dataFile(QString::fromLatin1(c.name)), {});
        ASSERT_TRUE(result.ok()) << c.name << ": " << result.failure.toStdString();
        EXPECT_EQ(*result.facts, c.facts) << c.name;
    }
    EXPECT_EQ(AviProbe::probe(dataFile(QStringLiteral("audio_only.avi")), {}).failure, AviProbe::kNoVideoStream);
}

// The container seeds of the fuzz corpus are real files ffmpeg made; probing
// them here also runs the Windows build's own libavformat under Wine.
TEST(ContainerProbe, RealFilesOfEveryContainer)
{
    const QString folder = qEnvironmentVariable("LINTARO_TEST_DATA") + QStringLiteral("/../../fuzz/corpus/container/");
    struct Case
    {
        const char *name;
        MediaFacts facts;
    };
    const Case cases[] = {
        { "mpeg2_25_pcm_tc.mxf", { 1, 1, 25, 3, QStringLiteral("10:00:00:00"), 16, 16, 0, 0, 1, 48000, 16 } },
        { "mjpeg_2997_drop_tc.mov", { 2, 100, 2997, 1, QStringLiteral("00:59:59;28"), 16, 16, 1, 1 } },
        // MPEG-4 part 2 in MP4: Debian's library leaves the picture size to the
        // decoder (0x0), the Windows build reads it from the sample description.
        { "mpeg4_23976.mp4", { 2, 100, 2398, 1, {}, 16, 16, 1, 1 } },
        { "ffv1_12.5.mkv", { 2, 10, 125, 1, {}, 16, 16, 1, 1 } },
    };
    for (const Case &c : cases) {
        const MediaProbe::Result result = MediaProbe::probe(folder + QString::fromLatin1(c.name), {});
        ASSERT_TRUE(result.ok()) << c.name << ": " << result.failure.toStdString();
        MediaFacts facts = *result.facts;
        if (facts.width == 0 && facts.height == 0 && QByteArray(c.name).endsWith(".mp4"))
            std::tie(facts.width, facts.height) = std::pair(c.facts.width, c.facts.height);
        EXPECT_EQ(facts, c.facts) << c.name;
    }
    EXPECT_EQ(MediaProbe::probe(folder + QStringLiteral("truncated.mxf"), {}).failure,
        QStringLiteral("Не могу открыть MXF"));

    // A run's probes, on worker threads ahead of the walk: each clip once, the same answers.
    QStringList paths;
    for (int repeat = 0; repeat < 3; ++repeat) {
        for (const Case &c : cases)
            paths.append(folder + QString::fromLatin1(c.name));
        paths.append(folder + QStringLiteral("truncated.mxf"));
    }
    ProbeCache probes;
    probes.prefetch(paths, {});
    for (const QString &path : paths) {
        const MediaProbe::Result alone = MediaProbe::probe(path, {});
        const MediaProbe::Result cached = probes.probe(path, {});
        EXPECT_EQ(cached.facts, alone.facts) << path.toStdString();
        EXPECT_EQ(cached.failure, alone.failure);
    }
    EXPECT_EQ(probes.probe(paths[0], QStringLiteral("/elsewhere")).facts, MediaProbe::probe(paths[0], {}).facts);
    EXPECT_EQ(probes.probesStarted(), int(std::size(cases)) + 2);

#ifdef Q_OS_LINUX
    // A 28 KB file on which the library alone would take 2.7 GB and seconds.
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(MediaProbe::probe(folder + QStringLiteral("malformed.mov"), {}).ok());
    EXPECT_LT(clock.elapsed(), 3000);
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    EXPECT_LT(usage.ru_maxrss, 512 * 1024) << "kilobytes at the peak";
#endif
}

TEST(AviProbe, FailureIsShownInAStopBoxCaptionedError)
{
    QTemporaryDir dir;
    ScriptedInteraction interaction;
    interaction.answerMessage(MessageAnswer::Ok);
    EXPECT_FALSE(probeClip(interaction, dir.filePath(QStringLiteral("missing.avi")), {}));
    ASSERT_EQ(interaction.messages.size(), 1);
    EXPECT_EQ(interaction.messages[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(interaction.messages[0].text,
        QStringLiteral("Не могу открыть AVI\n") + QDir::toNativeSeparators(dir.filePath("missing.avi")));
    EXPECT_EQ(interaction.messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(interaction.messages[0].buttons, MessageButtons::Ok);

    const QString clip = dir.filePath(QStringLiteral("a.avi"));
    writeFile(clip, r::simpleAvi({{"vids", 1, 25, 250}, {"auds", 1, 8000, 1}}));
    // The stream's format record is no picture (its size is damage): the main header's.
    EXPECT_EQ(probeClip(interaction, clip, {}), (MediaFacts { 250, 1, 25, 3, {}, 16, 16 }));
    EXPECT_EQ(interaction.messages.size(), 1);
}

TEST(ContainerProbe, TrustsNoValueTheLibraryReturns)
{
    using Info = ContainerInfo;
    const auto video = [](Info::Ratio average, Info::Ratio real, Info::Ratio base) {
        Info info;
        info.hasVideo = true;
        info.averageRate = average;
        info.realRate = real;
        info.timeBase = base;
        return info;
    };
    const Info pal = video({25, 1}, {0, 0}, {1, 25});
    struct Case
    {
        const char *what;
        Info info;
        std::optional<MediaFacts> facts;
        QString failure = {};
    };
    std::vector<Case> cases;
    const QString noInfo = QStringLiteral("Не могу узнать информацию об MXF");
    const QString noStreamInfo = QStringLiteral("Не могу узнать информацию о видеопотоке в MXF");
    cases.push_back(
        { "no video stream", Info {}, std::nullopt, QStringLiteral("Не могу открыть видео поток в MXF") });
    cases.push_back(
        { "no rate, a millisecond time base", video({ 0, 0 }, { 0, 0 }, { 1, 1000 }), std::nullopt, noInfo });
    cases.push_back(
        { "negative and zero rates", video({ -25, 1 }, { 25, 0 }, { 0, 0 }), std::nullopt, noInfo });
    cases.push_back(
        { "a rate past the time base", video({ 1000000000, 1 }, { 0, 0 }, { 0, 0 }), std::nullopt, noInfo });
    Info mxf = video({0, 0}, {0, 0}, {1001, 30000});
    mxf.streamDuration = 100;
    cases.push_back({"MXF: base rate from the time base, count from the duration", mxf,
                     MediaFacts{100, 100, 2997, 1}});
    Info counted = pal;
    counted.frameCount = 250;
    counted.streamDuration = 1; // the count in the header wins
    cases.push_back({"count in the header", counted, MediaFacts{250, 1, 25, 1}});
    Info huge = pal;
    huge.frameCount = qint64(1) << 32;
    cases.push_back({ "count past 32 bits", huge, std::nullopt, noStreamInfo });
    Info wraps = pal;
    wraps.frameCount = 50000000; // its duration in hundredths wraps round
    cases.push_back({ "duration past the time base", wraps, std::nullopt, noStreamInfo });
    Info mov = pal;
    mov.family = Info::Family::Mov;
    mov.frameCount = 177; // the raw samples, the edit list's cut included
    mov.playedFrames = 102;
    cases.push_back({ "MOV: what the edit list keeps", mov, MediaFacts { 102, 1, 25, 1 } });
    mov.playedFrames.reset();
    cases.push_back({ "MOV without an index", mov, std::nullopt, noStreamInfo });
    Info mkv = video({30000, 1001}, {0, 0}, {1, 1000});
    mkv.family = Info::Family::Matroska;
    mkv.streamDuration = 5; // not a Matroska length
    mkv.durationTag = QStringLiteral("00:00:10.010000000");
    mkv.containerDurationUs = 99000000;
    mkv.firstTimestamp = 0;
    cases.push_back({ "Matroska: the track's end", mkv, MediaFacts { 300, 100, 2997, 1 } });
    mkv.firstTimestamp = 5005; // a late start
    cases.push_back({ "Matroska: the end less the first frame", mkv, MediaFacts { 150, 100, 2997, 1 } });
    mkv.durationTag = QStringLiteral("10 seconds");
    cases.push_back({ "Matroska: the file's end", mkv, MediaFacts { 2817, 100, 2997, 1 } });
    mkv.firstTimestamp.reset();
    cases.push_back({ "Matroska: no first frame", mkv, std::nullopt, noStreamInfo });
    mkv.durationTag = QStringLiteral("00:00:01.001000000");
    mkv.durationTagIsLength = true; // mkvmerge's statistics
    cases.push_back({ "mkvmerge: the duration is a length", mkv, MediaFacts { 30, 100, 2997, 1 } });
    mkv.statisticsFrames = 31;
    cases.push_back({ "mkvmerge: its frame count", mkv, MediaFacts { 31, 100, 2997, 1 } });
    Info empty = pal;
    empty.containerDurationUs = 10; // under half a frame
    cases.push_back({ "no usable length", empty, std::nullopt, noStreamInfo });
    Info sound = counted;
    sound.hasAudio = true;
    sound.timecode = QStringLiteral("10:00:00:00");
    sound.width = 720;
    sound.height = 608;
    sound.sampleAspect = { 152, 135 };
    sound.audioChannels = 8;
    sound.sampleRate = 48000;
    sound.bitDepth = 24;
    cases.push_back({ "sound, timecode, picture", sound,
        MediaFacts { 250, 1, 25, 3, QStringLiteral("10:00:00:00"), 720, 608, 152, 135, 8, 48000, 24 } });

    const auto noWav = [](const QString &) { return false; };
    for (const Case &c : cases) {
        const ContainerProbe::Result result = ContainerProbe::fromInfo(c.info, "D:\\a.mxf", {}, noWav);
        EXPECT_EQ(result.facts, c.facts) << c.what;
        EXPECT_EQ(result.failure, c.failure) << c.what;
    }
    // A WAV companion counts only for a file without sound of its own.
    const auto wav = [](const QString &path) { return path == QStringLiteral("D:\\a.wav"); };
    EXPECT_EQ(ContainerProbe::fromInfo(counted, "D:\\a.mxf", ".", wav).facts->mediaType, 3);
    EXPECT_EQ(ContainerProbe::fromInfo(counted, "D:\\a.mxf", {}, wav).facts->mediaType, 1);

    // Bytes that are no container, and names that are no file.
    QTemporaryDir dir;
    const QString junk = dir.filePath(QStringLiteral("junk.mxf"));
    writeFile(junk, QByteArray(5000, 'x'));
    // The box names the type by the extension; a name without one keeps the AVI texts.
    const std::pair<QString, const char *> unopened[] = {
        { junk, "MXF" },
        { dir.path(), "AVI" },
        { dir.filePath("missing.MP4"), "MP4" },
        { QString(), "AVI" },
        { "/dev/zero", "AVI" },
        { dir.filePath("clip.m4v"), "M4V" },
    };
    for (const auto &[path, type] : unopened)
        EXPECT_EQ(MediaProbe::probe(path, {}).failure, QStringLiteral("Не могу открыть ") + type)
            << path.toStdString();
    // The name picks the reader: an AVI header reader's box for a .AVI name.
    const QString upper = dir.filePath(QStringLiteral("clip.AVI"));
    writeFile(upper, r::simpleAvi({{"vids", 1, 25, 250}}));
    EXPECT_EQ(MediaProbe::probe(upper, {}).facts, (MediaFacts { 250, 1, 25, 1, {}, 16, 16 }));
}

TEST(MediaFacts, StartTimecodeAsAFrameNumber)
{
    const struct
    {
        const char *timecode;
        qint32 step, rate;
        std::optional<qint64> frame;
    } cases[] = {
        {"10:00:00:00", 1, 25, 900000},     {"00:00:00:24", 1, 25, 24},
        {"00:00:00:25", 1, 25, std::nullopt}, {"01:00:00:00", 100, 2398, 86400},
        {"00:00:01;02", 100, 2997, 32},     {"00:01:00;02", 100, 2997, 1800},
        {"00:01:00;00", 100, 2997, std::nullopt}, // a number drop-frame never shows
        {"00:10:00;00", 100, 2997, 17982},  {"01:00:00;00", 100, 5994, 215784},
        {"00:01:00:00", 100, 2997, 1800},   {"", 1, 25, std::nullopt},
        {"1:2:3:4", 1, 25, std::nullopt},
    };
    for (const auto &c : cases) {
        MediaFacts facts{1, c.step, c.rate, 1, QString::fromLatin1(c.timecode)};
        EXPECT_EQ(timecodeFrame(facts), c.frame) << c.timecode;
    }
}
