#include "conversionwalk.h"

#include "common/textfile.h"
#include "schedule/rowuse.h"
#include "schedule/scheduletable.h"

namespace lintaro {

ConversionWalkResult walkSchedule(const ScheduleTable &table, const ConversionWalkHooks &hooks,
                                  const RowSelection *selection)
{
    ConversionWalkResult result;
    const QList<int> separators = table.separatorColumns();
    const int source = table.sourceColumn();
    QStringList lastValues(table.columnCount());
    // One more entry than files: the last one collects the next file's suffix.
    QStringList suffixes{QString()};
    bool separatorSeen = false;
    bool changed = false;
    bool fileStarted = false;

    for (int r = 1; r < table.rowCount(); ++r) {
        if (hooks.cancelled && hooks.cancelled()) {
            result.failed = true;
            result.cancelled = true;
            result.failedRow = r;
            break;
        }
        if (hooks.visitRow)
            hooks.visitRow(r);
        for (const int c : separators) {
            result.separatorPresent = true;
            const QStringView value = textfile::trimmedControl(table.cellView(c, r));
            if (value.isEmpty())
                continue;
            separatorSeen = true;
            if (value != lastValues[c]) {
                lastValues[c] = value.toString();
                changed = true;
            }
        }
        // A cassette number on a block title without a clip still starts the
        // cassette's file, at the next row that goes into it.
        if (const RowUse use = rowUse(table, r, selection); use != RowUse::Converted) {
            if (use == RowUse::Empty)
                ++result.emptyRows;
            continue;
        }
        // Rows above the first separator value are not converted.
        if (result.separatorPresent && !separatorSeen)
            continue;

        if (changed && result.separatorPresent) {
            // Only separator columns hold values; a wide schedule has many other columns.
            for (const int c : separators) {
                if (!lastValues[c].isEmpty())
                    suffixes.last() += u'.' + lastValues[c];
            }
        }
        if (changed || (!result.separatorPresent && !fileStarted)) {
            fileStarted = true;
            hooks.startFile();
            ++result.fileCount;
            suffixes.append(QString());
            changed = false;
        }

        const QString error = hooks.convertRow(textfile::trimmedControl(table.cellView(source, r)).toString());
        if (!error.isEmpty()) {
            result.failed = true;
            result.error = error;
            result.failedRow = r;
            break;
        }
        if (hooks.progress)
            hooks.progress(r * 100 / table.rowCount());
    }

    suffixes.removeLast();
    result.suffixes = suffixes;
    return result;
}

} // namespace lintaro
