#include "edlwriter.h"

#include "editrate.h"

#include <QStringList>

namespace lintaro {

namespace {

// A line break inside a value would start a new line of the list.
QString oneLine(QString text)
{
    for (QChar &ch : text) {
        if (ch == u'\r' || ch == u'\n')
            ch = u' ';
    }
    return text;
}

} // namespace

QByteArray EdlWriter::render(const SequenceFile &file) const
{
    const EditRate sequenceRate
        = file.clips.isEmpty() ? EditRate() : EditRate::of(file.clips.constFirst().facts);
    QStringList lines;
    lines.append(QStringLiteral("TITLE: ") + oneLine(file.name));
    lines.append(sequenceRate.isDropFrame() ? QStringLiteral("FCM: DROP FRAME")
                                            : QStringLiteral("FCM: NON-DROP FRAME"));
    lines.append(QString());

    qint64 record = timecodeFrames(1, 0, 0, 0, sequenceRate);
    int event = 0;
    for (const SequenceClip &clip : file.clips) {
        const EditRate clipRate = EditRate::of(clip.facts);
        const qint64 length = clip.facts.frameCount;
        const qint64 recordLength = convertFrames(length, clipRate, sequenceRate);
        const QString track = clip.facts.mediaType == 3 ? QStringLiteral("B") : QStringLiteral("V");
        lines.append(
            QStringLiteral("%1  %2 %3 %4 %5 %6 %7 %8")
                .arg(++event, 3, 10, QLatin1Char('0'))
                .arg(QStringLiteral("AX"), -8)
                .arg(track, -5)
                .arg(QStringLiteral("C"), -8)
                .arg(timecode(clip.sourceInFrame, clipRate), timecode(clip.sourceInFrame + length, clipRate),
                    timecode(record, sequenceRate), timecode(record + recordLength, sequenceRate)));
        lines.append(QStringLiteral("* FROM CLIP NAME: ") + oneLine(clipFileName(clip.path)));
        lines.append(QStringLiteral("* SOURCE FILE: ") + oneLine(clip.path));
        record += recordLength;
    }

    QByteArray bytes;
    for (const QString &line : lines)
        bytes += line.toUtf8() + "\r\n";
    return bytes;
}

} // namespace lintaro
