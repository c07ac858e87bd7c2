// The sequence formats for other editors, each read back by a reader of its
// own: QXmlStreamReader for Final Cut Pro XML and MLT, a small parser for the
// EDL, and melt itself for MLT files of clips ffmpeg makes here and now.
#include "common/failure.h"
#include "sequence/editrate.h"
#include "sequence/edlwriter.h"
#include "sequence/fcpxmlwriter.h"
#include "sequence/mltwriter.h"
#include "sequence/pathmap.h"
#include "sequence/psqwriter.h"
#include "settings/settingsstore.h"
#include "support/fixtures.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <cstdio>

using namespace lintaro;

namespace {

const MediaFacts kPalSound{250, 1, 25, 3};
const MediaFacts kNtscSilent{300, 100, 2997, 1};

SequenceFile mixedFile()
{
    // The sequence takes the first clip's rate, 25; the 29.97 clip of 300
    // frames is 250.25 sequence frames, rounded to 250.
    return {QStringLiteral("Day1^.K1"),
            {{kPalSound, QStringLiteral("D:\\Эфир\\a b.avi")},
             {kNtscSilent, QStringLiteral("/mnt/efir//ролики/c.avi"), 18},
             {kPalSound, QStringLiteral("D:\\Эфир\\a b.avi")}}};
}

struct EdlEvent
{
    QString number, reel, track, sourceIn, sourceOut, recordIn, recordOut, clipName, sourceFile;
};

// A CMX 3600 reader that knows only what the tests need.
bool parseEdl(const QByteArray &bytes, QString &title, QString &fcm, QList<EdlEvent> &events)
{
    static const QRegularExpression event(QStringLiteral(
        "^(\\d{3,}) {2}(\\S+) +(\\S+) +C +(\\S{11}) (\\S{11}) (\\S{11}) (\\S{11})$"));
    for (const QString &line : QString::fromUtf8(bytes).split(QStringLiteral("\r\n"))) {
        const QRegularExpressionMatch match = event.match(line);
        if (line.startsWith(QStringLiteral("TITLE: ")))
            title = line.mid(7);
        else if (line.startsWith(QStringLiteral("FCM: ")))
            fcm = line.mid(5);
        else if (match.hasMatch())
            events.append({match.captured(1), match.captured(2), match.captured(3), match.captured(4),
                           match.captured(5), match.captured(6), match.captured(7)});
        else if (line.startsWith(QStringLiteral("* FROM CLIP NAME: ")) && !events.isEmpty())
            events.back().clipName = line.mid(18);
        else if (line.startsWith(QStringLiteral("* SOURCE FILE: ")) && !events.isEmpty())
            events.back().sourceFile = line.mid(15);
        else if (!line.isEmpty())
            return false;
    }
    return bytes.endsWith("\r\n") && !bytes.startsWith("\xEF\xBB\xBF");
}

// Every element's text under the path it lies at, "sequence/media/video/track/clipitem/start".
using XmlValues = QList<QPair<QString, QString>>;

XmlValues readXml(const QByteArray &bytes)
{
    XmlValues values;
    QXmlStreamReader xml(bytes);
    QStringList path;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            path.append(xml.name().toString());
            for (const QXmlStreamAttribute &attribute : xml.attributes())
                values.append({path.join(u'/') + u'@' + attribute.name().toString(), attribute.value().toString()});
        } else if (xml.isCharacters() && !xml.isWhitespace()) {
            values.append({path.join(u'/'), xml.text().toString()});
        } else if (xml.isEndElement()) {
            path.removeLast();
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return values;
}

QStringList valuesAt(const XmlValues &values, const QString &path)
{
    QStringList found;
    for (const auto &[where, value] : values) {
        if (where == path)
            found.append(value);
    }
    return found;
}

} // namespace

