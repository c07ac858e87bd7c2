#include "odsworkbook.h"

#include "common/failure.h"
#include "numberformat.h"
#include "sheetgrid.h"
#include "xmlscanner.h"
#include "ziparchive.h"

#include <QSet>
#include <QXmlStreamReader>

#include <algorithm>

namespace lintaro {

namespace {

const QString kContent = QStringLiteral("content.xml");

// A repeat or span count, at least 1 and never past the sheet's edge.
template <class Xml> int count(const Xml &xml, QLatin1StringView name, int limit)
{
    bool ok = false;
    const qint64 value = toInteger(attribute(xml, name), &ok);
    return ok && value > 1 ? int(std::min<qint64>(value, limit)) : 1;
}

// The text of the element being read, to its end, appended to `text` where
// the cell's text began at `start`: paragraphs on lines of their own, spaces
// and breaks as written, notes left out.
template <class Xml>
void collectText(Xml &xml, QString &text, qsizetype start, qint64 budget, bool inParagraph = false)
{
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement())
            return;
        if (xml.isCharacters()) {
            if (inParagraph) // blanks between paragraphs are layout
                text += xml.text();
        } else if (xml.isStartElement()) {
            const auto name = xml.name();
            if (isNamed(name, "annotation") || isNamed(name, "note")) {
                xml.skipCurrentElement();
            } else if (isNamed(name, "s")) {
                const int spaces = count(xml, QLatin1StringView("c"), int(std::min<qint64>(budget, 1 << 20)));
                text += QString(spaces, u' ');
                xml.skipCurrentElement();
            } else if (isNamed(name, "tab") || isNamed(name, "line-break")) {
                text += isNamed(name, "tab") ? u' ' : u'\n';
                xml.skipCurrentElement();
            } else if (isNamed(name, "p") || isNamed(name, "h")) {
                if (text.size() > start)
                    text += u'\n';
                collectText(xml, text, start, budget, true);
            } else {
                collectText(xml, text, start, budget, inParagraph);
            }
        }
        if (text.size() > budget) // the row's text so far: no sheet holds more
            throw Failure(QStringLiteral("Лист слишком велик: в расписании не бывает столько ячеек"));
    }
}

// The rows of the table element being read, to its end.
template <class Xml> void readRows(Xml &xml, SheetGrid &grid)
{
    // A row's cells, their text end to end in rowText.
    struct Filled
    {
        int column, repeat;
        qsizetype from, to;
    };
    std::vector<Filled> cells;
    QString rowText;
    int row = 0;
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement()) {
            --depth;
            continue;
        }
        if (!xml.isStartElement())
            continue;
        if (isNamed(xml.name(), "table")) { // a table inside a cell holds no schedule
            xml.skipCurrentElement();
            continue;
        }
        if (!isNamed(xml.name(), "table-row")) {
            ++depth; // row groups, header rows: their rows count as any other
            continue;
        }
        const int rows = count(xml, QLatin1StringView("number-rows-repeated"), SheetGrid::kMaxRows - row);
        const QStringView visibility = attribute(xml, QLatin1StringView("visibility"));
        if (visibility == u"collapse" || visibility == u"filter")
            grid.setRowsHidden(row, rows);
        cells.clear();
        rowText.truncate(0); // keeps its room from row to row
        int column = 0;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isEndElement())
                break; // the row's end
            if (!xml.isStartElement())
                continue;
            const bool covered = isNamed(xml.name(), "covered-table-cell");
            if (!covered && !isNamed(xml.name(), "table-cell")) {
                xml.skipCurrentElement();
                continue;
            }
            const int repeat
                = count(xml, QLatin1StringView("number-columns-repeated"), SheetGrid::kMaxColumns);
            const int rowSpan = count(xml, QLatin1StringView("number-rows-spanned"), SheetGrid::kMaxRows);
            const int columnSpan
                = count(xml, QLatin1StringView("number-columns-spanned"), SheetGrid::kMaxColumns);
            // Kept now: the attribute's text lasts only to the next token.
            const QString fallback = attribute(xml, QLatin1StringView("string-value")).toString();
            const QStringView valueText = attribute(xml, QLatin1StringView("value"));
            bool ok = false;
            const double number = valueText.isEmpty() ? 0 : toNumber(valueText, &ok);
            const qsizetype from = rowText.size();
            collectText(xml, rowText, from, SheetGrid::kMaxCharacters);
            if (rowText.size() == from && !covered)
                rowText += !fallback.isEmpty() ? fallback : ok ? numberformat::general(number) : QString();
            if (rowText.size() > from && column < SheetGrid::kMaxColumns) {
                cells.push_back({ column, std::min(repeat, SheetGrid::kMaxColumns - column), from, rowText.size() });
                if (rowSpan > 1)
                    grid.addMerge(column, row, column + columnSpan - 1, row + rowSpan - 1);
            }
            column = int(std::min<qint64>(qint64(column) + repeat, SheetGrid::kMaxColumns));
        }
        // A row with text written once for several rows: each gets it.
        for (int r = row; r < row + (cells.empty() ? 0 : rows); ++r) {
            for (const Filled &cell : cells) {
                for (int c = cell.column; c < cell.column + cell.repeat; ++c)
                    grid.setCell(c, r, QStringView(rowText).sliced(cell.from, cell.to - cell.from));
            }
        }
        row = std::min(row + rows, SheetGrid::kMaxRows);
    }
}

} // namespace

OdsWorkbook::OdsWorkbook(QByteArray bytes, std::shared_ptr<ZipArchive> archive)
    : m_bytes(std::move(bytes))
    , m_archive(std::move(archive))
{
    const QString manifest = QStringLiteral("META-INF/manifest.xml");
    if (m_archive->contains(manifest) && m_archive->read(manifest).contains("encryption-data"))
        throw Failure(QStringLiteral("Книга защищена паролем"));
    if (!m_archive->contains(kContent))
        throw Failure(QStringLiteral("Книга повреждена: нет части content.xml"));

    readXmlPart(*m_archive, kContent, [this](auto &xml) {
        m_sheets.clear();
        m_tables.clear();
        readContent(xml);
    });
    if (m_sheets.isEmpty())
        throw Failure(QStringLiteral("В книге нет ни одного листа"));
}

template <class Xml> void OdsWorkbook::readContent(Xml &xml)
{
    QSet<QString> hiddenStyles;
    QString style;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        const auto name = xml.name();
        if (isNamed(name, "style")) {
            style = attribute(xml, QLatin1StringView("name")).toString();
        } else if (isNamed(name, "table-properties")) {
            if (attribute(xml, QLatin1StringView("display")) == u"false")
                hiddenStyles.insert(style);
        } else if (isNamed(name, "table")) {
            const QString tableStyle = attribute(xml, QLatin1StringView("style-name")).toString();
            m_sheets.append(
                { attribute(xml, QLatin1StringView("name")).toString(), !hiddenStyles.contains(tableStyle) });
            // One pass for all sheets: the XML costs more to scan than the
            // cells of a schedule cost to keep.
            SheetGrid grid;
            readRows(xml, grid);
            m_tables.push_back(grid.toTable());
        }
    }
}

ScheduleTable OdsWorkbook::readSheet(int index) const
{
    if (index < 0 || size_t(index) >= m_tables.size())
        return {};
    return std::move(m_tables[size_t(index)]);
}

} // namespace lintaro
