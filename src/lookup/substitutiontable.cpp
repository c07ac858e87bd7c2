#include "substitutiontable.h"

#include "common/cp1251.h"
#include "common/failure.h"
#include "common/textfile.h"
#include "lookup/entrycheck.h"

namespace lintaro {

void SubstitutionTable::setName(int row, const QString &name)
{
    m_rows[row].name = name;
    m_indexed = false;
}

void SubstitutionTable::appendRow(const Substitution &pair)
{
    m_rows.append(pair);
    if (m_indexed && !m_firstRow.contains(pair.name))
        m_firstRow.insert(pair.name, rowCount() - 1);
}

void SubstitutionTable::removeRow(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    m_indexed = false;
    if (rowCount() > 1)
        m_rows.removeAt(row);
    else
        m_rows[0] = {};
}

int SubstitutionTable::find(QStringView name) const
{
    if (!m_indexed) {
        m_firstRow.clear();
        m_firstRow.reserve(m_rows.size());
        for (int i = rowCount() - 1; i >= 0; --i)
            m_firstRow.insert(m_rows[i].name, i); // from the end: the first row has the last word
        m_indexed = true;
    }
    return m_firstRow.value(name.toString(), -1);
}

void SubstitutionTable::applyLines(const QStringList &lines)
{
    m_indexed = false;
    m_rows.resize(qMax<qsizetype>(lines.size(), 1));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QStringView line = lines[i];
        const qsizetype semicolon = line.indexOf(u';');
        if (semicolon < 0)
            continue;
        m_rows[i].name = textfile::trimmedControl(line.first(semicolon)).toString();
        m_rows[i].path = textfile::trimmedControl(line.sliced(semicolon + 1).left(PathFieldLength)).toString();
    }
}

void SubstitutionTable::applyFileBytes(QByteArrayView bytes)
{
    // Windows-1251 only, no byte-order mark: a saved first line that happens
    // to start with the mark's bytes ("пїї") must read back as it was written.
    applyLines(textfile::splitLines(cp1251::decode(textfile::untilNul(bytes))));
}

QByteArray SubstitutionTable::fileBytes() const
{
    QStringList lines;
    for (const Substitution &pair : m_rows) {
        if (pair.name.isEmpty() && pair.path.isEmpty())
            continue;
        // A path over the limit is refused where it enters; one read from a file
        // written elsewhere is kept as it is rather than blocking every save.
        QString why = nameRefusal(pair.name);
        if (why.isEmpty())
            why = entrycheck::lineRefusal(pair.path);
        if (!why.isEmpty())
            throw Failure(why);
        // A 300-character path (only a file written elsewhere has one) would lose its
        // last character to the blank of " ; " on the reload, so it goes without it.
        const QString separator = pair.path.size() > MaxPathLength ? QStringLiteral(" ;") : QStringLiteral(" ; ");
        lines.append(pair.name + separator + pair.path);
    }
    return textfile::encodeLines(lines);
}

QString SubstitutionTable::nameRefusal(QStringView name)
{
    if (name.contains(u';'))
        return QStringLiteral("Название \"%1\" содержит \";\": в файле Subst.cfg этот знак отделяет "
                              "название от имени файла, поэтому такое название сохранить нельзя")
            .arg(name);
    return entrycheck::lineRefusal(name);
}

QString SubstitutionTable::pathRefusal(QStringView path)
{
    if (path.size() > MaxPathLength)
        return QStringLiteral("Имя файла длиннее %1 символов (%2) нельзя сохранить в файле Subst.cfg:\n%3")
            .arg(QString::number(MaxPathLength), QString::number(path.size()), path);
    return entrycheck::lineRefusal(path);
}

} // namespace lintaro