TEST(EditRate, TimebasesNtscFlagsAndTimecodes)
{
    struct Case
    {
        qint64 hundredths;
        int timebase;
        bool ntsc, drop;
    };
    for (const Case &c : {Case{2997, 30, true, true}, Case{2398, 24, true, false}, Case{5994, 60, true, true},
                          Case{2500, 25, false, false}, Case{1250, 13, false, false}, Case{1249, 12, false, false},
                          Case{3000, 30, false, false}}) {
        const EditRate rate(c.hundredths);
        EXPECT_EQ(rate.timebase(), c.timebase) << c.hundredths;
        EXPECT_EQ(rate.isNtsc(), c.ntsc) << c.hundredths;
        EXPECT_EQ(rate.isDropFrame(), c.drop) << c.hundredths;
    }
    EXPECT_EQ(EditRate::of(kNtscSilent), EditRate(2997));
    EXPECT_EQ(EditRate::of({100, 10, 125, 1}), EditRate(1250));

    const EditRate df(2997);
    EXPECT_EQ(timecode(17982, df), QStringLiteral("00:10:00;00"));
    EXPECT_EQ(timecode(1800, df), QStringLiteral("00:01:00;02"));
    EXPECT_EQ(timecode(1799, df), QStringLiteral("00:00:59;29"));
    EXPECT_EQ(timecodeFrames(1, 0, 0, 0, df), 107892);
    EXPECT_EQ(timecode(107892, df), QStringLiteral("01:00:00;00"));
    EXPECT_EQ(timecode(3600, EditRate(5994)), QStringLiteral("00:01:00;04"));
    EXPECT_EQ(timecode(90000 + 24, EditRate(2500)), QStringLiteral("01:00:00:24"));
    EXPECT_EQ(timecode(25 * 86400 + 1, EditRate(2500)), QStringLiteral("00:00:00:01")); // a day wraps

    // Lengths between rates: frame for frame at the same rate, else the nearest frame, a half up.
    EXPECT_EQ(convertFrames(300, EditRate(2997), EditRate(2997)), 300);
    EXPECT_EQ(convertFrames(300, EditRate(2997), EditRate(2500)), 250);
    EXPECT_EQ(convertFrames(1, EditRate(5000), EditRate(2500)), 1);
    EXPECT_EQ(convertFrames(3, EditRate(2500), EditRate(3000)), 4);
    EXPECT_EQ(convertFrames(1001, EditRate(3000), EditRate(2997)), 1000);
    EXPECT_EQ(convertFrames(4000000000LL, EditRate(2500), EditRate(5000)), 8000000000LL);
}

TEST(EdlWriter, EventsReadBackWithTheirTimecodes)
{
    QString title, fcm;
    QList<EdlEvent> events;
    ASSERT_TRUE(parseEdl(EdlWriter().render(mixedFile()), title, fcm, events));
    EXPECT_EQ(title, QStringLiteral("Day1^.K1"));
    EXPECT_EQ(fcm, QStringLiteral("NON-DROP FRAME"));
    ASSERT_EQ(events.size(), 3);
    EXPECT_EQ(events[0].number, QStringLiteral("001"));
    EXPECT_EQ(events[0].reel, QStringLiteral("AX"));
    EXPECT_EQ(events[0].track, QStringLiteral("B")); // with sound
    EXPECT_EQ(events[0].sourceIn, QStringLiteral("00:00:00:00"));
    EXPECT_EQ(events[0].sourceOut, QStringLiteral("00:00:10:00"));
    EXPECT_EQ(events[0].recordIn, QStringLiteral("01:00:00:00"));
    EXPECT_EQ(events[0].recordOut, QStringLiteral("01:00:10:00"));
    EXPECT_EQ(events[0].clipName, QStringLiteral("a b.avi"));
    EXPECT_EQ(events[0].sourceFile, QStringLiteral("D:\\Эфир\\a b.avi"));
    // The 29.97 clip keeps its own drop-frame source timecode, from its start at frame 18.
    EXPECT_EQ(events[1].track, QStringLiteral("V"));
    EXPECT_EQ(events[1].sourceIn, QStringLiteral("00:00:00;18"));
    EXPECT_EQ(events[1].sourceOut, QStringLiteral("00:00:10;18"));
    EXPECT_EQ(events[1].recordIn, QStringLiteral("01:00:10:00"));
    EXPECT_EQ(events[1].recordOut, QStringLiteral("01:00:20:00"));
    EXPECT_EQ(events[1].clipName, QStringLiteral("c.avi"));
    EXPECT_EQ(events[2].recordIn, events[1].recordOut);

    // A drop-frame sequence, and numbers past 999.
    SequenceFile many{QStringLiteral("Long"), {}};
    for (int i = 0; i < 1000; ++i)
        many.clips.append({{1, 100, 2997, 1}, QStringLiteral("/c/%1.avi").arg(i)});
    events.clear();
    ASSERT_TRUE(parseEdl(EdlWriter().render(many), title, fcm, events));
    EXPECT_EQ(fcm, QStringLiteral("DROP FRAME"));
    ASSERT_EQ(events.size(), 1000);
    EXPECT_EQ(events[998].number, QStringLiteral("999"));
    EXPECT_EQ(events[999].number, QStringLiteral("1000"));
    EXPECT_EQ(events[999].recordOut, QStringLiteral("01:00:33;10"));
}

