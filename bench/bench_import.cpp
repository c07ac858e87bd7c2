// Schedule import on a 100,000-row, 10-column Windows-1251 schedule: read,
// split, quote removal and automatic widths, against a plain read of the same
// file in the same run, then the same schedule in UTF-8. Prints the times,
// their ratios and the peak memory. Then a ragged schedule (100,000 ";" on its
// first line, 5,000 short lines), whose memory once grew with width times
// lines. Each peak is measured in a process of its own, since the peak of a
// process never falls. Then the same table as an .xlsx (its air times numbers
// shown as hh:mm, as Excel keeps them) and an .ods workbook, against the text
// import, and a 10,000-row workbook. Last, the substitution
// lookup of every row's title in a long-kept table of 100,000 pairs, against
// the same import.
#include "app/fontmeasure.h"
#include "common/cp1251.h"
#include "lookup/substitutiontable.h"
#include "schedule/scheduleimport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QProcess>
#include <QTemporaryDir>
#include <QTime>

#include <zlib.h>

#include <algorithm>
#include <cstdio>

#include <sys/resource.h>

using namespace lintaro;

namespace {

constexpr int kRows = 100000;
constexpr int kColumns = 10;

long currentRssKb()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * 4 : 0;
}

long peakRssKb()
{
    // VmHWM starts anew with the program; ru_maxrss would carry the parent's
    // peak over the exec of a measuring child.
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').value(0).toLong();
        }
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void writeSchedule(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    const QStringList words = {QStringLiteral("Новости"), QStringLiteral("\"Ролик\""), QStringLiteral("Фильм"),
                               QStringLiteral("Погода"), QStringLiteral("Реклама блок")};
    for (int r = 0; r < kRows; ++r) {
        QStringList fields;
        fields.append(QStringLiteral("%1:%2").arg(r / 60 % 24, 2, 10, QChar(u'0')).arg(r % 60, 2, 10, QChar(u'0')));
        fields.append(QStringLiteral("%1 (Rolik%2)").arg(words[r % words.size()]).arg(r));
        for (int c = 2; c < kColumns; ++c)
            fields.append(c % 3 == 0 ? QStringLiteral("К%1").arg(r / 50) : words[(r + c) % words.size()]);
        file.write(*cp1251::encode(fields.join(u';') + QStringLiteral("\r\n")));
    }
}

void writeRaggedSchedule(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    file.write(QByteArray(100000, ';') + "\r\n");
    for (int r = 0; r < 5000; ++r)
        file.write(QByteArray("R") + QByteArray::number(r % 100) + ";x\r\n");
}

// A ZIP archive of deflated parts, enough for a workbook the reader opens.
QByteArray zipOf(const QList<std::pair<QString, QByteArray>> &parts)
{
    QByteArray out;
    QByteArray directory;
    auto le16 = [](QByteArray &to, quint32 v) { to.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF)); };
    auto le32 = [&](QByteArray &to, quint32 v) {
        le16(to, v & 0xFFFF);
        le16(to, v >> 16);
    };
    for (const auto &[name, data] : parts) {
        uLongf packedSize = compressBound(uLong(data.size()));
        QByteArray packed(qsizetype(packedSize), '\0');
        z_stream stream {};
        deflateInit2(&stream, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.data()));
        stream.avail_in = uInt(data.size());
        stream.next_out = reinterpret_cast<Bytef *>(packed.data());
        stream.avail_out = uInt(packed.size());
        deflate(&stream, Z_FINISH);
        packed.truncate(qsizetype(stream.total_out));
        deflateEnd(&stream);
        const quint32 crc
            = quint32(crc32(0, reinterpret_cast<const Bytef *>(data.data()), uInt(data.size())));
        const QByteArray utf8 = name.toUtf8();
        const quint32 offset = quint32(out.size());
        le32(out, 0x04034b50);
        le16(out, 20);
        le16(out, 0);
        le16(out, 8);
        le32(out, 0);
        le32(out, crc);
        le32(out, quint32(packed.size()));
        le32(out, quint32(data.size()));
        le16(out, quint32(utf8.size()));
        le16(out, 0);
        out += utf8 + packed;
        le32(directory, 0x02014b50);
        le16(directory, 20);
        le16(directory, 20);
        le16(directory, 0);
        le16(directory, 8);
        le32(directory, 0);
        le32(directory, crc);
        le32(directory, quint32(packed.size()));
        le32(directory, quint32(data.size()));
        le16(directory, quint32(utf8.size()));
        le16(directory, 0);
        le16(directory, 0);
        le16(directory, 0);
        le16(directory, 0);
        le32(directory, 0);
        le32(directory, offset);
        directory += utf8;
    }
    const quint32 directoryOffset = quint32(out.size());
    out += directory;
    le32(out, 0x06054b50);
    le16(out, 0);
    le16(out, 0);
    le16(out, quint32(parts.size()));
    le16(out, quint32(parts.size()));
    le32(out, quint32(directory.size()));
    le32(out, directoryOffset);
    le16(out, 0);
    return out;
}

QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

// The text schedule's cells as an .xlsx with shared strings or as an .ods.
void writeWorkbooks(const QString &csvPath, int rows, const QString &xlsxPath, const QString &odsPath)
{
    QFile in(csvPath);
    if (!in.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(csvPath));
    const QStringList lines = cp1251::decode(in.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QString sheet
        = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><worksheet "
                         "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>");
    QString shared;
    QString content = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document-content "
                                     "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
                                     "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
                                     "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"><office:"
                                     "body><office:spreadsheet><table:table table:name=\"Лист1\">");
    int strings = 0;
    for (int r = 0; r < rows && r < lines.size(); ++r) {
        const QStringList cells = lines[r].split(u';');
        sheet += QStringLiteral("<row r=\"%1\">").arg(r + 1);
        content += QStringLiteral("<table:table-row>");
        for (int c = 0; c < cells.size(); ++c) {
            const QString text = escaped(QString(cells[c]).remove(u'"'));
            const QTime time = QTime::fromString(cells[c], QStringLiteral("HH:mm"));
            if (c == 0 && time.isValid()) {
                // The air time as Excel keeps it: a fraction of a day shown as hh:mm.
                sheet += QStringLiteral("<c r=\"A%1\" s=\"1\"><v>%2</v></c>")
                             .arg(r + 1)
                             .arg(time.msecsSinceStartOfDay() / 86400000.0, 0, 'g', 17);
            } else {
                sheet += QStringLiteral("<c r=\"%1%2\" t=\"s\"><v>%3</v></c>")
                             .arg(QChar(u'A' + c))
                             .arg(r + 1)
                             .arg(strings++);
                shared += QStringLiteral("<si><t>") + text + QStringLiteral("</t></si>");
            }
            content += QStringLiteral("<table:table-cell office:value-type=\"string\"><text:p>") + text
                + QStringLiteral("</text:p></table:table-cell>");
        }
        sheet += QStringLiteral("</row>");
        content += QStringLiteral("</table:table-row>");
    }
    sheet += QStringLiteral("</sheetData></worksheet>");
    content += QStringLiteral("<table:table-row table:number-rows-repeated=\"1048000\"><table:table-cell "
                              "table:number-columns-repeated=\"1024\"/></table:table-row></table:table></"
                              "office:spreadsheet></office:body></office:document-content>");
    const QByteArray rels = "<?xml version=\"1.0\"?><Relationships "
                            "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                            "<Relationship Id=\"rId1\" "
                            "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
                            "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";
    const QByteArray bookRels = "<?xml version=\"1.0\"?><Relationships "
                                "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                                "<Relationship Id=\"rId1\" "
                                "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
                                "worksheet\" Target=\"worksheets/sheet1.xml\"/>"
                                "<Relationship Id=\"rId2\" "
                                "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
                                "sharedStrings\" Target=\"sharedStrings.xml\"/>"
                                "<Relationship Id=\"rId3\" "
                                "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
                                "styles\" Target=\"styles.xml\"/></Relationships>";
    const QByteArray styles = "<?xml version=\"1.0\"?><styleSheet "
                              "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                              "<numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"hh:mm\"/></numFmts>"
                              "<cellXfs count=\"2\"><xf numFmtId=\"0\"/><xf numFmtId=\"164\"/></cellXfs>"
                              "</styleSheet>";
    const QByteArray book = "<?xml version=\"1.0\"?><workbook "
                            "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                            "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
                            "<sheets><sheet name=\"Лист1\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";
    QFile xlsx(xlsxPath);
    QFile ods(odsPath);
    if (!xlsx.open(QIODevice::WriteOnly) || !ods.open(QIODevice::WriteOnly))
        qFatal("cannot write the workbooks");
    xlsx.write(zipOf({ { QStringLiteral("_rels/.rels"), rels }, { QStringLiteral("xl/workbook.xml"), book },
        { QStringLiteral("xl/_rels/workbook.xml.rels"), bookRels },
        { QStringLiteral("xl/worksheets/sheet1.xml"), sheet.toUtf8() },
        { QStringLiteral("xl/styles.xml"), styles },
        { QStringLiteral("xl/sharedStrings.xml"),
            QStringLiteral("<?xml version=\"1.0\"?><sst "
                           "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">%1</sst>")
                .arg(shared)
                .toUtf8() } }));
    ods.write(zipOf({ { QStringLiteral("mimetype"), "application/vnd.oasis.opendocument.spreadsheet" },
        { QStringLiteral("content.xml"), content.toUtf8() } }));
}

