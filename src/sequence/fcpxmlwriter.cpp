#include "fcpxmlwriter.h"

#include "editrate.h"
#include "xmltext.h"

#include "common/failure.h"

#include <QHash>
#include <QSet>

namespace lintaro {

namespace {

struct Placement
{
    qint64 start = 0; // on the timeline, in sequence frames
    qint64 end = 0;
    int fileIndex = 0;
    int channels = 0; // audio items, one per channel; 0 without sound
    int firstItem = 0; // clipitem id of the video item; the audio items follow
    int videoIndex = 0; // position in the video track
    int audioIndex = 0; // position in each of its audio tracks
};

// The rate as the file writes it: a whole timebase, so 12.5 becomes 25.
EditRate xmlRate(const MediaFacts &facts)
{
    return EditRate::of(facts).wholeMultiple();
}

qint64 xmlFrames(qint64 frames, const MediaFacts &facts)
{
    return frames * EditRate::of(facts).wholeFactor();
}

int channelsOf(const MediaFacts &facts)
{
    if (facts.mediaType != 3)
        return 0;
    return facts.audioChannels > 0 ? facts.audioChannels : 2;
}

QString number(qint64 value)
{
    return QString::number(value);
}

void writeRate(XmlText &xml, const EditRate &rate)
{
    xml.open("rate");
    xml.element("timebase", number(rate.timebase()));
    xml.raw(rate.isNtsc() ? "<ntsc>TRUE</ntsc>" : "<ntsc>FALSE</ntsc>");
    xml.close("rate");
}

void writeTimecode(XmlText &xml, const EditRate &rate, qint64 frame)
{
    xml.open("timecode");
    writeRate(xml, rate);
    xml.element("string", timecode(frame, rate));
    xml.element("frame", number(frame));
    xml.raw(rate.isDropFrame() ? "<displayformat>DF</displayformat>" : "<displayformat>NDF</displayformat>");
    xml.close("timecode");
}

void writePicture(XmlText &xml, const MediaFacts &facts)
{
    bool anamorphic = false;
    const QString aspect = FcpXmlWriter::pixelAspect(facts, &anamorphic);
    xml.open("samplecharacteristics");
    writeRate(xml, xmlRate(facts));
    xml.element("width", number(facts.width > 0 ? facts.width : 1920));
    xml.element("height", number(facts.height > 0 ? facts.height : 1080));
    xml.raw(anamorphic ? "<anamorphic>TRUE</anamorphic>" : "<anamorphic>FALSE</anamorphic>");
    xml.element("pixelaspectratio", aspect);
    xml.raw("<fielddominance>none</fielddominance>");
    xml.close("samplecharacteristics");
}

void writeSound(XmlText &xml, const MediaFacts &facts)
{
    xml.open("samplecharacteristics");
    xml.element("depth", number(facts.bitDepth > 0 ? facts.bitDepth : 16));
    xml.element("samplerate", number(facts.sampleRate > 0 ? facts.sampleRate : 48000));
    xml.close("samplecharacteristics");
}

QString itemId(int n)
{
    return QStringLiteral("clipitem-") + number(n);
}

void writeLink(XmlText &xml, int item, bool audio, int track, int clipIndex)
{
    xml.open("link");
    xml.element("linkclipref", itemId(item));
    xml.raw(audio ? "<mediatype>audio</mediatype>" : "<mediatype>video</mediatype>");
    xml.element("trackindex", number(track));
    xml.element("clipindex", number(clipIndex));
    xml.close("link");
}

} // namespace

QString FcpXmlWriter::pathUrl(const QString &path)
{
    QString slashed = path;
    if (isWindowsPath(path))
        slashed.replace(u'\\', u'/');
    const QByteArray encoded = slashed.toUtf8().toPercentEncoding(QByteArrayLiteral("/:"));
    if (slashed.startsWith(QStringLiteral("//")))
        return QStringLiteral("file:") + QString::fromLatin1(encoded); // file://server/share/...
    if (!slashed.startsWith(u'/'))
        return QStringLiteral("file://localhost/") + QString::fromLatin1(encoded);
    return QStringLiteral("file://localhost") + QString::fromLatin1(encoded);
}

QString FcpXmlWriter::pixelAspect(const MediaFacts &facts, bool *anamorphic)
{
    struct Picture
    {
        qint32 width, height, sarNum, sarDen;
        bool anamorphic;
        const char *name;
    };
    static const Picture kPictures[] = {
        { 720, 576, 16, 15, false, "PAL-601" },
        { 720, 576, 64, 45, true, "PAL-601" },
        { 720, 480, 8, 9, false, "NTSC-601" },
        { 720, 486, 8, 9, false, "NTSC-601" },
        { 720, 480, 10, 11, false, "NTSC-601" },
        { 720, 486, 10, 11, false, "NTSC-601" },
        { 720, 480, 32, 27, true, "NTSC-601" },
        { 720, 486, 32, 27, true, "NTSC-601" },
        { 720, 480, 40, 33, true, "NTSC-601" },
        { 720, 486, 40, 33, true, "NTSC-601" },
        { 1440, 1080, 4, 3, false, "HD-(1440x1080)" },
        { 1280, 1080, 3, 2, false, "HD-(1280x1080)" },
        { 960, 720, 4, 3, false, "HD-(960x720)" },
    };
    for (const Picture &picture : kPictures) {
        if (facts.width == picture.width && facts.height == picture.height && facts.sarDen > 0
            && qint64(facts.sarNum) * picture.sarDen == qint64(picture.sarNum) * facts.sarDen) {
            if (anamorphic)
                *anamorphic = picture.anamorphic;
            return QString::fromLatin1(picture.name);
        }
    }
    if (anamorphic)
        *anamorphic = false;
    return QStringLiteral("square");
}

QByteArray FcpXmlWriter::render(const SequenceFile &file) const
{
    const MediaFacts firstFacts
        = file.clips.isEmpty() ? MediaFacts { 0, 1, 25, 1 } : file.clips.constFirst().facts;
    const EditRate sequenceRate = timelineRate(EditRate::of(firstFacts));

    // Where each row lands, and which rows bring a new file element.
    QList<Placement> placements;
    QHash<QString, int> fileOfPath;
    qint64 position = 0;
    int items = 0;
    int audioTracks = 0;
    int audioClips = 0;
    for (qsizetype row = 0; row < file.clips.size(); ++row) {
        const SequenceClip &clip = file.clips[row];
        Placement placement;
        placement.start = position;
        position += timelineLength(clip.facts, sequenceRate);
        placement.end = position;
        placement.fileIndex = fileOfPath.value(clip.path, int(fileOfPath.size()) + 1);
        fileOfPath.insert(clip.path, placement.fileIndex);
        placement.channels = channelsOf(clip.facts);
        placement.firstItem = items + 1;
        items += 1 + placement.channels;
        placement.videoIndex = int(row) + 1;
        if (placement.channels > 0)
            placement.audioIndex = ++audioClips;
        audioTracks = std::max(audioTracks, placement.channels);
        placements.append(placement);
    }
    // An audio track holds the items of every clip with at least that many
    // channels, so a clip's place differs from track to track.
    QList<QList<int>> trackIndex(audioTracks + 1);
    for (int track = 1; track <= audioTracks; ++track) {
        int n = 0;
        for (const Placement &placement : std::as_const(placements))
            trackIndex[track].append(placement.channels >= track ? ++n : 0);
    }

    XmlText xml;
    xml.raw("<!DOCTYPE xmeml>\n<xmeml version=\"5\">");
    xml.open("sequence", { { "id", QStringLiteral("sequence-1") } });
    xml.element("name", file.name);
    xml.element("duration", number(position));
    writeRate(xml, sequenceRate);
    writeTimecode(xml, sequenceRate, 0);
    xml.open("media");

    QSet<int> filesWritten;
    const auto writeItem = [&](qsizetype row, int channel) {
        const SequenceClip &clip = file.clips[row];
        const Placement &placement = placements[row];
        const QString name = clipFileName(clip.path);
        const QString length = number(xmlFrames(clip.facts.frameCount, clip.facts));
        xml.open("clipitem", { { "id", itemId(placement.firstItem + channel) } });
        xml.element("name", name);
        xml.raw("<enabled>TRUE</enabled>");
        xml.element("duration", length);
        writeRate(xml, xmlRate(clip.facts));
        xml.element("start", number(placement.start));
        xml.element("end", number(placement.end));
        xml.raw("<in>0</in>");
        xml.element("out", length);

        const QString fileId = QStringLiteral("file-") + number(placement.fileIndex);
        if (filesWritten.contains(placement.fileIndex)) {
            xml.empty("file", { { "id", fileId } });
        } else {
            filesWritten.insert(placement.fileIndex);
            xml.open("file", { { "id", fileId } });
            xml.element("name", name);
            xml.element("pathurl", pathUrl(clip.path));
            writeRate(xml, xmlRate(clip.facts));
            xml.element("duration", length);
            writeTimecode(xml, xmlRate(clip.facts), xmlFrames(clip.sourceInFrame, clip.facts));
            xml.open("media");
            xml.open("video");
            xml.element("duration", length);
            writePicture(xml, clip.facts);
            xml.close("video");
            if (placement.channels > 0) {
                xml.open("audio");
                writeSound(xml, clip.facts);
                xml.element("channelcount", number(placement.channels));
                xml.close("audio");
            }
            xml.close("media");
            xml.close("file");
        }

        xml.open("sourcetrack");
        xml.raw(channel == 0 ? "<mediatype>video</mediatype>" : "<mediatype>audio</mediatype>");
        xml.element("trackindex", number(std::max(channel, 1)));
        xml.close("sourcetrack");
        if (placement.channels > 0) {
            writeLink(xml, placement.firstItem, false, 1, placement.videoIndex);
            for (int c = 1; c <= placement.channels; ++c)
                writeLink(xml, placement.firstItem + c, true, c, trackIndex[c][row]);
        }
        xml.close("clipitem");
    };
    const char *const trackEnd = "<enabled>TRUE</enabled><locked>FALSE</locked>";

    xml.open("video");
    xml.open("format");
    writePicture(xml, firstFacts);
    xml.close("format");
    xml.open("track");
    for (qsizetype row = 0; row < file.clips.size(); ++row)
        writeItem(row, 0);
    xml.raw(trackEnd);
    xml.close("track");
    xml.close("video");

    xml.open("audio");
    xml.raw("<numOutputChannels>2</numOutputChannels>");
    xml.open("format");
    writeSound(xml, firstFacts);
    xml.close("format");
    for (int track = 1; track <= audioTracks; ++track) {
        xml.open("track");
        for (qsizetype row = 0; row < file.clips.size(); ++row) {
            if (placements[row].channels >= track)
                writeItem(row, track);
        }
        xml.raw(trackEnd);
        xml.element("outputchannelindex", number((track - 1) % 2 + 1));
        xml.close("track");
    }
    xml.close("audio");

    xml.close("media");
    xml.close("sequence");
    xml.raw("</xmeml>\n");
    if (!xml.isValid())
        throw Failure(QStringLiteral("Не могу записать XML файл \"%1\": недопустимый символ").arg(file.name));
    // The declaration names UTF-8, which the bytes are.
    return xml.text().toUtf8();
}

} // namespace lintaro