TEST(FcpXmlWriter, SequenceItemsFilesAndLinksReadBack)
{
    const XmlValues xml = readXml(FcpXmlWriter().render(mixedFile()));
    const QString sequence = QStringLiteral("xmeml/sequence/");
    const QString video = sequence + QStringLiteral("media/video/track/clipitem/");
    const QString audio = sequence + QStringLiteral("media/audio/track/clipitem/");
    EXPECT_EQ(valuesAt(xml, "xmeml@version"), QStringList{"5"});
    EXPECT_EQ(valuesAt(xml, sequence + "name"), QStringList{"Day1^.K1"});
    EXPECT_EQ(valuesAt(xml, sequence + "duration"), QStringList{"750"});
    EXPECT_EQ(valuesAt(xml, sequence + "rate/timebase"), QStringList{"25"});

    // start/end in sequence frames, in/out in the clip's own; out is exclusive.
    EXPECT_EQ(valuesAt(xml, video + "start"), (QStringList{"0", "250", "500"}));
    EXPECT_EQ(valuesAt(xml, video + "end"), (QStringList{"250", "500", "750"}));
    EXPECT_EQ(valuesAt(xml, video + "in"), (QStringList{"0", "0", "0"}));
    EXPECT_EQ(valuesAt(xml, video + "out"), (QStringList{"250", "300", "250"}));
    EXPECT_EQ(valuesAt(xml, video + "rate/timebase"), (QStringList{"25", "30", "25"}));
    EXPECT_EQ(valuesAt(xml, video + "rate/ntsc"), (QStringList{"FALSE", "TRUE", "FALSE"}));

    // Each distinct clip is one file element; a later item refers to it by id only.
    EXPECT_EQ(valuesAt(xml, video + "file@id"), (QStringList{"file-1", "file-2", "file-1"}));
    EXPECT_EQ(valuesAt(xml, video + "file/pathurl"),
              (QStringList{"file://localhost/D:/%D0%AD%D1%84%D0%B8%D1%80/a%20b.avi",
                           "file://localhost/mnt/efir//%D1%80%D0%BE%D0%BB%D0%B8%D0%BA%D0%B8/c.avi"}));
    EXPECT_EQ(valuesAt(xml, video + "file/duration"), (QStringList{"250", "300"}));
    EXPECT_EQ(valuesAt(xml, video + "file/timecode/string"), (QStringList{"00:00:00:00", "00:00:00;18"}));

    // Clips with sound have a linked item on the audio track.
    EXPECT_EQ(valuesAt(xml, audio + "start"), (QStringList{"0", "500"}));
    EXPECT_EQ(valuesAt(xml, audio + "file@id"), (QStringList{"file-1", "file-1"}));
    EXPECT_EQ(valuesAt(xml, audio + "link/linkclipref"),
              (QStringList{"clipitem-1", "clipitem-4", "clipitem-3", "clipitem-5"}));
    EXPECT_EQ(valuesAt(xml, video + "link/linkclipref"),
              (QStringList{"clipitem-1", "clipitem-4", "clipitem-3", "clipitem-5"}));
    EXPECT_EQ(valuesAt(xml, audio + "sourcetrack/mediatype"), (QStringList{"audio", "audio"}));

    EXPECT_EQ(FcpXmlWriter::pathUrl(QStringLiteral("\\\\server\\efir\\a.avi")),
              QStringLiteral("file://server/efir/a.avi"));
    EXPECT_EQ(FcpXmlWriter::pathUrl(QStringLiteral("/a\\b#%.avi")), QStringLiteral("file://localhost/a%5Cb%23%25.avi"));
}

