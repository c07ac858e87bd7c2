// Any bytes opened as a schedule file: a workbook is read sheet by sheet, a
// refusal is a Failure, never a crash, a hang or unbounded memory.
#include "common/failure.h"
#include "schedule/workbook.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        const std::unique_ptr<lintaro::Workbook> workbook = lintaro::Workbook::open(bytes);
        if (!workbook)
            return 0;
        for (int i = 0; i < workbook->sheets().size(); ++i) {
            const lintaro::ScheduleTable table = workbook->readSheet(i);
            for (int r = 0; r < table.rowCount(); ++r)
                (void)table.cellView(table.columnCount() - 1, r);
        }
    } catch (const lintaro::Failure &) { }
    return 0;
}
