#include "support/clirunner.h"
#include "support/fixtures.h"
#include "support/riffbuilder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace lintaro::test;

namespace {

CliOutcome probe(const QStringList &arguments)
{
    return runCli(QStringList{QStringLiteral("probe")} + arguments);
}

QString dataFile(const char *name)
{
    return qEnvironmentVariable("LINTARO_TEST_DATA") + QStringLiteral("/avi/") + QString::fromLatin1(name);
}

} // namespace

TEST(CliProbe, OneLinePerFileAndStatusByFailures)
{
    const QString pal = dataFile("mpeg4_25fps_video_only.avi");
    const QString ntsc = dataFile("mjpeg_2997fps_with_sound.avi");
    const CliOutcome good = probe({pal, ntsc});
    EXPECT_EQ(good.status, 0);
    EXPECT_EQ(good.out,
        pal + "\tframes=5\tstep=1\trate=25\tmedia=1\tsize=32x24\tsar=1:1\n" + ntsc
            + "\tframes=6\tstep=100\trate=2997\tmedia=3\tsize=16x16\tsar=1:1\taudio=1x4000x8\n");
    EXPECT_EQ(good.err, QString());

    const QString audioOnly = dataFile("audio_only.avi");
    const CliOutcome mixed = probe({audioOnly, pal, QStringLiteral("/nonexistent/x.avi")});
    EXPECT_EQ(mixed.status, 1);
    EXPECT_EQ(mixed.out, pal + "\tframes=5\tstep=1\trate=25\tmedia=1\tsize=32x24\tsar=1:1\n");
    EXPECT_EQ(mixed.err, audioOnly + ": Не могу открыть видео поток в AVI\n"
                             + "/nonexistent/x.avi: Не могу открыть AVI\n");
}

TEST(CliProbe, OutputThatCannotBeWrittenIsAFailure)
{
    const QString pal = dataFile("mpeg4_25fps_video_only.avi");
    const CliOutcome full = runCli({QStringLiteral("probe"), pal}, QProcessEnvironment::systemEnvironment(), {},
                                   [](QProcess &process) { process.setStandardOutputFile(QStringLiteral("/dev/full")); });
    EXPECT_EQ(full.status, 1);
    EXPECT_FALSE(full.err.isEmpty());
}

TEST(CliProbe, AudioLocationFindsTheWavCompanion)
{
    QTemporaryDir dir;
    const QString clip = dir.filePath(QStringLiteral("Ролик.avi"));
    writeFile(clip, riff::simpleAvi({{"vids", 1001, 24000, 48}}));
    writeFile(dir.filePath(QStringLiteral("Ролик.wav")), "RIFF");
    const QString line = clip + "\tframes=48\tstep=100\trate=2398\tmedia=%1\tsize=16x16\n";
    EXPECT_EQ(probe({clip}).out, line.arg(1));
    EXPECT_EQ(probe({"--audio", ".", clip}).out, line.arg(3));
#ifdef Q_OS_WIN
    EXPECT_EQ(probe({"--audio=e", clip}).out, line.arg(1)); // on drive E:, where there is none
#else
    EXPECT_EQ(probe({"--audio=e", clip}).out, line.arg(3)); // no drive in the path: next to the video
#endif
    EXPECT_EQ(probe({"--audio", "", clip}).out, line.arg(1));
    EXPECT_EQ(probe({"--", clip}).status, 0);

    // Only a file counts as the companion, not a folder of that name; a "%1"
    // in a name is a name, not a place for a value.
    const QString silent = dir.filePath(QStringLiteral("Тишина%1.avi"));
    writeFile(silent, riff::simpleAvi({{"vids", 1, 25, 5}}));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("Тишина%1.wav")));
    EXPECT_EQ(
        probe({ "--audio", ".", silent }).out, silent + "\tframes=5\tstep=1\trate=25\tmedia=1\tsize=16x16\n");

    // A drive letter is folded to lower case as the dialog stores it: a clip
    // "q:/..." with --audio E has its WAV companion at "e:/...". Here those
    // are folders; Windows has no such drives to make.
    LINTARO_UNIX_FIXTURE("folders named like drives");
    writeFile(dir.filePath(QStringLiteral("q:/a.avi")), riff::simpleAvi({{"vids", 1, 25, 5}}));
    writeFile(dir.filePath(QStringLiteral("e:/a.wav")), "RIFF");
    const CliOutcome onDrive
        = runCli({QStringLiteral("probe"), QStringLiteral("--audio"), QStringLiteral("E"), QStringLiteral("q:/a.avi")},
                 QProcessEnvironment::systemEnvironment(), dir.path());
    EXPECT_EQ(onDrive.out, "q:/a.avi\tframes=5\tstep=1\trate=25\tmedia=3\tsize=16x16\n");
}

TEST(CliProbe, WrongUsageExitsWithTwo)
{
    const QString pal = dataFile("mpeg4_25fps_video_only.avi");
    for (const QStringList &arguments : QList<QStringList>{
             {}, {"--audio"}, {"--audio", "CD", pal}, {"--audio", ":", pal}, {"--frames", pal}}) {
        const CliOutcome run = probe(arguments);
        EXPECT_EQ(run.status, 2) << arguments.join(' ').toStdString();
        EXPECT_EQ(run.out, QString()) << arguments.join(' ').toStdString();
        EXPECT_FALSE(run.err.isEmpty());
    }
    const CliOutcome help = probe({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains(QStringLiteral("--audio")));
    EXPECT_TRUE(help.out.contains(QStringLiteral("frames=")));
}

TEST(CliProbe, ContainersTheirTimecodePictureAndSound)
{
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty())
        GTEST_SKIP() << "ffmpeg is needed (Debian package ffmpeg)";
    QTemporaryDir dir;
    const QString mxf = dir.filePath(QStringLiteral("clip.mxf")), mkv = dir.filePath(QStringLiteral("clip.mkv"));
    const QString wav = dir.filePath(QStringLiteral("clip.wav"));
    const auto make = [&](const QString &path, const QStringList &arguments) {
        QProcess process;
        process.start(ffmpeg,
            QStringList { "-nostdin", "-loglevel", "error", "-f", "lavfi", "-i", "testsrc=size=32x32:rate=25",
                "-f", "lavfi", "-i", "sine=sample_rate=48000:duration=1" }
                + arguments + QStringList { path });
        return process.waitForFinished(60000) && process.exitCode() == 0;
    };
    ASSERT_TRUE(make(mxf, { "-map", "0:v", "-frames:v", "5", "-c:v", "mpeg2video" }));
    ASSERT_TRUE(make(mkv,
        { "-map", "0:v", "-map", "1:a", "-frames:v", "5", "-c:v", "mpeg2video", "-c:a", "aac", "-ac", "2" }));
    // The MXF's sound apart, in a broadcast RF64 file.
    ASSERT_TRUE(make(wav, { "-map", "1:a", "-c:a", "pcm_s24le", "-ac", "2", "-rf64", "always" }));
    const CliOutcome run = probe({ "--audio", ".", mxf, mkv });
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    // An MXF file always carries a timecode, 00:00:00:00 included; compressed sound has no depth.
    EXPECT_EQ(run.out,
        mxf + "\tframes=5\tstep=1\trate=25\tmedia=3\ttimecode=00:00:00:00\tsize=32x32\taudio=2x48000x24\n"
            + mkv + "\tframes=5\tstep=1\trate=25\tmedia=3\tsize=32x32\tsar=1:1\taudio=2x48000\n");
}
