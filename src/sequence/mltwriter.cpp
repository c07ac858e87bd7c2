#include "mltwriter.h"

#include "common/failure.h"
#include "editrate.h"
#include "xmltext.h"

#include <QHash>

#include <numeric>

namespace lintaro {

namespace {

void writeProperty(XmlText &xml, const char *name, const QString &value)
{
    xml.open("property", { { "name", QString::fromLatin1(name) } });
    xml.characters(value);
    xml.close("property");
}

QString number(qint64 value)
{
    return QString::number(value);
}

// The profile: the first clip's picture, HD square where the probe did not say.
void writeProfile(XmlText &xml, const MediaFacts &facts, const EditRate &rate)
{
    const qint64 width = facts.width > 0 ? facts.width : 1920;
    const qint64 height = facts.height > 0 ? facts.height : 1080;
    const bool aspect = facts.sarNum > 0 && facts.sarDen > 0;
    const qint64 sarNum = aspect ? facts.sarNum : 1;
    const qint64 sarDen = aspect ? facts.sarDen : 1;
    qint64 darNum = width * sarNum;
    qint64 darDen = height * sarDen;
    const qint64 common = std::gcd(darNum, darDen);
    darNum /= common;
    darDen /= common;
    xml.empty("profile",
        { { "description",
              number(width) + u'x' + number(height) + u' ' + QString::number(double(rate.hundredths()) / 100)
                  + QStringLiteral(" fps") },
            { "width", number(width) }, { "height", number(height) }, { "progressive", QStringLiteral("1") },
            { "sample_aspect_num", number(sarNum) }, { "sample_aspect_den", number(sarDen) },
            { "display_aspect_num", number(darNum) }, { "display_aspect_den", number(darDen) },
            { "frame_rate_num", number(rate.numerator()) }, { "frame_rate_den", number(rate.denominator()) },
            { "colorspace", QStringLiteral("709") } });
}

struct Row
{
    qint64 length = 0; // in profile frames
    int producer = 0;
    bool sound = false;
};

} // namespace

QByteArray MltWriter::render(const SequenceFile &file) const
{
    const bool kdenlive = m_editor == Editor::Kdenlive;
    const MediaFacts first
        = file.clips.isEmpty() ? MediaFacts { 0, 1, 25, 1 } : file.clips.constFirst().facts;
    const EditRate rate = timelineRate(EditRate::of(first));

    // Lengths in profile frames, one producer per distinct path; an empty clip
    // has no frame to play and is left out.
    QList<Row> rows;
    QHash<QString, int> producerOfPath;
    QList<qsizetype> producerRows;
    qint64 total = 0;
    for (qsizetype i = 0; i < file.clips.size(); ++i) {
        const SequenceClip &clip = file.clips[i];
        Row row;
        row.length = timelineLength(clip.facts, rate);
        if (row.length == 0)
            continue;
        auto found = producerOfPath.constFind(clip.path);
        if (found == producerOfPath.constEnd()) {
            found = producerOfPath.insert(clip.path, int(producerRows.size()));
            producerRows.append(i);
        }
        row.producer = *found;
        row.sound = clip.facts.mediaType == 3;
        rows.append(row);
        total += row.length;
    }
    // A producer is as long as its longest row.
    QList<qint64> producerLengths(producerRows.size(), 0);
    for (const Row &row : std::as_const(rows))
        producerLengths[row.producer] = std::max(producerLengths[row.producer], row.length);
    const QString lastFrame = number(std::max<qint64>(total - 1, 0));
    // Kdenlive's bin ids start at 2: 1 is its own root folder.
    const auto binId = [](int producer) { return number(producer + 2); };
    const auto producerId = [](int producer) { return QStringLiteral("producer") + number(producer); };

    XmlText xml;
    xml.open("mlt",
        { { "LC_NUMERIC", QStringLiteral("C") }, { "version", QStringLiteral("7.12.0") },
            { "title", file.name }, { "producer", QStringLiteral("main_bin") } });
    writeProfile(xml, first, rate);

    for (qsizetype p = 0; p < producerRows.size(); ++p) {
        const SequenceClip &clip = file.clips[producerRows[p]];
        xml.open("producer",
            { { "id", producerId(int(p)) }, { "in", QStringLiteral("0") },
                { "out", number(producerLengths[p] - 1) } });
        writeProperty(xml, "length", number(producerLengths[p]));
        writeProperty(xml, "eof", QStringLiteral("pause"));
        writeProperty(xml, "resource", clip.path);
        writeProperty(xml, "mlt_service", QStringLiteral("avformat-novalidate"));
        if (kdenlive) {
            writeProperty(xml, "kdenlive:id", binId(int(p)));
            writeProperty(xml, "kdenlive:clipname", clipFileName(clip.path));
            writeProperty(xml, "kdenlive:folderid", QStringLiteral("-1"));
        } else {
            writeProperty(xml, "shotcut:caption", clipFileName(clip.path));
        }
        xml.close("producer");
    }

    xml.open("playlist", { { "id", QStringLiteral("main_bin") } });
    if (kdenlive) {
        writeProperty(xml, "kdenlive:docproperties.version", QStringLiteral("1.04"));
        writeProperty(xml, "kdenlive:docproperties.kdenliveversion", QStringLiteral("22.12.3"));
        writeProperty(xml, "kdenlive:docproperties.audioChannels", QStringLiteral("2"));
    }
    writeProperty(xml, "xml_retain", QStringLiteral("1"));
    for (qsizetype p = 0; p < producerRows.size(); ++p)
        xml.empty("entry",
            { { "producer", producerId(int(p)) }, { "in", QStringLiteral("0") },
                { "out", number(producerLengths[p] - 1) } });
    xml.close("playlist");

    // The background both editors lay under the tracks.
    const QString black = QString::fromLatin1(kdenlive ? "black_track" : "black");
    xml.open("producer", { { "id", black }, { "in", QStringLiteral("0") }, { "out", lastFrame } });
    writeProperty(xml, "length", number(std::max<qint64>(total, 1)));
    writeProperty(xml, "eof", QString::fromLatin1(kdenlive ? "continue" : "pause"));
    writeProperty(xml, "resource", QString::fromLatin1(kdenlive ? "black" : "0"));
    writeProperty(xml, "aspect_ratio", QStringLiteral("1"));
    writeProperty(xml, "mlt_service", QStringLiteral("color"));
    writeProperty(xml, "mlt_image_format", QStringLiteral("rgba"));
    writeProperty(xml, "set.test_audio", QStringLiteral("0"));
    xml.close("producer");

    // One track's playlist: the rows, or only the sound of the rows with sound.
    const auto writeTrack = [&](const QString &id, bool soundOnly) {
        xml.open("playlist", { { "id", id } });
        if (!kdenlive) {
            writeProperty(xml, "shotcut:video", QStringLiteral("1"));
            writeProperty(xml, "shotcut:name", QStringLiteral("V1"));
        }
        qint64 blank = 0;
        for (const Row &row : std::as_const(rows)) {
            if (soundOnly && !row.sound) {
                blank += row.length;
                continue;
            }
            if (blank > 0)
                xml.empty("blank", { { "length", number(blank) } });
            blank = 0;
            const QString out = number(row.length - 1);
            if (kdenlive) {
                xml.open("entry",
                    { { "producer", producerId(row.producer) }, { "in", QStringLiteral("0") },
                        { "out", out } });
                writeProperty(xml, "kdenlive:id", binId(row.producer));
                xml.close("entry");
            } else {
                xml.empty("entry",
                    { { "producer", producerId(row.producer) }, { "in", QStringLiteral("0") },
                        { "out", out } });
            }
        }
        xml.close("playlist");
    };

    const QString range = QStringLiteral("0");
    if (kdenlive) {
        // Each track a tractor of two playlists (the second holds mixes).
        const auto writeKdenliveTrack = [&](int n, bool audio) {
            writeTrack(QStringLiteral("playlist") + number(2 * n), audio);
            xml.empty("playlist", { { "id", QStringLiteral("playlist") + number(2 * n + 1) } });
            xml.open("tractor",
                { { "id", QStringLiteral("tractor") + number(n) }, { "in", range }, { "out", lastFrame } });
            if (audio)
                writeProperty(xml, "kdenlive:audio_track", QStringLiteral("1"));
            writeProperty(xml, "kdenlive:trackheight", QStringLiteral("67"));
            writeProperty(xml, "kdenlive:timeline_active", QStringLiteral("1"));
            writeProperty(xml, "kdenlive:collapsed", QStringLiteral("0"));
            const QString hide = QString::fromLatin1(audio ? "video" : "audio");
            xml.empty(
                "track", { { "hide", hide }, { "producer", QStringLiteral("playlist") + number(2 * n) } });
            xml.empty("track",
                { { "hide", hide }, { "producer", QStringLiteral("playlist") + number(2 * n + 1) } });
            xml.close("tractor");
        };
        writeKdenliveTrack(0, true);
        writeKdenliveTrack(1, false);
        xml.open("tractor",
            { { "id", QStringLiteral("tractor2") }, { "global_feed", QStringLiteral("1") }, { "in", range },
                { "out", lastFrame } });
        xml.empty("track", { { "producer", black } });
        xml.empty("track", { { "producer", QStringLiteral("tractor0") } });
        xml.empty("track", { { "producer", QStringLiteral("tractor1") } });
        // Sound of every track mixed, as Kdenlive adds it; the picture of the
        // top track needs no transition.
        const auto writeMix = [&](const QString &id, const QString &bTrack) {
            xml.open("transition", { { "id", id } });
            writeProperty(xml, "a_track", QStringLiteral("0"));
            writeProperty(xml, "b_track", bTrack);
            writeProperty(xml, "mlt_service", QStringLiteral("mix"));
            writeProperty(xml, "kdenlive_id", QStringLiteral("mix"));
            writeProperty(xml, "internal_added", QStringLiteral("237"));
            writeProperty(xml, "always_active", QStringLiteral("1"));
            writeProperty(xml, "accepts_blanks", QStringLiteral("1"));
            writeProperty(xml, "sum", QStringLiteral("1"));
            xml.close("transition");
        };
        writeMix(QStringLiteral("transition0"), QStringLiteral("1"));
        writeMix(QStringLiteral("transition1"), QStringLiteral("2"));
        xml.close("tractor");
    } else {
        xml.open("playlist", { { "id", QStringLiteral("background") } });
        xml.empty("entry", { { "producer", black }, { "in", range }, { "out", lastFrame } });
        xml.close("playlist");
        writeTrack(QStringLiteral("playlist0"), false);
        xml.open("tractor",
            { { "id", QStringLiteral("tractor0") }, { "title", file.name }, { "in", range },
                { "out", lastFrame } });
        writeProperty(xml, "shotcut", QStringLiteral("1"));
        writeProperty(xml, "shotcut:projectAudioChannels", QStringLiteral("2"));
        writeProperty(xml, "shotcut:projectFolder", QStringLiteral("0"));
        xml.empty("track", { { "producer", QStringLiteral("background") } });
        xml.empty("track", { { "producer", QStringLiteral("playlist0") } });
        xml.open("transition", { { "id", QStringLiteral("transition0") } });
        writeProperty(xml, "a_track", QStringLiteral("0"));
        writeProperty(xml, "b_track", QStringLiteral("1"));
        writeProperty(xml, "mlt_service", QStringLiteral("mix"));
        writeProperty(xml, "always_active", QStringLiteral("1"));
        writeProperty(xml, "sum", QStringLiteral("1"));
        xml.close("transition");
        xml.open("transition", { { "id", QStringLiteral("transition1") } });
        writeProperty(xml, "a_track", QStringLiteral("0"));
        writeProperty(xml, "b_track", QStringLiteral("1"));
        writeProperty(xml, "version", QStringLiteral("0.1"));
        writeProperty(xml, "mlt_service", QStringLiteral("frei0r.cairoblend"));
        writeProperty(xml, "threads", QStringLiteral("0"));
        writeProperty(xml, "disable", QStringLiteral("1"));
        xml.close("transition");
        xml.close("tractor");
    }
    xml.raw("</mlt>\n");
    if (!xml.isValid())
        throw Failure(QStringLiteral("Не могу записать MLT файл \"%1\": недопустимый символ").arg(file.name));
    return xml.text().toUtf8();
}

} // namespace lintaro