// The import of one file in this process: prints "milliseconds peak-KB".
int measureOne(const QString &path, const QFont &font)
{
    const long rssBefore = currentRssKb();
    QElapsedTimer timer;
    timer.start();
    ScheduleTable table = readScheduleFile(path);
    autoSizeColumns(table, FontAdvanceMeasure(font));
    const double ms = timer.nsecsElapsed() / 1e6;
    std::printf("%.1f %ld\n", ms, peakRssKb() - rssBefore);
    return table.columnCount() > 0 ? 0 : 1;
}

struct Measured
{
    double ms = 0;
    double peakMb = 0;
};

Measured measureInChild(const QString &path)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--measure"), path});
    if (!child.waitForFinished(600000) || child.exitCode() != 0)
        qFatal("the measuring process failed on %s", qPrintable(path));
    const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split(' ');
    return {fields.value(0).toDouble(), fields.value(1).toDouble() / 1024.0};
}

template<typename Work>
double bestOf(int runs, Work work)
{
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    if (argc == 3 && qstrcmp(argv[1], "--measure") == 0)
        return measureOne(QString::fromLocal8Bit(argv[2]), font);

    QTemporaryDir dir;
    dir.setAutoRemove(!qEnvironmentVariableIsSet("LINTARO_BENCH_KEEP"));
    const QString path = dir.filePath(QStringLiteral("schedule.csv"));
    writeSchedule(path);
    const double fileMb = QFile(path).size() / 1048576.0;
    const QString ragged = dir.filePath(QStringLiteral("ragged.csv"));
    writeRaggedSchedule(ragged);
    const double raggedMb = QFile(ragged).size() / 1048576.0;

    const Measured first = measureInChild(path);
    const Measured raggedRun = measureInChild(ragged);
    const int columns = kColumns;

    const double readMs = bestOf(3, [&] {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        volatile qsizetype size = file.readAll().size();
        (void)size;
    });
    const double importWarmMs = bestOf(3, [&] {
        ScheduleTable table = readScheduleFile(path);
        autoSizeColumns(table, FontAdvanceMeasure(font));
    });

    // The same schedule as a spreadsheet on Linux saves it: UTF-8 without a
    // byte-order mark, which the import validates as a whole before decoding.
    const QString utf8Path = dir.filePath(QStringLiteral("schedule-utf8.csv"));
    {
        QFile in(path);
        QFile out(utf8Path);
        if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(utf8Path));
        out.write(cp1251::decode(in.readAll()).toUtf8());
    }
    const double utf8Ms = bestOf(3, [&] {
        ScheduleTable table = readScheduleFile(utf8Path);
        autoSizeColumns(table, FontAdvanceMeasure(font));
    });

    // Half the rows have a pair, the other half none; the table holds as many
    // names the schedule never asks for.
    const ScheduleTable schedule = readScheduleFile(path);
    QStringList pairLines;
    for (int r = 0; r < kRows; ++r)
        pairLines.append((r % 2 ? QStringLiteral("Нет в сетке ") + QString::number(r) : schedule.cell(1, r + 1))
                         + QStringLiteral(" ; /clips/") + QString::number(r) + QStringLiteral(".avi"));
    // The table is read once when the program starts; a run's lookups begin
    // with a table just read or just edited, so the index is built in each.
    int substFound = 0;
    const double substReadMs = bestOf(3, [&] {
        SubstitutionTable pairs;
        pairs.applyLines(pairLines);
    });
    double substMs = 1e30;
    for (int run = 0; run < 3; ++run) {
        SubstitutionTable pairs;
        pairs.applyLines(pairLines);
        QElapsedTimer timer;
        timer.start();
        substFound = 0;
        for (int r = 0; r < kRows; ++r)
            substFound += pairs.find(schedule.cellView(1, r + 1)) >= 0;
        substMs = std::min(substMs, timer.nsecsElapsed() / 1e6);
    }

    std::printf("schedule: %d rows x %d columns, %.1f MB\n", kRows, columns, fileMb);
    std::printf("plain read:                 %8.1f ms\n", readMs);
    std::printf("import + automatic widths:  %8.1f ms (first run %.1f ms)  ratio %.1fx the plain read\n",
                importWarmMs, first.ms, importWarmMs / readMs);
    std::printf("the same in UTF-8:          %8.1f ms  ratio %.1fx the Windows-1251 import\n", utf8Ms,
                utf8Ms / importWarmMs);
    std::printf("peak memory of the import:  %8.1f MB = %.1fx the file size (target: under 1000 ms, under 15x)\n",
                first.peakMb, first.peakMb / fileMb);
    std::printf("ragged: 100,000 \";\" on line 1, then 5,000 short lines, %.0f KB\n", raggedMb * 1024);
    std::printf("ragged import:              %8.1f ms (target: under 1000 ms)\n", raggedRun.ms);
    std::printf("ragged peak memory:         %8.1f MB = %.1fx the file size (target: under 20 MB)\n",
                raggedRun.peakMb, raggedRun.peakMb / raggedMb);

    const QString xlsx = dir.filePath(QStringLiteral("schedule.xlsx"));
    const QString ods = dir.filePath(QStringLiteral("schedule.ods"));
    writeWorkbooks(path, kRows, xlsx, ods);
    const QString smallXlsx = dir.filePath(QStringLiteral("small.xlsx"));
    const QString smallOds = dir.filePath(QStringLiteral("small.ods"));
    writeWorkbooks(path, 10000, smallXlsx, smallOds);
    for (const auto &[name, book] : { std::pair { "xlsx", xlsx }, std::pair { "ods", ods } }) {
        const Measured peak = measureInChild(book);
        const double ms = bestOf(3, [&] {
            ScheduleTable table = readScheduleFile(book);
            autoSizeColumns(table, FontAdvanceMeasure(font));
        });
        std::printf(
            "%-4s %8.1f MB: %8.1f ms = %.1fx the text import, peak %.1f MB = %.1fx (target: 4x, 2x)\n", name,
            QFile(book).size() / 1048576.0, ms, ms / importWarmMs, peak.peakMb, peak.peakMb / first.peakMb);
    }
    for (const QString &book : { smallXlsx, smallOds }) {
        const Measured small = measureInChild(book);
        std::printf("10,000 rows %s: %.1f ms (target: under 500 ms)\n", qPrintable(QFileInfo(book).suffix()),
            small.ms);
    }
    std::printf("substitution lookup:        %8.1f ms for %d rows x %d pairs (%d found)  ratio %.2fx the import "
                "(target: under 2x)\n",
                substMs, kRows, kRows, substFound, substMs / importWarmMs);
    std::printf("reading those pairs:        %8.1f ms  ratio %.2fx the import\n", substReadMs,
                substReadMs / importWarmMs);
    return 0;
}