TEST(MltWriter, ProfileProducersAndPlaylistReadBack)
{
    SequenceFile file = mixedFile();
    file.clips.prepend({kNtscSilent, QStringLiteral("/x/<&\">.avi")});
    const XmlValues xml = readXml(MltWriter().render(file));
    EXPECT_EQ(valuesAt(xml, "mlt/profile@frame_rate_num"), QStringList{"30000"});
    EXPECT_EQ(valuesAt(xml, "mlt/profile@frame_rate_den"), QStringList{"1001"});
    EXPECT_EQ(valuesAt(xml, "mlt/producer@id"), (QStringList{"producer0", "producer1", "producer2"}));
    const QStringList properties = valuesAt(xml, "mlt/producer/property");
    EXPECT_TRUE(properties.contains(QStringLiteral("/x/<&\">.avi")));
    EXPECT_TRUE(properties.contains(QStringLiteral("D:\\Эфир\\a b.avi")));
    EXPECT_EQ(valuesAt(xml, "mlt/playlist/entry@producer"),
              (QStringList{"producer0", "producer1", "producer2", "producer1"}));
    // 250 frames at 25 are 299.7 at 29.97: 300, out inclusive.
    EXPECT_EQ(valuesAt(xml, "mlt/playlist/entry@out"), (QStringList{"299", "299", "299", "299"}));
    EXPECT_EQ(valuesAt(xml, "mlt/tractor@out"), QStringList{"1199"});
    EXPECT_EQ(valuesAt(xml, "mlt/tractor/track@producer"), QStringList{"playlist0"});
}

TEST(SequenceFormats, KeysExtensionsAndThePsqWriterUnchanged)
{
    EXPECT_EQ(sequenceFormats().size(), 4);
    EXPECT_EQ(sequenceFormats().constFirst().format, SequenceFormat::Psq);
    EXPECT_EQ(formatFromKey(QStringLiteral("edl")), SequenceFormat::Edl);
    EXPECT_EQ(formatInfo(SequenceFormat::FcpXml).extension, QStringLiteral(".xml"));
    EXPECT_FALSE(formatFromKey(QStringLiteral("EDL")));

    PsqWriter direct;
    direct.appendClip(kPalSound, QStringLiteral("D:\\a.avi"));
    direct.appendClip(kNtscSilent, QStringLiteral("D:\\b.avi"));
    const SequenceFile file{QStringLiteral("x"),
                            {{kPalSound, QStringLiteral("D:\\a.avi")}, {kNtscSilent, QStringLiteral("D:\\b.avi")}}};
    EXPECT_EQ(makeSequenceWriter(SequenceFormat::Psq)->render(file), direct.toBytes());
}

TEST(PathMap, FirstMatchingPairAtAFolderBoundary)
{
    const PathMap map({{QStringLiteral("/mnt/efir"), QStringLiteral("E:")},
                       {QStringLiteral("/mnt/"), QStringLiteral("\\\\server\\share\\")},
                       {QStringLiteral("/srv/a"), QStringLiteral("/Volumes/a")}});
    const QList<QPair<QString, QString>> cases = {
        {"/mnt/efir/ролики/a.avi", "E:\\ролики\\a.avi"},
        {"/mnt/efir2/a.avi", "\\\\server\\share\\efir2\\a.avi"}, // not under /mnt/efir
        {"/srv/a/b/c.avi", "/Volumes/a/b/c.avi"},                // no Windows target: "/" stays
        {"/srv/ab.avi", "/srv/ab.avi"},
        {"relative/a.avi", "relative/a.avi"},
    };
    for (const auto &[local, remote] : cases)
        EXPECT_EQ(map.apply(local), remote) << local.toStdString();
    EXPECT_EQ(PathMap().apply(QStringLiteral("/a.avi")), QStringLiteral("/a.avi"));

    EXPECT_EQ(PathMap::parseArgument(QStringLiteral("/mnt/a=b=E:\\")),
              (PathMapping{QStringLiteral("/mnt/a"), QStringLiteral("b=E:\\")}));
    EXPECT_FALSE(PathMap::parseArgument(QStringLiteral("=E:")));
    EXPECT_FALSE(PathMap::parseArgument(QStringLiteral("/mnt")));
    EXPECT_FALSE(PathMap::pairProblem({QStringLiteral("/a\nb"), QStringLiteral("E:")}).isEmpty());
}

