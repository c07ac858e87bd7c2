// Schedule import on a 100,000-row, 10-column Windows-1251 schedule: read,
// split, quote removal and automatic widths, against a plain read of the same
// file in the same run; then the same schedule in UTF-8. Prints the times,
// their ratios and the peak memory.
#include "app/fontmeasure.h"
#include "common/cp1251.h"
#include "schedule/scheduleimport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFont>
#include <QTemporaryDir>

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
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("schedule.csv"));
    writeSchedule(path);
    const double fileMb = QFile(path).size() / 1048576.0;

    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);

    const long rssBefore = currentRssKb();
    int columns = 0;
    const double importMs = bestOf(1, [&] {
        ScheduleTable table = readScheduleFile(path);
        autoSizeColumns(table, FontAdvanceMeasure(font));
        columns = table.columnCount();
    });
    const long peakKb = peakRssKb() - rssBefore;

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

    std::printf("schedule: %d rows x %d columns, %.1f MB\n", kRows, columns, fileMb);
    std::printf("plain read:                 %8.1f ms\n", readMs);
    std::printf("import + automatic widths:  %8.1f ms (first run %.1f ms)  ratio %.1fx the plain read\n",
                importWarmMs, importMs, importWarmMs / readMs);
    std::printf("the same in UTF-8:          %8.1f ms  ratio %.1fx the Windows-1251 import\n", utf8Ms,
                utf8Ms / importWarmMs);
    std::printf("peak memory of the import:  %8.1f MB = %.1fx the file size (target: under 1000 ms, under 15x)\n",
                peakKb / 1024.0, peakKb / 1024.0 / fileMb);
    return 0;
}
