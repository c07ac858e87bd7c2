#include "scheduleimport.h"

#include "columnlayout.h"
#include "common/textfile.h"

#include <algorithm>
#include <vector>

namespace lintaro {

ScheduleTable parseSchedule(QStringView text)
{
    std::vector<QStringView> lines;
    textfile::forEachLine(text, [&](QStringView line) { lines.push_back(line); });
    if (lines.empty())
        return {};

    const int columnCount = int(lines.front().count(u';')) + 1;
    ScheduleTable table(columnCount, int(lines.size()));
    for (size_t i = 0; i < lines.size(); ++i)
        table.setDataRowFromLine(int(i) + 1, lines[i]);
    return table;
}

namespace {

// True when bytes are well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF) and hold at least one multi-byte sequence. A
// Windows-1251 Russian text fails at its first letter: a lone lead byte or
// two letters in a row that do not make a sequence.
bool isMultiByteUtf8(QByteArrayView bytes)
{
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype size = bytes.size();
    bool multiByte = false;
    qsizetype i = 0;
    while (i < size) {
        const unsigned char lead = data[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        int length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0)
                low = 0xA0;
            else if (lead == 0xED)
                high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0)
                low = 0x90;
            else if (lead == 0xF4)
                high = 0x8F;
        } else {
            return false;
        }
        if (size - i < length || data[i + 1] < low || data[i + 1] > high)
            return false;
        for (int k = 2; k < length; ++k) {
            if ((data[i + k] & 0xC0) != 0x80)
                return false;
        }
        multiByte = true;
        i += length;
    }
    return multiByte;
}

} // namespace

QString decodeSchedule(QByteArrayView bytes)
{
    bytes = textfile::untilNul(bytes);
    if (isMultiByteUtf8(bytes))
        return QString::fromUtf8(bytes);
    return textfile::decode(bytes);
}

ScheduleTable readScheduleFile(const QString &path)
{
    const QString text = decodeSchedule(textfile::readAll(path));
    return parseSchedule(text);
}

void autoSizeColumns(ScheduleTable &table, const TextMeasure &measure)
{
    const int measured = table.columnCount() - 1; // the last column is left to the stretch
    if (measured <= 0)
        return;
    // Row by row over the cells each line filled, so a short line under a
    // wide first line costs nothing.
    std::vector<int> widest(size_t(measured), 0);
    for (int r = 1; r < table.rowCount(); ++r) {
        const int filled = std::min(table.filledColumnCount(r), measured);
        for (int c = 0; c < filled; ++c) {
            const QStringView cell = table.cellView(c, r);
            if (!cell.isEmpty())
                widest[size_t(c)] = std::max(widest[size_t(c)], measure.textWidth(cell));
        }
    }
    for (int c = 0; c < measured; ++c) {
        // A cell wider than any screen only comes from a damaged file.
        table.setColumnWidth(c, std::min(widest[size_t(c)] + 10, kMaxStoredWidth));
    }
}

} // namespace lintaro
