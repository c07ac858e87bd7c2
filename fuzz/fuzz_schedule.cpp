// Schedule import: decoding (Windows-1251 or UTF-8), line and
// field splitting, quote removal and the automatic widths; then the clip
// code of every cell, age marks passed over.
#include "lookup/clipresolver.h"
#include "schedule/scheduleimport.h"

#include <QByteArrayView>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = lintaro::decodeSchedule(QByteArrayView(data, qsizetype(size)));
    lintaro::ScheduleTable table = lintaro::parseSchedule(text);
    lintaro::autoSizeColumns(table, lintaro::FixedAdvanceMeasure());
    for (int r = 0; r < table.rowCount(); ++r) {
        // The cells a line filled, and the first empty one after them.
        const int filled = table.filledColumnCount(r);
        for (int c = 0; c < table.columnCount() && c <= filled; ++c) {
            if (!table.cellView(c, r).isEmpty() && c >= filled)
                std::abort();
            const std::optional<QString> code = lintaro::ClipResolver::clipCode(table.cellView(c, r));
            if (code && (code->size() >= lintaro::ClipResolver::CodeSearchLength || code->contains(u')')
                         || lintaro::ClipResolver::isAgeMark(*code)))
                std::abort();
        }
    }
    return 0;
}
