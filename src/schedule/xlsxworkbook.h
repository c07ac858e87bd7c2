#pragma once

#include "numberformat.h"
#include "workbook.h"

#include <QHash>

#include <memory>
#include <vector>

namespace lintaro {

class SheetGrid;
class ZipArchive;

// An Excel workbook (.xlsx, SpreadsheetML): cells as a Russian Excel shows
// them through their number formats, shared, inline and rich strings joined,
// formulas by their stored result.
class XlsxWorkbook : public Workbook
{
public:
    XlsxWorkbook(QByteArray bytes, std::shared_ptr<ZipArchive> archive);
    ScheduleTable readSheet(int index) const override;

private:
    void readSharedStrings(const QString &part);
    void readStyles(const QString &part);
    template <class Xml> void sharedStrings(Xml &xml);
    template <class Xml> void sheetCells(Xml &xml, SheetGrid &grid) const;

    QByteArray m_bytes; // the archive reads from these
    std::shared_ptr<ZipArchive> m_archive;
    QStringList m_sheetParts;
    // All shared strings end to end, and where each ends: a million small
    // strings cost more than their text.
    QString m_sharedText;
    std::vector<qsizetype> m_sharedEnds;
    std::vector<numberformat::Format> m_styleFormats; // by cell style index
    bool m_date1904 = false;
};

} // namespace lintaro
