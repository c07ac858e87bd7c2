#include "psqwriter.h"

#include "common/cp1251.h"
#include "common/failure.h"
#include "common/textfile.h"

namespace lintaro {

namespace {

const QString kLineEnd = QStringLiteral("\r\n");

QString joined(const QStringList &lines)
{
    return lines.join(kLineEnd);
}

} // namespace

void PsqWriter::appendClip(const MediaFacts &facts, const QString &clipPath)
{
    const int clip = ++m_clipCount;
    m_sqid.append(sqidEntry(clip));
    m_clip.append(clipEntry(clip, facts));
    m_clpa.append(clpaEntry(clip));
    m_file.append(fileEntry(clip, facts, clipPath));
    m_paths.append(clipPath);
}

QStringList PsqWriter::entries() const
{
    QStringList all;
    all.reserve(1 + 4 * m_clipCount);
    all.append(headEntry());
    all += m_sqid;
    all += m_clip;
    all += m_clpa;
    all += m_file;
    return all;
}

QStringList PsqWriter::lines() const
{
    QStringList all;
    for (const QString &entry : entries())
        all += entry.split(kLineEnd);
    return all;
}

QByteArray PsqWriter::toBytes() const
{
    // Named by the path, not by the whole file text.
    for (const QString &path : m_paths) {
        if (const QString problem = pathProblem(path); !problem.isEmpty())
            throw Failure(problem);
    }
    return textfile::encodeLines(entries());
}

void PsqWriter::writeFile(const QString &path) const
{
    textfile::writeAtomically(path, toBytes());
}

QByteArray PsqWriter::render(const SequenceFile &file) const
{
    PsqWriter writer;
    for (const SequenceClip &clip : file.clips)
        writer.appendClip(clip.facts, clip.path);
    return writer.toBytes();
}

QString PsqWriter::pathProblem(const QString &path) const
{
    return cp1251::canEncode(path) ? QString() : cp1251::unencodableMessage(path);
}

QString PsqWriter::escapePath(const QString &path)
{
    QString escaped = path;
    escaped.replace(u'\\', QStringLiteral("\\\\"));
    return escaped;
}

QString PsqWriter::headEntry()
{
    return joined({
        QStringLiteral("[HEAD]"),
        QStringLiteral("signature=Rand"),
        QStringLiteral("version=5"),
        QStringLiteral("dirOffset=16"),
        QStringLiteral("platform=PWIN"),
    });
}

QString PsqWriter::sqidEntry(int clip)
{
    return joined({QStringLiteral("[SQID]"), QStringLiteral("ID=%1").arg(clip)});
}

QString PsqWriter::clipEntry(int clip, const MediaFacts &facts)
{
    const TimeBase base = timeBase(facts);
    return joined({
        QStringLiteral("[CLIP]"),
        QStringLiteral("magicS=0"),
        QStringLiteral("parentID=0"),
        QStringLiteral("childID=0"),
        QStringLiteral("sib.prevID=0"),
        QStringLiteral("sib.nextID=0"),
        QStringLiteral("clipID=%1").arg(clip),
        QStringLiteral("fileID=%1").arg(clip),
        QStringLiteral("users=1"),
        QStringLiteral("pubChildren=0"),
        QStringLiteral("backwards=0"),
        QStringLiteral("revision=1"),
        QStringLiteral("revcount=1"),
        QStringLiteral("rate=100.000000"),
        QStringLiteral("markers=0,%1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1").arg(base.marker),
        QStringLiteral("markIn=-1"),
        QStringLiteral("markOut=-1"),
        QStringLiteral("tdb.value=%1").arg(base.value),
        QStringLiteral("tdb.scale=%1").arg(base.scale),
        QStringLiteral("tdb.samp=%1").arg(base.sample),
        QStringLiteral("links.prevID=0"),
        QStringLiteral("links.nextID=0"),
        QStringLiteral("lockaspect=0"),
        QStringLiteral("data="),
        QStringLiteral("mediaType=%1").arg(facts.mediaType),
        QStringLiteral("title="),
        QStringLiteral("aspectcolor=0"),
        QStringLiteral("markcount=0"),
        QStringLiteral("moremarkers=0"),
        QStringLiteral("fileH=489"),
        QStringLiteral("magicE=0"),
    });
}

QString PsqWriter::clpaEntry(int clip)
{
    return joined({QStringLiteral("[CLPA]"), QStringLiteral("clipID=%1").arg(clip),
                   QStringLiteral("aspectcolor=0")});
}

QString PsqWriter::fileEntry(int clip, const MediaFacts &facts, const QString &clipPath)
{
    return joined({
        QStringLiteral("[FILE]"),
        QStringLiteral("fileID=%1").arg(clip),
        QStringLiteral("param=0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0"),
        QStringLiteral("filetype=1096173910"),
        QStringLiteral("vname=0"),
        QStringLiteral("fname=0"),
        QStringLiteral("isframestore=0"),
        QStringLiteral("prefLength=0"),
        QStringLiteral("mediaType=%1").arg(facts.mediaType),
        QStringLiteral("prefHandle="),
        QStringLiteral("title="),
        QStringLiteral("[FNAM]"),
        QStringLiteral("fname=") + escapePath(clipPath),
        QStringLiteral("[PRID]"),
        QStringLiteral("fileID=%1").arg(clip),
    });
}

} // namespace lintaro
