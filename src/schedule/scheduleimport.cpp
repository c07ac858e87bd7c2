#include "scheduleimport.h"

#include "columnlayout.h"
#include "common/failure.h"
#include "common/textfile.h"
#include "workbook.h"

#include <algorithm>
#include <vector>

namespace lintaro {

namespace {

bool isLineEnd(QChar ch)
{
    return ch == u'\r' || ch == u'\n';
}

// The closing quote of a quoted part whose text starts at `from`: the first
// '"' that is not doubled. -1 when there is none; crossesLine says whether a
// line break came first.
qsizetype closingQuote(QStringView text, qsizetype from, bool &crossesLine)
{
    crossesLine = false;
    for (qsizetype i = from; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (ch == u'"') {
            if (i + 1 < text.size() && text[i + 1] == u'"') {
                ++i;
                continue;
            }
            return i;
        }
        if (isLineEnd(ch))
            crossesLine = true;
    }
    return -1;
}

struct Record
{
    QString text;
    std::vector<quint32> bounds;
    bool spansLines = false;
};

// One record from `at` on, as spreadsheets write them: a field that begins with
// '"' runs to its closing quote, holding ';' and line breaks; what follows the
// quote up to the next ';' or line end belongs to the field too. A quoted part
// that spans lines but does not close right before a ';' or a line end is
// ordinary text, so one stray quote cannot swallow the rest of the file. Every
// '"' is then dropped and a line break becomes one blank.
Record readRecord(QStringView text, qsizetype &at)
{
    Record record;
    record.bounds.push_back(0);
    const qsizetype size = text.size();
    for (;;) {
        if (at < size && text[at] == u'"') {
            bool crossesLine = false;
            const qsizetype close = closingQuote(text, at + 1, crossesLine);
            const bool closesWell = close >= 0
                && (!crossesLine || close + 1 == size || text[close + 1] == u';'
                    || isLineEnd(text[close + 1]));
            if (closesWell) {
                for (qsizetype i = at + 1; i < close; ++i) {
                    const QChar ch = text[i];
                    if (ch == u'\r' && i + 1 < close && text[i + 1] == u'\n')
                        continue; // CR LF is one break
                    if (isLineEnd(ch))
                        record.text.append(u' ');
                    else if (ch != u'"')
                        record.text.append(ch);
                }
                record.spansLines = record.spansLines || crossesLine;
                at = close + 1;
            }
        }
        while (at < size && text[at] != u';' && !isLineEnd(text[at])) {
            if (text[at] != u'"')
                record.text.append(text[at]);
            ++at;
        }
        record.bounds.push_back(quint32(record.text.size()));
        if (at < size && text[at] == u';') {
            ++at;
            continue;
        }
        if (at < size && text[at] == u'\r') {
            ++at;
            if (at < size && text[at] == u'\n')
                ++at;
        } else if (at < size && text[at] == u'\n') {
            ++at;
        }
        return record;
    }
}

} // namespace

ScheduleTable parseSchedule(QStringView text)
{
    std::vector<Record> records;
    qsizetype at = 0;
    while (at < text.size())
        records.push_back(readRecord(text, at));
    if (records.empty())
        return {};

    const int columnCount = int(records.front().bounds.size()) - 1;
    ScheduleTable table(columnCount, int(records.size()));
    int multiLine = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        multiLine += records[i].spansLines ? 1 : 0;
        table.setDataRow(int(i) + 1, std::move(records[i].text), std::move(records[i].bounds));
    }
    table.setMultiLineRecords(multiLine);
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

std::optional<ScheduleTable> readSchedule(
    const QString &path, const SheetChooser &choose, QString *sheetName, bool chooseAlways)
{
    if (sheetName)
        *sheetName = QString();
    const QByteArray bytes = textfile::readAll(path);
    const std::unique_ptr<Workbook> workbook = Workbook::open(bytes);
    if (!workbook)
        return parseSchedule(decodeSchedule(bytes));
    const QStringList visible = workbook->visibleSheetNames();
    if (visible.isEmpty())
        throw Failure(QStringLiteral("В книге нет видимых листов"));
    int chosen = 0;
    if (visible.size() > 1 || chooseAlways) {
        const std::optional<int> answer = choose ? choose(visible) : 0;
        if (!answer || *answer < 0 || *answer >= visible.size())
            return std::nullopt;
        chosen = *answer;
    }
    if (sheetName)
        *sheetName = visible[chosen];
    for (int i = 0, seen = 0; i < workbook->sheets().size(); ++i) {
        if (workbook->sheets()[i].visible && seen++ == chosen)
            return workbook->readSheet(i);
    }
    return std::nullopt;
}

ScheduleTable readScheduleFile(const QString &path)
{
    return *readSchedule(path, [](const QStringList &) { return 0; });
}

QString openedStatusText(const QString &path, const ScheduleTable &table)
{
    QString text = path;
    if (table.multiLineRecords() > 0)
        text += QStringLiteral(" — записей на нескольких строках: ")
            + QString::number(table.multiLineRecords());
    if (table.formulasWithoutValue() > 0)
        text += QStringLiteral(" — формул без значения: ") + QString::number(table.formulasWithoutValue());
    return text;
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
