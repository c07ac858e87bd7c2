#include "common/failure.h"
#include "sequence/mediafacts.h"
#include "sequence/psqwriter.h"
#include "support/fixtures.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

using namespace lintaro;
using namespace lintaro::test;

namespace {

const char kSingleClip[] = "[HEAD]\r\n"
                           "signature=Rand\r\n"
                           "version=5\r\n"
                           "dirOffset=16\r\n"
                           "platform=PWIN\r\n"
                           "[SQID]\r\n"
                           "ID=1\r\n"
                           "[CLIP]\r\n"
                           "magicS=0\r\n"
                           "parentID=0\r\n"
                           "childID=0\r\n"
                           "sib.prevID=0\r\n"
                           "sib.nextID=0\r\n"
                           "clipID=1\r\n"
                           "fileID=1\r\n"
                           "users=1\r\n"
                           "pubChildren=0\r\n"
                           "backwards=0\r\n"
                           "revision=1\r\n"
                           "revcount=1\r\n"
                           "rate=100.000000\r\n"
                           "markers=0,24900,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1\r\n"
                           "markIn=-1\r\n"
                           "markOut=-1\r\n"
                           "tdb.value=25000\r\n"
                           "tdb.scale=2500\r\n"
                           "tdb.samp=100\r\n"
                           "links.prevID=0\r\n"
                           "links.nextID=0\r\n"
                           "lockaspect=0\r\n"
                           "data=\r\n"
                           "mediaType=3\r\n"
                           "title=\r\n"
                           "aspectcolor=0\r\n"
                           "markcount=0\r\n"
                           "moremarkers=0\r\n"
                           "fileH=489\r\n"
                           "magicE=0\r\n"
                           "[CLPA]\r\n"
                           "clipID=1\r\n"
                           "aspectcolor=0\r\n"
                           "[FILE]\r\n"
                           "fileID=1\r\n"
                           "param=0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0\r\n"
                           "filetype=1096173910\r\n"
                           "vname=0\r\n"
                           "fname=0\r\n"
                           "isframestore=0\r\n"
                           "prefLength=0\r\n"
                           "mediaType=3\r\n"
                           "prefHandle=\r\n"
                           "title=\r\n"
                           "[FNAM]\r\n"
                           "fname=D:\\\\Clips\\\\a.avi\r\n"
                           "[PRID]\r\n"
                           "fileID=1\r\n";

const MediaFacts kPal{250, 1, 25, 3};

QString lineAfter(const QStringList &lines, const QString &prefix, int occurrence = 0)
{
    for (const QString &line : lines) {
        if (line.startsWith(prefix) && occurrence-- == 0)
            return line.mid(prefix.size());
    }
    return QStringLiteral("<missing>");
}

} // namespace

TEST(PsqWriter, SingleClipFileByteForByte)
{
    PsqWriter writer;
    writer.appendClip(kPal, QStringLiteral("D:\\Clips\\a.avi"));
    const QByteArray bytes = writer.toBytes();
    EXPECT_EQ(bytes, QByteArray(kSingleClip));
    EXPECT_EQ(bytes.count("\r\n"), 56);
    EXPECT_EQ(bytes.count('\n'), 56); // no lone line ends
    EXPECT_EQ(writer.lines().size(), 56);
    EXPECT_EQ(writer.entries().size(), 5);
}

TEST(PsqWriter, WorkedValues)
{
    struct Case
    {
        MediaFacts facts;
        quint32 marker, value;
        qint32 scale, sample;
    };
    const Case cases[] = {
        {{250, 1, 25, 1}, 24900, 25000, 2500, 100},   // 25 fps: hundredths, never a scale of 25
        {{300, 100, 2997, 1}, 29900, 30000, 2997, 100}, // 30000/1001
        {{300, 1, 30, 1}, 299, 300, 30, 1},
        {{100, 10, 125, 1}, 990, 1000, 125, 10}, // 12.5 fps
        {{1, 1, 30, 1}, 0, 1, 30, 1},
        {{0, 100, 2997, 1}, 0, 0, 2997, 100}, // an empty clip: no wrapped-round marker
    };
    for (const Case &c : cases) {
        PsqWriter writer;
        writer.appendClip(c.facts, QStringLiteral("a.avi"));
        const QStringList lines = writer.lines();
        EXPECT_EQ(lineAfter(lines, "markers="), QStringLiteral("0,%1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1").arg(c.marker));
        EXPECT_EQ(lineAfter(lines, "tdb.value="), QString::number(c.value));
        EXPECT_EQ(lineAfter(lines, "tdb.scale="), QString::number(c.scale));
        EXPECT_EQ(lineAfter(lines, "tdb.samp="), QString::number(c.sample));
    }
    // Past 2^31 the values are written unsigned.
    EXPECT_EQ(timeBase({40000000, 100, 2997, 1}).value, 4000000000u);
    EXPECT_TRUE(durationFits({42949672, 100, 2997, 1}));
    EXPECT_FALSE(durationFits({42949673, 100, 2997, 1}));
    EXPECT_TRUE(durationFits({0xFFFFFFFF, 1, 30, 1}));
    EXPECT_FALSE(durationFits({0xFFFFFFFF, 1, 25, 1}));
}

