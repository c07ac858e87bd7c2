#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace lintaro {

class ScheduleTable;
struct RowSelection;

// The walk of a conversion run over the schedule's data rows: which rows are
// converted, where a new sequence file begins, and each file's name suffix.
// What a row converts into, and what the window shows meanwhile, is up to the hooks.
struct ConversionWalkHooks
{
    // Row r is about to be looked at (the grid follows it).
    std::function<void(int row)> visitRow;
    // A new file begins; the previous one, if any, is complete.
    std::function<void()> startFile;
    // Converts one row's trimmed Source text into the current file; returns an
    // error text, empty on success.
    std::function<QString(const QString &source)> convertRow;
    // After each converted row: row × 100 ÷ row count.
    std::function<void(int percent)> progress;
    // Asked before each row: true stops the walk there, as a failed row does.
    std::function<bool()> cancelled;
};

struct ConversionWalkResult
{
    bool failed = false;
    QString error;         // the failing row's text
    int failedRow = -1;
    bool cancelled = false; // stopped on request before failedRow
    int fileCount = 0;
    bool separatorPresent = false;
    // One suffix per file, ".K1" or ".K1.10"; empty without separator columns.
    QStringList suffixes;
    int emptyRows = 0; // rows met without a clip (RowUse::Empty)
};

// Rows that are not converted (see rowUse) still count their separator
// values; the file they would start begins at the next converted row.
ConversionWalkResult walkSchedule(const ScheduleTable &table, const ConversionWalkHooks &hooks,
                                  const RowSelection *selection = nullptr);

} // namespace lintaro