TEST(PathMap, StoredTextRoundTripsAnyPathThroughTheSettings)
{
    QTemporaryDir dir;
    SettingsStore settings(dir.filePath(QStringLiteral("settings.ini")));
    const PathMap map({{QStringLiteral("/mnt/a,b;c=d \"q\"\\"), QStringLiteral("@E:\\x\ty")},
                       {QStringLiteral("/ролики/"), QStringLiteral("[]{}")}});
    settings.write(QStringLiteral("PathMap"), map.toStored());
    EXPECT_EQ(PathMap::fromStored(settings.read(QStringLiteral("PathMap"))).pairs(), map.pairs());
    EXPECT_TRUE(PathMap::fromStored(QString()).isEmpty());
    EXPECT_EQ(PathMap().toStored(), QString());
    for (const char *damaged : {"[", "{}", "[[\"a\"]]", "[[1,2]]"})
        EXPECT_THROW(PathMap::fromStored(QString::fromLatin1(damaged)), Failure) << damaged;
}

TEST(MltWriter, MeltLoadsEveryProducerAndPlaysEveryFrame)
{
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    const QString melt = QStandardPaths::findExecutable(QStringLiteral("melt"));
    if (ffmpeg.isEmpty() || melt.isEmpty()) {
        std::puts("melt or ffmpeg missing: MLT files not loaded (scripts/setup.sh installs both)");
        GTEST_SKIP();
    }
    QTemporaryDir dir;
    struct Clip
    {
        const char *name, *rate;
        int frames;
        bool sound;
        MediaFacts facts;
    };
    const Clip clips[] = {
        {"pal sound.avi", "25", 12, true, {12, 1, 25, 3}},
        {"ntsc.avi", "30000/1001", 9, false, {9, 100, 2997, 1}},
        {"Ролик 50.avi", "50", 7, false, {7, 1, 50, 1}},
    };
    SequenceFile file{QStringLiteral("melt"), {}};
    for (const Clip &clip : clips) {
        const QString path = dir.filePath(QString::fromUtf8(clip.name));
        QStringList arguments{"-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                              QStringLiteral("testsrc=size=32x24:rate=%1:duration=1").arg(clip.rate)};
        if (clip.sound)
            arguments << "-f" << "lavfi" << "-i" << "sine=sample_rate=8000:duration=1" << "-c:a" << "pcm_u8";
        arguments << "-frames:v" << QString::number(clip.frames) << "-c:v" << "mjpeg" << path;
        ASSERT_EQ(QProcess::execute(ffmpeg, arguments), 0) << clip.name;
        file.clips.append({clip.facts, path});
    }
    file.clips.append(file.clips.constFirst()); // a producer used twice

    // Each rate in turn leads the sequence.
    for (int first = 0; first < 3; ++first) {
        SCOPED_TRACE(first);
        file.clips.move(first, 0);
        const QString project = dir.filePath(QStringLiteral("day%1.mlt").arg(first));
        test::writeFile(project, MltWriter().render(file));
        const EditRate rate = EditRate::of(file.clips.constFirst().facts);
        qint64 expected = 0;
        for (const SequenceClip &clip : std::as_const(file.clips))
            expected += convertFrames(clip.facts.frameCount, EditRate::of(clip.facts), rate);

        QProcess process;
        process.start(melt, {project, QStringLiteral("-consumer"), QStringLiteral("xml")});
        ASSERT_TRUE(process.waitForFinished(60000));
        const QString errors = QString::fromUtf8(process.readAllStandardError());
        EXPECT_EQ(process.exitCode(), 0);
        EXPECT_FALSE(errors.contains(QStringLiteral("failed to load"), Qt::CaseInsensitive)) << errors.toStdString();
        const XmlValues played = readXml(process.readAllStandardOutput());
        EXPECT_TRUE(valuesAt(played, "mlt/producer/property").contains(QString::number(expected)));
        EXPECT_EQ(valuesAt(played, "mlt/playlist/entry@out"), QStringList{QString::number(expected - 1)});
    }
}
