#include "outputnames.h"

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

QString namePrefix(const QString &chosen, bool separatorPresent)
{
    QString prefix = chosen;
    const qsizetype caret = prefix.indexOf(u'^');
    if (caret >= 0)
        prefix.truncate(caret);
    const qsizetype extension = prefix.indexOf(QStringLiteral(".psq"));
    if (extension >= 0)
        prefix.truncate(extension);
    if (separatorPresent)
        prefix += u'^';
    return prefix;
}

QStringList outputFileNames(const QString &prefix, const QStringList &suffixes)
{
    QStringList names;
    QSet<QString> taken;
    for (const QString &suffix : suffixes) {
        const QString base = prefix + suffix;
        QString name = base + QStringLiteral(".psq");
        for (int n = 2; taken.contains(name.toCaseFolded()); ++n)
            name = base + QStringLiteral("~%1.psq").arg(n);
        taken.insert(name.toCaseFolded());
        names.append(name);
    }
    return names;
}

} // namespace lintaro
