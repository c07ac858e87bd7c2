// The sequence formats for other editors, each read back by the real reader:
// OpenTimelineIO for every EDL and XML, melt for MLT files of clips ffmpeg
// makes here and now. QXmlStreamReader checks what a reader needs in the
// structure beyond what OpenTimelineIO looks at.
#include "common/failure.h"
#include "sequence/editrate.h"
#include "sequence/edlwriter.h"
#include "sequence/fcpxmlwriter.h"
#include "sequence/mltwriter.h"
#include "sequence/pathmap.h"
#include "sequence/psqwriter.h"
#include "settings/settingsstore.h"
#include "support/fixtures.h"
#include "support/otioreader.h"

#include <gtest/gtest.h>

#include <QJsonArray>
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

// Each producer's, playlist's and tractor's own properties by its id.
QHash<QString, QHash<QString, QString>> mltProperties(const QByteArray &bytes)
{
    QHash<QString, QHash<QString, QString>> properties;
    QXmlStreamReader xml(bytes);
    QStringList ids;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QStringLiteral("property") && !ids.isEmpty()
            && !ids.back().isEmpty()) {
            const QString name = xml.attributes().value(QStringLiteral("name")).toString();
            properties[ids.back()][name] = xml.readElementText();
        } else if (xml.isStartElement()) {
            ids.append(xml.attributes().value(QStringLiteral("id")).toString());
        } else if (xml.isEndElement()) {
            ids.removeLast();
        }
    }
    return properties;
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

// One row of a read-back case: the clip as the run gives it, and what the EDL
// must hold for it at the list rate. edlIn -1: the clip's own source in.
struct ReadClip
{
    MediaFacts facts;
    QString path;
    qint64 sourceIn = 0;
    qint64 edlIn = -1;
    qint64 edlLength = -1; // -1: its own frame count
};

struct ReadCase
{
    QString what;
    QString name;
    QList<ReadClip> clips;
    QString listRate;  // the EDL's one rate, as OpenTimelineIO is told it
    QString edlError;  // the start of the run's message when the EDL cannot be written
    qint64 recordStart = 90000; // frames at the list rate
};

MediaFacts withSound(MediaFacts facts, int channels)
{
    facts.mediaType = 3;
    facts.audioChannels = channels;
    return facts;
}

