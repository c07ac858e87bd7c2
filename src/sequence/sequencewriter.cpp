#include "sequencewriter.h"

#include "editrate.h"
#include "edlwriter.h"
#include "fcpxmlwriter.h"
#include "mltwriter.h"
#include "psqwriter.h"

#include <QRegularExpression>

namespace lintaro {

SequenceClip sequenceClip(const MediaFacts &facts, const QString &path)
{
    SequenceClip clip{facts, path};
    // timecodeFrame() checks the text against the clip's rate.
    if (!timecodeFrame(facts))
        return clip;
    const QStringList fields = facts.startTimecode.split(QRegularExpression(QStringLiteral("[:;.,]")));
    clip.sourceInFrame = timecodeFrames(fields[0].toInt(), fields[1].toInt(), fields[2].toInt(), fields[3].toInt(),
                                        EditRate::of(facts));
    return clip;
}

qint64 timelineLength(const MediaFacts &facts, const EditRate &timeline)
{
    return convertFrames(facts.frameCount, EditRate::of(facts), timeline);
}

const QList<SequenceFormatInfo> &sequenceFormats()
{
    static const QList<SequenceFormatInfo> formats = {
        { SequenceFormat::Psq, QStringLiteral("psq"), QStringLiteral(".psq"), QStringLiteral("*.psq|*.psq"),
            QStringLiteral("PSQ") },
        { SequenceFormat::FcpXml, QStringLiteral("xml"), QStringLiteral(".xml"),
            QStringLiteral("Final Cut Pro XML (*.xml)|*.xml"), QStringLiteral("Final Cut Pro XML") },
        { SequenceFormat::Edl, QStringLiteral("edl"), QStringLiteral(".edl"),
            QStringLiteral("EDL CMX 3600 (*.edl)|*.edl"), QStringLiteral("EDL CMX 3600") },
        { SequenceFormat::Mlt, QStringLiteral("mlt"), QStringLiteral(".mlt"),
            QStringLiteral("MLT (*.mlt)|*.mlt"), QStringLiteral("MLT") },
        { SequenceFormat::Kdenlive, QStringLiteral("kdenlive"), QStringLiteral(".kdenlive"),
            QStringLiteral("Kdenlive (*.kdenlive)|*.kdenlive"), QStringLiteral("Kdenlive") },
    };
    return formats;
}

const SequenceFormatInfo &formatInfo(SequenceFormat format)
{
    for (const SequenceFormatInfo &info : sequenceFormats()) {
        if (info.format == format)
            return info;
    }
    return sequenceFormats().constFirst();
}

std::optional<SequenceFormat> formatFromKey(const QString &key)
{
    for (const SequenceFormatInfo &info : sequenceFormats()) {
        if (info.key == key)
            return info.format;
    }
    return std::nullopt;
}

std::unique_ptr<SequenceWriter> makeSequenceWriter(SequenceFormat format)
{
    switch (format) {
    case SequenceFormat::Psq:
        return std::make_unique<PsqWriter>();
    case SequenceFormat::FcpXml:
        return std::make_unique<FcpXmlWriter>();
    case SequenceFormat::Edl:
        return std::make_unique<EdlWriter>();
    case SequenceFormat::Mlt:
        return std::make_unique<MltWriter>(MltWriter::Editor::Shotcut);
    case SequenceFormat::Kdenlive:
        return std::make_unique<MltWriter>(MltWriter::Editor::Kdenlive);
    }
    return std::make_unique<PsqWriter>();
}

bool isWindowsPath(const QString &path)
{
    const bool drive = path.size() >= 2 && path[1] == u':' && path[0].isLetter() && path[0].unicode() < 128;
    return drive || path.startsWith(QStringLiteral("\\\\"));
}

QString clipFileName(const QString &path)
{
    qsizetype cut = path.lastIndexOf(u'/');
    if (isWindowsPath(path))
        cut = std::max(cut, path.lastIndexOf(u'\\'));
    return path.mid(cut + 1);
}

} // namespace lintaro
