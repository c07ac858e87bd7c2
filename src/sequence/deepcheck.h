#pragma once

#include <functional>

#include "sequence/mediafacts.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace lintaro {

class ClipResolver;
class ListingCache;
class ScheduleTable;

// The deep check: every data row resolved quietly as the check run resolves
// it, every clip found probed as the conversion probes it, and the output
// files the conversion would write with their clips and length. It asks
// nothing, shows nothing and writes nothing.
struct DeepCheckRow
{
    enum class Status { Found, Missing, Ambiguous, Unreadable };

    int row = 0;  // the schedule row, 1 for the file's first line
    QString cell; // the Source cell as the table holds it
    Status status = Status::Missing;
    QString path;             // the clip found (also when it cannot be read)
    QStringList candidates;   // ambiguous: every file the code matches
    QString reason;           // missing: what was looked for; unreadable: the probe's message
    std::optional<MediaFacts> facts;
};

struct DeepCheckGroup
{
    QString name;      // the output file's suffix, as its name carries it ("^.K1.10_30")
    int clips = 0;
    quint64 frames = 0; // the clips' own frame counts added up
    QString duration;  // HH:MM:SS:FF of the whole file
};

struct DeepCheckReport
{
    QList<DeepCheckRow> rows;
    // Only when the conversion would get past every row it converts; empty otherwise.
    QList<DeepCheckGroup> groups;
    bool conversionPasses = false;
    int stopRow = -1; // the row the conversion would stop at, when it would
    bool stopped = false; // goOn said no before the last row

    // Every row found and readable.
    bool allFound() const;
};

// audioLocation decides the probe's WAV companion, as for the conversion.
// goOn, when given, is asked before each row; false stops the check there,
// with stopped set and no files.
DeepCheckReport deepCheck(const ScheduleTable &table, const ClipResolver &resolver,
    const QString &audioLocation, ListingCache *listings = nullptr,
    const std::function<bool(int row)> &goOn = {});

// HH:MM:SS:FF of a number of frames at a clip's rate; drop-frame rates
// (29.97, 59.94) count as drop-frame time code with ";" before the frames.
// Other fractional rates count whole seconds of real time.
QString timecode(quint64 frames, const MediaFacts &rate);

// A group's length: every clip's own time added up, in frames of the first
// clip's rate, shown at that rate.
QString groupDuration(const QList<MediaFacts> &clips);

// "найден", "не найден", "неоднозначен: N файлов", "ошибка AVI: ..."
QString deepCheckStatusText(const DeepCheckRow &row);

// The report as the window shows it, a ';'-separated Windows-1251 table;
// characters the code page lacks become "?".
QByteArray deepCheckCsv(const DeepCheckReport &report);

} // namespace lintaro
