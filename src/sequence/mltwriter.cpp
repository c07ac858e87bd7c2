#include "mltwriter.h"

#include "common/failure.h"
#include "editrate.h"

#include <QHash>
#include <QXmlStreamWriter>

namespace lintaro {

namespace {

void writeProperty(QXmlStreamWriter &xml, const QString &name, const QString &value)
{
    xml.writeStartElement(QStringLiteral("property"));
    xml.writeAttribute(QStringLiteral("name"), name);
    xml.writeCharacters(value);
    xml.writeEndElement();
}

} // namespace

QByteArray MltWriter::render(const SequenceFile &file) const
{
    const EditRate rate = file.clips.isEmpty() ? EditRate() : EditRate::of(file.clips.constFirst().facts);

    // Written as text and encoded once: far quicker than through a device.
    QString text;
    QXmlStreamWriter xml(&text);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("mlt"));
    xml.writeAttribute(QStringLiteral("LC_NUMERIC"), QStringLiteral("C"));
    xml.writeAttribute(QStringLiteral("title"), file.name);
    xml.writeAttribute(QStringLiteral("producer"), QStringLiteral("tractor0"));

    xml.writeEmptyElement(QStringLiteral("profile"));
    xml.writeAttribute(QStringLiteral("description"),
        QStringLiteral("%1x%2 %3 fps").arg(kWidth).arg(kHeight).arg(double(rate.hundredths()) / 100));
    xml.writeAttribute(QStringLiteral("width"), QString::number(kWidth));
    xml.writeAttribute(QStringLiteral("height"), QString::number(kHeight));
    xml.writeAttribute(QStringLiteral("progressive"), QStringLiteral("1"));
    xml.writeAttribute(QStringLiteral("sample_aspect_num"), QStringLiteral("1"));
    xml.writeAttribute(QStringLiteral("sample_aspect_den"), QStringLiteral("1"));
    xml.writeAttribute(QStringLiteral("display_aspect_num"), QStringLiteral("16"));
    xml.writeAttribute(QStringLiteral("display_aspect_den"), QStringLiteral("9"));
    xml.writeAttribute(QStringLiteral("frame_rate_num"), QString::number(rate.numerator()));
    xml.writeAttribute(QStringLiteral("frame_rate_den"), QString::number(rate.denominator()));
    xml.writeAttribute(QStringLiteral("colorspace"), QStringLiteral("709"));

    // Lengths in profile frames, one producer per distinct path.
    QList<qint64> lengths;
    QList<int> producerOf;
    QHash<QString, int> producerOfPath;
    QList<qsizetype> producerRows;
    for (qsizetype row = 0; row < file.clips.size(); ++row) {
        const SequenceClip &clip = file.clips[row];
        lengths.append(convertFrames(clip.facts.frameCount, EditRate::of(clip.facts), rate));
        auto found = producerOfPath.constFind(clip.path);
        if (found == producerOfPath.constEnd()) {
            found = producerOfPath.insert(clip.path, int(producerRows.size()));
            producerRows.append(row);
        }
        producerOf.append(*found);
    }
    // A producer is as long as its longest row.
    QList<qint64> producerLengths(producerRows.size(), 0);
    for (qsizetype row = 0; row < file.clips.size(); ++row)
        producerLengths[producerOf[row]] = std::max(producerLengths[producerOf[row]], lengths[row]);

    for (qsizetype p = 0; p < producerRows.size(); ++p) {
        const SequenceClip &clip = file.clips[producerRows[p]];
        xml.writeStartElement(QStringLiteral("producer"));
        xml.writeAttribute(QStringLiteral("id"), QStringLiteral("producer%1").arg(p));
        xml.writeAttribute(QStringLiteral("in"), QStringLiteral("0"));
        xml.writeAttribute(
            QStringLiteral("out"), QString::number(std::max<qint64>(producerLengths[p] - 1, 0)));
        writeProperty(xml, QStringLiteral("length"), QString::number(producerLengths[p]));
        writeProperty(xml, QStringLiteral("eof"), QStringLiteral("pause"));
        writeProperty(xml, QStringLiteral("resource"), clip.path);
        writeProperty(xml, QStringLiteral("mlt_service"), QStringLiteral("avformat"));
        xml.writeEndElement();
    }

    qint64 total = 0;
    xml.writeStartElement(QStringLiteral("playlist"));
    xml.writeAttribute(QStringLiteral("id"), QStringLiteral("playlist0"));
    for (qsizetype row = 0; row < file.clips.size(); ++row) {
        // An empty clip has no frame to play.
        if (lengths[row] == 0)
            continue;
        xml.writeEmptyElement(QStringLiteral("entry"));
        xml.writeAttribute(QStringLiteral("producer"), QStringLiteral("producer%1").arg(producerOf[row]));
        xml.writeAttribute(QStringLiteral("in"), QStringLiteral("0"));
        xml.writeAttribute(QStringLiteral("out"), QString::number(lengths[row] - 1));
        total += lengths[row];
    }
    xml.writeEndElement(); // playlist

    xml.writeStartElement(QStringLiteral("tractor"));
    xml.writeAttribute(QStringLiteral("id"), QStringLiteral("tractor0"));
    xml.writeAttribute(QStringLiteral("in"), QStringLiteral("0"));
    xml.writeAttribute(QStringLiteral("out"), QString::number(std::max<qint64>(total - 1, 0)));
    writeProperty(xml, QStringLiteral("title"), file.name);
    xml.writeEmptyElement(QStringLiteral("track"));
    xml.writeAttribute(QStringLiteral("producer"), QStringLiteral("playlist0"));
    xml.writeEndElement(); // tractor

    xml.writeEndElement(); // mlt
    xml.writeEndDocument();
    if (xml.hasError())
        throw Failure(QStringLiteral("Не могу записать MLT файл \"%1\": недопустимый символ").arg(file.name));
    // The declaration names UTF-8, which the bytes are.
    return text.toUtf8();
}

} // namespace lintaro
