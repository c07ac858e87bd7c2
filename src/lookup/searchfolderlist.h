#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

namespace lintaro {

// The folders the bracket search visits, in order. Never empty: a list without
// entries is one empty row, and that empty text is searched like any other.
class SearchFolderList
{
public:
    static constexpr const char *FileName = "Folders.cfg";

    SearchFolderList() : m_rows(1) {}

    int rowCount() const { return int(m_rows.size()); }
    const QString &text(int row) const { return m_rows.at(row); }
    const QStringList &texts() const { return m_rows; }
    void setText(int row, const QString &text) { m_rows[row] = text; }
    void appendRow(const QString &text) { m_rows.append(text); }

    // Rows below move up; the last row goes, unless it is the only one, which is emptied.
    void removeRow(int row);

    // Applies the lines of a file: as many rows as lines (at least one), each
    // non-empty line trimmed into its row; an empty line leaves its row as it was.
    void applyLines(const QStringList &lines);
    void applyFileBytes(QByteArrayView bytes);

    // The file's bytes: every non-empty row unchanged, each ended by CR LF.
    // Throws Failure when a row cannot be stored.
    QByteArray fileBytes() const;

    // Why a text cannot be stored in the file, or empty when it can.
    static QString refusal(QStringView text);

private:
    QStringList m_rows;
};

} // namespace lintaro
