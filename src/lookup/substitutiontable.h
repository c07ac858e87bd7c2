#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace lintaro {

struct Substitution
{
    QString name; // the schedule name
    QString path; // the clip file
    bool operator==(const Substitution &) const = default;
};

// Schedule names mapped to clip files, in order; the first row with a name
// decides. Never empty: a table without entries is one row with two empty texts.
class SubstitutionTable
{
public:
    static constexpr const char *FileName = "Subst.cfg";
    // The reload keeps at most this many characters after the ";", the blank of " ; " included.
    static constexpr int PathFieldLength = 300;
    static constexpr int MaxPathLength = PathFieldLength - 1;

    SubstitutionTable() : m_rows(1) {}

    int rowCount() const { return int(m_rows.size()); }
    const Substitution &row(int row) const { return m_rows.at(row); }
    const QList<Substitution> &rows() const { return m_rows; }
    void setName(int row, const QString &name);
    void setPath(int row, const QString &path) { m_rows[row].path = path; }
    void appendRow(const Substitution &pair = {});

    // Rows below move up; the last row goes, unless it is the only one, which is emptied.
    void removeRow(int row);

    // The first row whose name equals name exactly, or -1. Constant time: a
    // table kept for years holds many thousands of pairs, and every row of a
    // schedule asks.
    int find(QStringView name) const;

    // Applies the lines of a file: as many rows as lines (at least one); a line
    // holding ";" fills its row, any other line leaves its row as it was.
    void applyLines(const QStringList &lines);
    void applyFileBytes(QByteArrayView bytes);

    // One line "name ; path" per row that has any text, each ended by CR LF.
    // Throws Failure when a row cannot be stored.
    QByteArray fileBytes() const;

    // Why a name or a path cannot be stored in the file, or empty when it can.
    static QString nameRefusal(QStringView name);
    static QString pathRefusal(QStringView path);

private:
    // Each name's first row, built at the first find after an edit that can
    // move first rows; an appended row only joins it.
    mutable QHash<QString, int> m_firstRow;
    mutable bool m_indexed = false;
    QList<Substitution> m_rows;
};

} // namespace lintaro