QList<ReadCase> readCases()
{
    const MediaFacts pal{250, 1, 25, 1};
    const MediaFacts ntsc{300, 100, 2997, 1};
    const qint64 tenHoursNtsc = timecodeFrames(10, 0, 0, 0, EditRate(2997)); // 10:00:00;00
    QList<ReadCase> cases = {
        {"one rate, sound and none, Cyrillic and markup", QStringLiteral("День 1 & <Эфир> \"Ж\""),
         {{withSound(pal, 2), QStringLiteral("D:\\Эфир\\a b.avi")},
          {{100, 1, 25, 1}, QStringLiteral("/mnt/efir/<&\">.avi")},
          {withSound({50, 1, 25, 1}, 1), QStringLiteral("/mnt/efir/ролик.avi"), 900000},
          {withSound(pal, 2), QStringLiteral("D:\\Эфир\\a b.avi")},
          {pal, QStringLiteral("/mnt/line\u2028break\u0085.avi")}},
         "25"},
        {"mixed rates: each start kept as a time, each length converted", QStringLiteral("mixed"),
         {{withSound(pal, 2), QStringLiteral("/c/pal.avi")},
          {ntsc, QStringLiteral("/c/ntsc.avi"), tenHoursNtsc, 900000, 250},
          {{100, 1, 50, 1}, QStringLiteral("/c/fifty.avi"), 180000, 90000, 50},
          {{10, 10, 125, 1}, QStringLiteral("/c/half.avi"), 0, 0, 20}},
         "25"},
        {"12.5 first: the list runs at 25", QStringLiteral("half"),
         {{{100, 10, 125, 1}, QStringLiteral("/c/half.avi"), 0, 0, 200},
          {withSound({50, 1, 25, 1}, 2), QStringLiteral("/c/pal.avi")}},
         "25"},
        {"23.976 first", QStringLiteral("film"),
         {{withSound({240, 100, 2398, 1}, 2), QStringLiteral("/c/film.avi")},
          {pal, QStringLiteral("/c/pal.avi"), 0, 0, 240}},
         "24000/1001", QString(), timecodeFrames(1, 0, 0, 0, EditRate(2398))},
        {"29.97 drop-frame first, start timecodes", QStringLiteral("ntsc"),
         {{withSound(ntsc, 2), QStringLiteral("/c/ntsc.avi"), tenHoursNtsc},
          {pal, QStringLiteral("/c/pal.avi"), 900000, tenHoursNtsc, 300}},
         "30000/1001", QString(), timecodeFrames(1, 0, 0, 0, EditRate(2997))},
        {"59.94 drop-frame first", QStringLiteral("sixty"),
         {{{600, 100, 5994, 1}, QStringLiteral("/c/sixty.avi")},
          {ntsc, QStringLiteral("/c/ntsc.avi"), 1800, 3600, 600}},
         "60000/1001", QString(), timecodeFrames(1, 0, 0, 0, EditRate(5994))},
    };
    const PathMap map({{QStringLiteral("/srv/efir/"), QStringLiteral("E:")},
                       {QStringLiteral("/srv/"), QStringLiteral("\\\\nas\\efir\\")},
                       {QStringLiteral("/"), QStringLiteral("/Volumes/efir/")}});
    cases.append({"mapped paths", QStringLiteral("mapped"),
                  {{pal, map.apply(QStringLiteral("/srv/efir/ролики/a b.avi"))},
                   {pal, map.apply(QStringLiteral("/srv/promo/b.avi"))},
                   {pal, map.apply(QStringLiteral("/mnt/c.avi"))}},
                  "25"});
    ReadCase day{"23 and a half hours: record from 00:00:00:00", QStringLiteral("day"), {}, "25", QString(), 0};
    for (int i = 0; i < 47; ++i)
        day.clips.append({{45000, 1, 25, 1}, QStringLiteral("/c/half-hour %1.avi").arg(i)});
    ReadCase whole = day;
    whole.what = QStringLiteral("24 hours: no EDL");
    whole.clips.append(day.clips.constFirst());
    whole.edlError = QStringLiteral("EDL длиннее 24 часов: day.edl");
    ReadCase many{"1,000 rows: no EDL", QStringLiteral("many"), {}, "25", QStringLiteral("В EDL больше 999 событий")};
    for (int i = 0; i < 1000; ++i)
        many.clips.append({{25, 1, 25, 1}, QStringLiteral("/c/%1.avi").arg(i % 7)});
    ReadCase eighteen{"18 fps: no SMPTE multiple, no EDL", QStringLiteral("eighteen"),
                      {{{36, 1, 18, 1}, QStringLiteral("/c/18.avi")}}, "18",
                      QStringLiteral("EDL не поддерживает частоту 18 кадр/с: eighteen.edl")};
    cases << day << whole << many << eighteen;
    return cases;
}

QList<QJsonArray> tracksOf(const QJsonObject &timeline, const QString &kind)
{
    QList<QJsonArray> found;
    for (const QJsonValue &track : timeline.value(QStringLiteral("tracks")).toArray()) {
        if (track[QStringLiteral("kind")].toString() == kind)
            found.append(track[QStringLiteral("clips")].toArray());
    }
    return found;
}

// Seconds as frames at the rate.
qint64 atRate(double seconds, const EditRate &rate)
{
    return qRound64(seconds * double(rate.numerator()) / double(rate.denominator()));
}

