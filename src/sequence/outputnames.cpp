#include "outputnames.h"

#include "sequencewriter.h"

#include <QSet>

namespace lintaro {

QString fileNameSafe(const QString &suffix)
{
    static const QString kForbidden = QStringLiteral("\\/:*?\"<>|");
    QString safe = suffix;
    for (QChar &ch : safe) {
        if (kForbidden.contains(ch))
            ch = u'_';
    }
    return safe;
}

QString namePrefix(const QString &chosen, bool separatorPresent, const QString &extension)
{
    // Only the file name is cut: a folder may hold "^" or ".psq" of its own.
    qsizetype folderEnd = chosen.lastIndexOf(u'/') + 1;
#ifndef Q_OS_WIN
    if (isWindowsPath(chosen))
#endif
        folderEnd = std::max(folderEnd, chosen.lastIndexOf(u'\\') + 1);
    QString prefix = chosen.mid(folderEnd);
    const qsizetype caret = prefix.indexOf(u'^');
    if (caret >= 0)
        prefix.truncate(caret);
    const qsizetype psq = prefix.indexOf(QStringLiteral(".psq"));
    if (psq >= 0)
        prefix.truncate(psq);
    const qsizetype own = prefix.indexOf(extension);
    if (own >= 0)
        prefix.truncate(own);
    if (separatorPresent)
        prefix += u'^';
    return chosen.left(folderEnd) + prefix;
}

QStringList outputFileNames(const QString &prefix, const QStringList &suffixes, const QString &extension)
{
    QStringList names;
    QSet<QString> taken;
    for (const QString &suffix : suffixes) {
        const QString base = prefix + suffix;
        QString name = base + extension;
        for (int n = 2; taken.contains(name.toCaseFolded()); ++n)
            name = base + QStringLiteral("~%1").arg(n) + extension;
        taken.insert(name.toCaseFolded());
        names.append(name);
    }
    return names;
}

} // namespace lintaro
