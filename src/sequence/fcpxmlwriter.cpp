#include "fcpxmlwriter.h"

#include "editrate.h"

#include "common/failure.h"

#include <QHash>
#include <QSet>
#include <QXmlStreamWriter>

namespace lintaro {

namespace {

struct Placement
{
    qint64 start = 0; // on the timeline, in sequence frames
    qint64 end = 0;
    int fileIndex = 0;
    int videoItem = 0; // clipitem ids
    int audioItem = 0; // 0: no sound
    int audioIndex = 0; // position in the audio track
};

void writeRate(QXmlStreamWriter &xml, const EditRate &rate)
{
    xml.writeStartElement(QStringLiteral("rate"));
    xml.writeTextElement(QStringLiteral("timebase"), QString::number(rate.timebase()));
    xml.writeTextElement(
        QStringLiteral("ntsc"), rate.isNtsc() ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
    xml.writeEndElement();
}

void writeTimecode(QXmlStreamWriter &xml, const EditRate &rate, qint64 frame)
{
    xml.writeStartElement(QStringLiteral("timecode"));
    writeRate(xml, rate);
    xml.writeTextElement(QStringLiteral("string"), timecode(frame, rate));
    xml.writeTextElement(QStringLiteral("frame"), QString::number(frame));
    xml.writeTextElement(
        QStringLiteral("displayformat"), rate.isDropFrame() ? QStringLiteral("DF") : QStringLiteral("NDF"));
    xml.writeEndElement();
}

QString itemId(int n)
{
    return QStringLiteral("clipitem-%1").arg(n);
}

QString fileId(int n)
{
    return QStringLiteral("file-%1").arg(n);
}

void writeLink(QXmlStreamWriter &xml, int item, const QString &mediaType, int clipIndex)
{
    xml.writeStartElement(QStringLiteral("link"));
    xml.writeTextElement(QStringLiteral("linkclipref"), itemId(item));
    xml.writeTextElement(QStringLiteral("mediatype"), mediaType);
    xml.writeTextElement(QStringLiteral("trackindex"), QStringLiteral("1"));
    xml.writeTextElement(QStringLiteral("clipindex"), QString::number(clipIndex));
    xml.writeEndElement();
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

QByteArray FcpXmlWriter::render(const SequenceFile &file) const
{
    const EditRate sequenceRate
        = file.clips.isEmpty() ? EditRate() : EditRate::of(file.clips.constFirst().facts);

    // Where each row lands, and which rows bring a new file element.
    QList<Placement> placements;
    QHash<QString, int> fileOfPath;
    qint64 position = 0;
    int items = 0;
    int audioItems = 0;
    for (const SequenceClip &clip : file.clips) {
        Placement placement;
        placement.start = position;
        position += convertFrames(clip.facts.frameCount, EditRate::of(clip.facts), sequenceRate);
        placement.end = position;
        placement.fileIndex = int(fileOfPath.value(clip.path, int(fileOfPath.size()) + 1));
        fileOfPath.insert(clip.path, placement.fileIndex);
        placement.videoItem = ++items;
        placements.append(placement);
    }
    for (qsizetype i = 0; i < file.clips.size(); ++i) {
        if (file.clips[i].facts.mediaType == 3) {
            placements[i].audioItem = ++items;
            placements[i].audioIndex = ++audioItems;
        }
    }

    // Written as text and encoded once: far quicker than through a device.
    QString text;
    QXmlStreamWriter xml(&text);
    // No line breaks or indentation: the nesting is deep, and indenting it
    // costs several times the rest of the writing.
    xml.writeStartDocument();
    xml.writeDTD(QStringLiteral("<!DOCTYPE xmeml>"));
    xml.writeStartElement(QStringLiteral("xmeml"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("5"));
    xml.writeStartElement(QStringLiteral("sequence"));
    xml.writeAttribute(QStringLiteral("id"), QStringLiteral("sequence-1"));
    xml.writeTextElement(QStringLiteral("name"), file.name);
    xml.writeTextElement(QStringLiteral("duration"), QString::number(position));
    writeRate(xml, sequenceRate);
    writeTimecode(xml, sequenceRate, 0);
    xml.writeStartElement(QStringLiteral("media"));

    QSet<int> filesWritten;
    const auto writeItem = [&](qsizetype row, bool audio) {
        const SequenceClip &clip = file.clips[row];
        const Placement &placement = placements[row];
        const EditRate clipRate = EditRate::of(clip.facts);
        const QString name = clipFileName(clip.path);
        const QString length = QString::number(clip.facts.frameCount);
        xml.writeStartElement(QStringLiteral("clipitem"));
        xml.writeAttribute(QStringLiteral("id"), itemId(audio ? placement.audioItem : placement.videoItem));
        xml.writeTextElement(QStringLiteral("name"), name);
        xml.writeTextElement(QStringLiteral("enabled"), QStringLiteral("TRUE"));
        xml.writeTextElement(QStringLiteral("duration"), length);
        writeRate(xml, clipRate);
        xml.writeTextElement(QStringLiteral("start"), QString::number(placement.start));
        xml.writeTextElement(QStringLiteral("end"), QString::number(placement.end));
        xml.writeTextElement(QStringLiteral("in"), QStringLiteral("0"));
        xml.writeTextElement(QStringLiteral("out"), length);

        xml.writeStartElement(QStringLiteral("file"));
        xml.writeAttribute(QStringLiteral("id"), fileId(placement.fileIndex));
        if (!filesWritten.contains(placement.fileIndex)) {
            filesWritten.insert(placement.fileIndex);
            xml.writeTextElement(QStringLiteral("name"), name);
            xml.writeTextElement(QStringLiteral("pathurl"), pathUrl(clip.path));
            writeRate(xml, clipRate);
            xml.writeTextElement(QStringLiteral("duration"), length);
            writeTimecode(xml, clipRate, clip.sourceInFrame);
            xml.writeStartElement(QStringLiteral("media"));
            xml.writeStartElement(QStringLiteral("video"));
            xml.writeTextElement(QStringLiteral("duration"), length);
            xml.writeEndElement();
            if (clip.facts.mediaType == 3) {
                xml.writeStartElement(QStringLiteral("audio"));
                xml.writeTextElement(QStringLiteral("channelcount"), QStringLiteral("2"));
                xml.writeEndElement();
            }
            xml.writeEndElement(); // media
        }
        xml.writeEndElement(); // file

        xml.writeStartElement(QStringLiteral("sourcetrack"));
        xml.writeTextElement(
            QStringLiteral("mediatype"), audio ? QStringLiteral("audio") : QStringLiteral("video"));
        xml.writeTextElement(QStringLiteral("trackindex"), QStringLiteral("1"));
        xml.writeEndElement();
        if (placement.audioItem != 0) {
            writeLink(xml, placement.videoItem, QStringLiteral("video"), int(row) + 1);
            writeLink(xml, placement.audioItem, QStringLiteral("audio"), placement.audioIndex);
        }
        xml.writeEndElement(); // clipitem
    };

    xml.writeStartElement(QStringLiteral("video"));
    xml.writeStartElement(QStringLiteral("track"));
    for (qsizetype row = 0; row < file.clips.size(); ++row)
        writeItem(row, false);
    xml.writeEndElement(); // track
    xml.writeEndElement(); // video

    xml.writeStartElement(QStringLiteral("audio"));
    if (audioItems > 0) {
        xml.writeStartElement(QStringLiteral("track"));
        for (qsizetype row = 0; row < file.clips.size(); ++row) {
            if (placements[row].audioItem != 0)
                writeItem(row, true);
        }
        xml.writeEndElement(); // track
    }
    xml.writeEndElement(); // audio

    xml.writeEndElement(); // media
    xml.writeEndElement(); // sequence
    xml.writeEndElement(); // xmeml
    xml.writeEndDocument();
    if (xml.hasError())
        throw Failure(QStringLiteral("Не могу записать XML файл \"%1\": недопустимый символ").arg(file.name));
    // The declaration names UTF-8, which the bytes are.
    return text.toUtf8();
}

} // namespace lintaro