QString oneLineName(const QString &path)
{
    QString name = clipFileName(path);
    for (QChar &ch : name) {
        if (ch == u'\u2028' || ch == u'\u0085')
            ch = u' ';
    }
    return name;
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

TEST(EdlWriter, ListRatesAndAsciiTitles)
{
    // A rate without SMPTE timecode runs at the lowest whole multiple that has it.
    const QList<QPair<qint64, qint64>> rates = {{1250, 2500}, {1500, 3000}, {1000, 3000}, {2000, 6000},
                                                {1600, 4800}, {2997, 2997}, {2398, 2398}, {5000, 5000}};
    for (const auto &[rate, list] : rates)
        EXPECT_EQ(EdlWriter::listRate(EditRate(rate)), EditRate(list)) << rate;
    EXPECT_FALSE(EdlWriter::listRate(EditRate(1800)));
    EXPECT_FALSE(EdlWriter::listRate(EditRate(1234)));

    const QList<QPair<QString, QString>> titles = {
        {"day25^.К1", "day25^.K1"},
        {"Жук ЖУК Жу ЖУ", "Zhuk ZHUK Zhu ZHU"},
        {"Щи Цех Юла Яма Хор Чай Шар", "Shchi Tsekh Iula Iama Khor Chai Shar"},
        {"Ёлка съел Йод, подъезд", "Elka sel Iod, podezd"},
        {"Café №5\tä", "Caf_ _5 _"},
        {QString(70, u'я'), QString(30, u'i').replace("i", "ia")},
    };
    for (const auto &[name, ascii] : titles)
        EXPECT_EQ(EdlWriter::asciiTitle(name), ascii) << name.toStdString();
}

TEST(SequenceFormats, OpenTimelineIoReadsEveryEdlAndXmlAsWritten)
{
    const test::OtioReader otio;
    if (!otio.available()) {
        std::printf("OpenTimelineIO not run, EDL and XML not read back: %s\n", qPrintable(otio.reason()));
        GTEST_SKIP();
    }
    QTemporaryDir dir;
    for (const ReadCase &c : readCases()) {
        SCOPED_TRACE(c.what.toStdString());
        SequenceFile file{c.name, {}};
        for (const ReadClip &clip : c.clips)
            file.clips.append({clip.facts, clip.path, clip.sourceIn});

        // The EDL, at its list rate.
        const EditRate listRate = EdlWriter::listRate(EditRate::of(c.clips[0].facts)).value_or(EditRate());
        try {
            const QString path = dir.filePath(c.name + QStringLiteral(".edl"));
            test::writeFile(path, EdlWriter().render(file));
            EXPECT_TRUE(c.edlError.isEmpty()) << "written though it cannot be";
            const QJsonObject timeline = otio.read(path, c.listRate);
            ASSERT_FALSE(timeline.contains(QStringLiteral("error")))
                << timeline.value(QStringLiteral("error")).toString().toStdString();
            EXPECT_EQ(timeline[QStringLiteral("name")].toString(), EdlWriter::asciiTitle(c.name));
            const QList<QJsonArray> video = tracksOf(timeline, QStringLiteral("Video"));
            ASSERT_EQ(video.size(), 1);
            ASSERT_EQ(video[0].size(), c.clips.size());
            qint64 position = 0;
            int sound = 0, stereo = 0;
            for (qsizetype i = 0; i < c.clips.size(); ++i) {
                const ReadClip &clip = c.clips[i];
                const QJsonObject read = video[0][i].toObject();
                const qint64 length = clip.edlLength >= 0 ? clip.edlLength : clip.facts.frameCount;
                EXPECT_EQ(read[QStringLiteral("name")].toString(), oneLineName(clip.path).trimmed()) << i;
                EXPECT_EQ(read[QStringLiteral("in")].toInteger(), clip.edlIn >= 0 ? clip.edlIn : clip.sourceIn) << i;
                EXPECT_EQ(read[QStringLiteral("duration")].toInteger(), length) << i;
                EXPECT_EQ(atRate(read[QStringLiteral("position")].toDouble(), listRate), position) << i;
                EXPECT_EQ(read[QStringLiteral("url")].toString(), QString(clip.path).replace(u'\u2028', u' ').replace(u'\u0085', u' ').trimmed()) << i;
                position += length;
                sound += clip.facts.mediaType == 3;
                stereo += clip.facts.mediaType == 3 && clip.facts.audioChannels > 1;
            }
            const QList<QJsonArray> audio = tracksOf(timeline, QStringLiteral("Audio"));
            EXPECT_EQ(audio.size(), (sound > 0) + (stereo > 0));
            if (sound > 0)
                EXPECT_EQ(audio[0].size(), sound);
            if (stereo > 0)
                EXPECT_EQ(audio[1].size(), stereo);
            EXPECT_EQ(timeline[QStringLiteral("recordStart")].toInteger(), c.recordStart);
        } catch (const Failure &failure) {
            EXPECT_TRUE(!c.edlError.isEmpty() && failure.message().startsWith(c.edlError))
                << failure.message().toStdString();
        }

        // The XML: every clip at its own rate, a whole timebase.
        const QString path = dir.filePath(c.name + QStringLiteral(".xml"));
        test::writeFile(path, FcpXmlWriter().render(file));
        const QJsonObject timeline = otio.read(path, QString());
        ASSERT_FALSE(timeline.contains(QStringLiteral("error")))
            << timeline.value(QStringLiteral("error")).toString().toStdString();
        EXPECT_EQ(timeline[QStringLiteral("name")].toString(), c.name);
        const QList<QJsonArray> video = tracksOf(timeline, QStringLiteral("Video"));
        ASSERT_EQ(video.size(), 1);
        ASSERT_EQ(video[0].size(), c.clips.size());
        const EditRate sequenceRate = EditRate::of(c.clips[0].facts).wholeMultiple();
        qint64 position = 0;
        int maxChannels = 0;
        for (qsizetype i = 0; i < c.clips.size(); ++i) {
            const ReadClip &clip = c.clips[i];
            const QJsonObject read = video[0][i].toObject();
            const EditRate rate = EditRate::of(clip.facts);
            const qint64 frames = clip.facts.frameCount * rate.wholeFactor();
            const double expectedRate = rate.isNtsc() ? rate.timebase() * 1000.0 / 1001 : rate.wholeMultiple().timebase();
            EXPECT_EQ(read[QStringLiteral("name")].toString(), clipFileName(clip.path)) << i;
            EXPECT_NEAR(read[QStringLiteral("rate")].toDouble(), expectedRate, 1e-6) << i;
            EXPECT_EQ(read[QStringLiteral("in")].toInteger(), clip.sourceIn * rate.wholeFactor()) << i;
            EXPECT_NEAR(read[QStringLiteral("duration")].toInteger(), frames, 1) << i;
            EXPECT_EQ(atRate(read[QStringLiteral("position")].toDouble(), sequenceRate), position) << i;
            EXPECT_EQ(read[QStringLiteral("url")].toString(), FcpXmlWriter::pathUrl(clip.path)) << i;
            position += convertFrames(frames, rate.wholeMultiple(), sequenceRate);
            if (clip.facts.mediaType == 3)
                maxChannels = std::max(maxChannels, clip.facts.audioChannels);
        }
        // A track per channel, each holding the clips with that many.
        const QList<QJsonArray> audio = tracksOf(timeline, QStringLiteral("Audio"));
        ASSERT_EQ(audio.size(), maxChannels);
        for (int track = 0; track < maxChannels; ++track) {
            qsizetype expected = 0;
            for (const ReadClip &clip : c.clips)
                expected += clip.facts.mediaType == 3 && clip.facts.audioChannels > track;
            EXPECT_EQ(audio[track].size(), expected) << track;
        }
    }
}


TEST(FcpXmlWriter, PremiereLayoutOfTracksItemsFilesAndLinks)
{
    SequenceFile file = mixedFile();
    // The first clip: anamorphic PAL, 48 kHz 24 bit stereo; the last mono at 44.1 kHz.
    MediaFacts &first = file.clips[0].facts;
    first.width = 720;
    first.height = 576;
    first.sarNum = 64;
    first.sarDen = 45;
    first.audioChannels = 2;
    first.sampleRate = 48000;
    first.bitDepth = 24;
    file.clips[2] = {{250, 1, 25, 3}, QStringLiteral("/mnt/mono.mxf")};
    file.clips[2].facts.audioChannels = 1;
    file.clips[2].facts.sampleRate = 44100;
    const XmlValues xml = readXml(FcpXmlWriter().render(file));
    const QString sequence = QStringLiteral("xmeml/sequence/");
    const QString video = sequence + QStringLiteral("media/video/track/clipitem/");
    const QString audio = sequence + QStringLiteral("media/audio/track/clipitem/");
    EXPECT_EQ(valuesAt(xml, "xmeml@version"), QStringList{"5"});
    EXPECT_EQ(valuesAt(xml, sequence + "duration"), QStringList{"750"});

    // Every track says it is on and open; the sequence has the first clip's picture.
    EXPECT_EQ(valuesAt(xml, sequence + "media/video/track/enabled"), QStringList{"TRUE"});
    EXPECT_EQ(valuesAt(xml, sequence + "media/audio/track/enabled"), (QStringList{"TRUE", "TRUE"}));
    EXPECT_EQ(valuesAt(xml, sequence + "media/audio/track/locked"), (QStringList{"FALSE", "FALSE"}));
    const QString format = sequence + QStringLiteral("media/video/format/samplecharacteristics/");
    EXPECT_EQ(valuesAt(xml, format + "width"), QStringList{"720"});
    EXPECT_EQ(valuesAt(xml, format + "height"), QStringList{"576"});
    EXPECT_EQ(valuesAt(xml, format + "pixelaspectratio"), QStringList{"PAL-601"});
    EXPECT_EQ(valuesAt(xml, format + "anamorphic"), QStringList{"TRUE"});
    EXPECT_EQ(valuesAt(xml, format + "rate/timebase"), QStringList{"25"});

    // Each distinct clip is one file element with its picture and sound; a
    // later item refers to it by id only. Unknown values are HD, 48 kHz, 16 bit.
    EXPECT_EQ(valuesAt(xml, video + "file@id"), (QStringList{"file-1", "file-2", "file-3"}));
    EXPECT_EQ(valuesAt(xml, video + "file/media/video/samplecharacteristics/width"),
              (QStringList{"720", "1920", "1920"}));
    EXPECT_EQ(valuesAt(xml, video + "file/media/video/samplecharacteristics/pixelaspectratio"),
              (QStringList{"PAL-601", "square", "square"}));
    EXPECT_EQ(valuesAt(xml, video + "file/media/audio/channelcount"), (QStringList{"2", "1"}));
    EXPECT_EQ(valuesAt(xml, video + "file/media/audio/samplecharacteristics/samplerate"),
              (QStringList{"48000", "44100"}));
    EXPECT_EQ(valuesAt(xml, video + "file/media/audio/samplecharacteristics/depth"), (QStringList{"24", "16"}));
    EXPECT_EQ(valuesAt(xml, video + "file/timecode/string"), (QStringList{"00:00:00:00", "00:00:00;18", "00:00:00:00"}));

    // A clip item per channel, on audio tracks 1 and 2, all linked to the video item.
    EXPECT_EQ(valuesAt(xml, audio + "start"), (QStringList{"0", "500", "0"}));
    EXPECT_EQ(valuesAt(xml, audio + "sourcetrack/trackindex"), (QStringList{"1", "1", "2"}));
    EXPECT_EQ(valuesAt(xml, video + "link/linkclipref"),
              (QStringList{"clipitem-1", "clipitem-2", "clipitem-3", "clipitem-5", "clipitem-6"}));
    EXPECT_EQ(valuesAt(xml, audio + "link/trackindex"), (QStringList{"1", "1", "2", "1", "1", "1", "1", "2"}));
    EXPECT_EQ(valuesAt(xml, audio + "link/clipindex"), (QStringList{"1", "1", "1", "3", "2", "1", "1", "1"}));

    EXPECT_EQ(FcpXmlWriter::pathUrl(QStringLiteral("\\\\server\\efir\\a.avi")),
              QStringLiteral("file://server/efir/a.avi"));
    EXPECT_EQ(FcpXmlWriter::pathUrl(QStringLiteral("/a\\b#%.avi")), QStringLiteral("file://localhost/a%5Cb%23%25.avi"));
    EXPECT_THROW(FcpXmlWriter().render({QStringLiteral("bad\x01"), {}}), Failure);
}

TEST(MltWriter, WhatShotcutAndKdenliveNeedToOpenTheirTimeline)
{
    SequenceFile file = mixedFile();
    file.clips.prepend({kNtscSilent, QStringLiteral("/x/<&\">.avi")});
    // The profile comes from the first clip: anamorphic PAL is 16:9.
    file.clips[0].facts.width = 720;
    file.clips[0].facts.height = 576;
    file.clips[0].facts.sarNum = 64;
    file.clips[0].facts.sarDen = 45;
    for (const MltWriter::Editor editor : {MltWriter::Editor::Shotcut, MltWriter::Editor::Kdenlive}) {
        const bool kdenlive = editor == MltWriter::Editor::Kdenlive;
        SCOPED_TRACE(kdenlive ? "Kdenlive" : "Shotcut");
        const QByteArray bytes = MltWriter(editor).render(file);
        const XmlValues xml = readXml(bytes);
        const QHash<QString, QHash<QString, QString>> properties = mltProperties(bytes);
        EXPECT_EQ(valuesAt(xml, "mlt@producer"), QStringList{"main_bin"});
        EXPECT_EQ(valuesAt(xml, "mlt/profile@frame_rate_num"), QStringList{"30000"});
        EXPECT_EQ(valuesAt(xml, "mlt/profile@frame_rate_den"), QStringList{"1001"});
        EXPECT_EQ(valuesAt(xml, "mlt/profile@width"), QStringList{"720"});
        EXPECT_EQ(valuesAt(xml, "mlt/profile@display_aspect_num"), QStringList{"16"});
        EXPECT_EQ(valuesAt(xml, "mlt/profile@display_aspect_den"), QStringList{"9"});
        EXPECT_EQ(properties["producer0"]["resource"], QStringLiteral("/x/<&\">.avi"));
        EXPECT_EQ(properties["producer1"]["resource"], QStringLiteral("D:\\Эфир\\a b.avi"));
        // Every clip is in the bin, once.
        EXPECT_EQ(valuesAt(xml, "mlt/playlist@id").count("main_bin"), 1);
        EXPECT_EQ(properties["main_bin"]["xml_retain"], QStringLiteral("1"));
        const QString entries = QStringLiteral("mlt/playlist/entry@producer");
        QStringList playlists = valuesAt(xml, entries);
        EXPECT_EQ(playlists.mid(0, 3), (QStringList{"producer0", "producer1", "producer2"}));
        // 250 frames at 25 are 299.7 at 29.97: 300, out inclusive.
        QStringList outs = valuesAt(xml, "mlt/playlist/entry@out");
        if (!kdenlive)
            EXPECT_EQ(outs.takeAt(3), QStringLiteral("1199")); // the background, as long as the rows
        EXPECT_EQ(outs, QStringList(kdenlive ? 9 : 7, QStringLiteral("299")));
        if (kdenlive) {
            for (const char *producer : {"producer0", "producer1", "producer2"})
                EXPECT_FALSE(properties[producer]["kdenlive:id"].isEmpty()) << producer;
            EXPECT_EQ(properties["main_bin"]["kdenlive:docproperties.version"], QStringLiteral("1.04"));
            // Audio track 1 holds the sound of the clips with sound, blanks beside; video track 1 every row.
            EXPECT_EQ(properties["tractor0"]["kdenlive:audio_track"], QStringLiteral("1"));
            EXPECT_FALSE(properties["tractor1"].contains("kdenlive:audio_track"));
            EXPECT_EQ(playlists.mid(3), (QStringList{"producer1", "producer1", "producer0", "producer1", "producer2", "producer1"}));
            EXPECT_EQ(valuesAt(xml, "mlt/playlist/blank@length"), (QStringList{"300", "300"}));
            EXPECT_EQ(valuesAt(xml, "mlt/tractor/track@producer").mid(4),
                      (QStringList{"black_track", "tractor0", "tractor1"}));
        } else {
            EXPECT_EQ(properties["tractor0"]["shotcut"], QStringLiteral("1"));
            EXPECT_EQ(properties["playlist0"]["shotcut:video"], QStringLiteral("1"));
            EXPECT_EQ(valuesAt(xml, "mlt/tractor/track@producer"), (QStringList{"background", "playlist0"}));
            EXPECT_EQ(playlists.mid(3), (QStringList{"black", "producer0", "producer1", "producer2", "producer1"}));
        }
    }
}

TEST(SequenceFormats, KeysExtensionsAndThePsqWriterUnchanged)
{
    EXPECT_EQ(sequenceFormats().size(), 5);
    EXPECT_EQ(formatFromKey(QStringLiteral("kdenlive")), SequenceFormat::Kdenlive);
    EXPECT_EQ(sequenceFormats()[4].extension, QStringLiteral(".kdenlive"));
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

TEST(PathMap, FirstMatchingPairJoinedAtOneSeparatorInTheRemoteStyle)
{
    const PathMap map({{QStringLiteral("/mnt/efir"), QStringLiteral("E:")},
                       {QStringLiteral("/mnt/"), QStringLiteral("\\\\server\\share\\")},
                       {QStringLiteral("/srv/a"), QStringLiteral("/Volumes/a")}});
    struct Case
    {
        PathMap map;
        const char *local, *remote;
    };
    const auto pair = [](const char *local, const char *remote) {
        return PathMap({{QString::fromUtf8(local), QString::fromUtf8(remote)}});
    };
    const Case cases[] = {
        {map, "/mnt/efir/ролики/a.avi", "E:\\ролики\\a.avi"},
        {map, "/mnt/efir2/a.avi", "\\\\server\\share\\efir2\\a.avi"}, // not under /mnt/efir
        {map, "/srv/a/b/c.avi", "/Volumes/a/b/c.avi"},
        {map, "/srv/ab.avi", "/srv/ab.avi"},
        {map, "relative/a.avi", "relative/a.avi"},
        // Whatever separators either side ends with, one joins them.
        {pair("clips/", "E:"), "clips/A5.avi", "E:\\A5.avi"},
        {pair("clips", "/srv/efir/"), "clips/A5.avi", "/srv/efir/A5.avi"},
        {pair("/mnt//", "/srv//"), "/mnt//x/A5.avi", "/srv/x/A5.avi"},
        {pair("/", "E:"), "/tmp/x/A5.avi", "E:\\tmp\\x\\A5.avi"},
        {pair("/", "E:"), "tmp/A5.avi", "tmp/A5.avi"},
        // A Windows side without letter case, either slash; a POSIX remote takes "/".
        {pair("d:\\clips", "/Volumes/clips"), "D:\\Clips\\Эфир\\A5.avi", "/Volumes/clips/Эфир/A5.avi"},
        {pair("D:/clips/", "\\\\nas\\c"), "d:\\CLIPS/A5.avi", "\\\\nas\\c\\A5.avi"},
        {pair("D:\\clips", "E:\\"), "D:\\clips2\\A5.avi", "D:\\clips2\\A5.avi"},
        {pair("/mnt/a", "/b"), "/MNT/a/A5.avi", "/MNT/a/A5.avi"}, // POSIX keeps letter case
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.map.apply(QString::fromUtf8(c.local)), QString::fromUtf8(c.remote)) << c.local;
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

    // Each rate in turn leads the sequence, in each editor's project.
    for (int first = 0; first < 3; ++first) {
        file.clips.move(first, 0);
        const EditRate rate = EditRate::of(file.clips.constFirst().facts);
        qint64 expected = 0;
        for (const SequenceClip &clip : std::as_const(file.clips))
            expected += convertFrames(clip.facts.frameCount, EditRate::of(clip.facts), rate);
        for (const MltWriter::Editor editor : {MltWriter::Editor::Shotcut, MltWriter::Editor::Kdenlive}) {
            SCOPED_TRACE(testing::Message() << first << (editor == MltWriter::Editor::Kdenlive ? " Kdenlive" : " Shotcut"));
            const QString project = dir.filePath(QStringLiteral("day%1.mlt").arg(first));
            test::writeFile(project, MltWriter(editor).render(file));
            QProcess process;
            process.start(melt, {project, QStringLiteral("-consumer"), QStringLiteral("xml")});
            ASSERT_TRUE(process.waitForFinished(60000));
            const QString errors = QString::fromUtf8(process.readAllStandardError());
            EXPECT_EQ(process.exitCode(), 0);
            EXPECT_FALSE(errors.contains(QStringLiteral("failed to load"), Qt::CaseInsensitive)) << errors.toStdString();
            const XmlValues played = readXml(process.readAllStandardOutput());
            EXPECT_EQ(valuesAt(played, "mlt/playlist/entry@out"), QStringList{QString::number(expected - 1)});
        }
    }
}