TEST(PsqWriter, EntriesGroupedByKindAndNumberedPerFile)
{
    PsqWriter first;
    first.appendClip({250, 1, 25, 3}, QStringLiteral("D:\\a.avi"));
    first.appendClip({300, 100, 2997, 1}, QStringLiteral("D:\\b.avi"));
    first.appendClip({100, 10, 125, 3}, QStringLiteral("D:\\c.avi"));
    const QStringList entries = first.entries();
    ASSERT_EQ(entries.size(), 1 + 4 * 3);
    const QStringList heads = {"[HEAD]", "[SQID]", "[SQID]", "[SQID]", "[CLIP]", "[CLIP]", "[CLIP]",
                               "[CLPA]", "[CLPA]", "[CLPA]", "[FILE]", "[FILE]", "[FILE]"};
    for (int i = 0; i < entries.size(); ++i)
        EXPECT_TRUE(entries[i].startsWith(heads[i] + "\r\n")) << i;
    EXPECT_EQ(entries[2], QStringLiteral("[SQID]\r\nID=2"));

    // Every ID of a clip is its number; mediaType agrees between CLIP and FILE.
    const QStringList lines = first.lines();
    for (int clip = 0; clip < 3; ++clip) {
        const QString n = QString::number(clip + 1);
        EXPECT_EQ(lineAfter(lines, "ID=", clip), n);
        EXPECT_EQ(lineAfter(lines, "clipID=", clip), n);        // CLIP
        EXPECT_EQ(lineAfter(lines, "clipID=", 3 + clip), n);    // CLPA
        EXPECT_EQ(lineAfter(lines, "fileID=", clip), n);        // CLIP
        EXPECT_EQ(lineAfter(lines, "fileID=", 3 + 2 * clip), n); // FILE
        EXPECT_EQ(lineAfter(lines, "fileID=", 4 + 2 * clip), n); // PRID
        EXPECT_EQ(lineAfter(lines, "mediaType=", clip), lineAfter(lines, "mediaType=", 3 + clip));
    }
    EXPECT_EQ(lineAfter(lines, "mediaType=", 1), QStringLiteral("1"));

    // The next file of the run numbers from 1 again.
    PsqWriter second;
    second.appendClip({300, 1, 30, 1}, QStringLiteral("D:\\d.avi"));
    EXPECT_EQ(second.lines().mid(5, 2), (QStringList{"[SQID]", "ID=1"}));
    EXPECT_EQ(second.lines().constLast(), QStringLiteral("fileID=1"));
}

TEST(PsqWriter, PathsDoubleBackslashesOnlyAndTravelInWindows1251)
{
    EXPECT_EQ(PsqWriter::escapePath(QStringLiteral("D:\\Clips\\a.avi")), QStringLiteral("D:\\\\Clips\\\\a.avi"));
    EXPECT_EQ(PsqWriter::escapePath(QStringLiteral("\\\\srv\\x y;%1\"'.avi")),
              QStringLiteral("\\\\\\\\srv\\\\x y;%1\"'.avi"));
    EXPECT_EQ(PsqWriter::escapePath(QStringLiteral("a.avi")), QStringLiteral("a.avi"));

    PsqWriter writer;
    writer.appendClip(kPal, QStringLiteral("E:\\Эфир\\Ролик №5.avi"));
    const QByteArray bytes = writer.toBytes();
    EXPECT_TRUE(bytes.contains(cp1251(QStringLiteral("fname=E:\\\\Эфир\\\\Ролик №5.avi\r\n"))));
}

TEST(PsqWriter, UnencodablePathIsRefusedAndNothingIsWritten)
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("Day1.psq"));
    writeFile(target, "old");
    PsqWriter writer;
    writer.appendClip(kPal, QStringLiteral("D:\\a.avi"));
    writer.appendClip(kPal, QStringLiteral("D:\\\u4E2D.avi"));
    try {
        writer.writeFile(target);
        FAIL() << "no failure";
    } catch (const Failure &failure) {
        EXPECT_TRUE(failure.message().contains(QStringLiteral("U+4E2D")));
        EXPECT_TRUE(failure.message().contains(QStringLiteral("D:\\\u4E2D.avi")));
    }
    EXPECT_EQ(readFile(target), QByteArray("old"));
}

TEST(PsqWriter, WritesWholeFilesAndReportsThoseItCannotCreate)
{
    LINTARO_UNIX_FIXTURE("a file size limit");
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("Day1^.K12.psq"));
    writeFile(target, QByteArray(10000, 'x'));
    PsqWriter writer;
    writer.appendClip(kPal, QStringLiteral("D:\\Clips\\a.avi"));
    writer.writeFile(target);
    EXPECT_EQ(readFile(target), QByteArray(kSingleClip));

    const QString blocked = uncreatablePath(target, QStringLiteral("x.psq"));
    try {
        writer.writeFile(blocked);
        FAIL() << "no failure";
    } catch (const Failure &failure) {
        EXPECT_EQ(failure.message(), QStringLiteral("Cannot create file %1").arg(blocked));
    }

    {
        FileSizeLimit limit(100);
        EXPECT_THROW(writer.writeFile(target), Failure);
    }
    EXPECT_EQ(readFile(target), QByteArray(kSingleClip));
}
