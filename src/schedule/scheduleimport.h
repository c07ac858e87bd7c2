#pragma once

#include "scheduletable.h"

#include <QString>
#include <QStringView>

#include <functional>
#include <optional>

namespace lintaro {

// Measures the width of a text in pixels in the grid's font. The windows supply
// one built on font metrics; tools and tests use a fixed advance per character.
class TextMeasure
{
public:
    virtual ~TextMeasure() = default;
    virtual int textWidth(QStringView text) const = 0;
};

class FixedAdvanceMeasure : public TextMeasure
{
public:
    explicit FixedAdvanceMeasure(int advance = 6) : m_advance(advance) {}
    int textWidth(QStringView text) const override { return int(text.size()) * m_advance; }

private:
    int m_advance;
};

// Builds the table from a schedule text as spreadsheets export it: one data row
// per record (a quoted field may hold ';' and line breaks), as many columns as
// the first record has fields; no '"' reaches a cell. No lines: an empty table.
ScheduleTable parseSchedule(QStringView text);

// The text of a schedule file, cut at the first NUL: UTF-8 behind a byte-order
// mark, or without one when the whole file is valid UTF-8 and holds at least
// one multi-byte sequence (what spreadsheets on Linux write); Windows-1251
// otherwise, the code page of the operators' schedules.
QString decodeSchedule(QByteArrayView bytes);

// Picks the sheet of a workbook with several visible sheets: an index into
// the visible names given, or nothing to cancel the open.
using SheetChooser = std::function<std::optional<int>(const QStringList &visibleNames)>;

// Reads a schedule file: a workbook (.xlsx, .ods) or exported text, as its
// content says, whatever its extension. A workbook with one visible sheet
// opens it; with several, `choose` picks one. Nothing when the choice was
// cancelled. Throws Failure("Cannot open file <path>") when the file cannot
// be read, and Failure with the operator's message for a workbook it refuses.
// sheetName, when given, receives the sheet read (a null text for a text
// schedule); chooseAlways asks also when only one sheet is visible.
std::optional<ScheduleTable> readSchedule(
    const QString &path, const SheetChooser &choose, QString *sheetName = nullptr, bool chooseAlways = false);

// readSchedule() taking the first visible sheet of a workbook.
ScheduleTable readScheduleFile(const QString &path);

// The status text for an opened schedule: its path, then what the import
// noticed ("записей на нескольких строках: 2").
QString openedStatusText(const QString &path, const ScheduleTable &table);

// Every column but the last gets the widest of its data cells plus 10 pixels
// (10 when all are empty); the last column is left to the stretch.
void autoSizeColumns(ScheduleTable &table, const TextMeasure &measure);

} // namespace lintaro
