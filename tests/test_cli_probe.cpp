#include "support/clirunner.h"
#include "support/fixtures.h"
#include "support/riffbuilder.h"

#include <gtest/gtest.h>

#include <QProcess>
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
    EXPECT_EQ(good.out, pal + "\tframes=5\tstep=1\trate=25\tmedia=1\n" + ntsc
                            + "\tframes=6\tstep=100\trate=2997\tmedia=3\n");
    EXPECT_EQ(good.err, QString());

    const QString audioOnly = dataFile("audio_only.avi");
    const CliOutcome mixed = probe({audioOnly, pal, QStringLiteral("/nonexistent/x.avi")});
    EXPECT_EQ(mixed.status, 1);
    EXPECT_EQ(mixed.out, pal + "\tframes=5\tstep=1\trate=25\tmedia=1\n");
    EXPECT_EQ(mixed.err, audioOnly + ": Не могу открыть видео поток в AVI\n"
                             + "/nonexistent/x.avi: Не могу открыть AVI\n");
}

TEST(CliProbe, AudioLocationFindsTheWavCompanion)
{
    QTemporaryDir dir;
    const QString clip = dir.filePath(QStringLiteral("Ролик.avi"));
    writeFile(clip, riff::simpleAvi({{"vids", 1001, 24000, 48}}));
    writeFile(dir.filePath(QStringLiteral("Ролик.wav")), "RIFF");
    const QString line = clip + "\tframes=48\tstep=100\trate=2398\tmedia=%1\n";
    EXPECT_EQ(probe({clip}).out, line.arg(1));
    EXPECT_EQ(probe({"--audio", ".", clip}).out, line.arg(3));
#ifdef Q_OS_WIN
    EXPECT_EQ(probe({"--audio=e", clip}).out, line.arg(1)); // on drive E:, where there is none
#else
    EXPECT_EQ(probe({"--audio=e", clip}).out, line.arg(3)); // no drive in the path: next to the video
#endif
    EXPECT_EQ(probe({"--audio", "", clip}).out, line.arg(1));
    EXPECT_EQ(probe({"--", clip}).status, 0);
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
