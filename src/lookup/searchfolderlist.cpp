#include "searchfolderlist.h"

#include "common/cp1251.h"
#include "common/failure.h"
#include "common/textfile.h"
#include "lookup/entrycheck.h"

namespace lintaro {

void SearchFolderList::removeRow(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    if (rowCount() > 1)
        m_rows.removeAt(row);
    else
        m_rows[0].clear();
}

void SearchFolderList::applyLines(const QStringList &lines)
{
    m_rows.resize(qMax<qsizetype>(lines.size(), 1));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!lines[i].isEmpty())
            m_rows[i] = textfile::trimmedControl(lines[i]).toString();
    }
}

void SearchFolderList::applyFileBytes(QByteArrayView bytes)
{
    // Windows-1251 only, no byte-order mark: a saved first line that happens
    // to start with the mark's bytes ("пїї") must read back as it was written.
    applyLines(textfile::splitLines(cp1251::decode(textfile::untilNul(bytes))));
}

QByteArray SearchFolderList::fileBytes() const
{
    QStringList lines;
    for (const QString &row : m_rows) {
        if (row.isEmpty())
            continue;
        if (const QString why = refusal(row); !why.isEmpty())
            throw Failure(why);
        lines.append(row);
    }
    return textfile::encodeLines(lines);
}

QString SearchFolderList::refusal(QStringView text)
{
    return entrycheck::lineRefusal(text);
}

} // namespace lintaro
