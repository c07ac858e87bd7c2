#pragma once

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
struct RowSelection;

// The deep check: every data row resolved quietly as the check run resolves
// it, every clip found probed as the conversion probes it, and the output
// files the conversion would write with their clips and length. It asks
// nothing, shows nothing and writes nothing.
struct DeepCheckRow
{
    // The last three are rows the conversion passes over (see rowUse).
    enum class Status { Found, Missing, Ambiguous, Unreadable, Empty, Hidden, Skipped };

    int row = 0;  // the schedule row, 1 for the file's first line
    QString cell; // the Source cell as the table holds it
    Status status = Status::Missing;
    QString path;             // the clip found (also when it cannot be read)
    QStringList candidates;   // ambiguous: every file the code matches
    QString reason;           // missing: what was looked for; unreadable: the probe's message
    std::optional<MediaFacts> facts;

    bool passedOver() const { return status >= Status::Empty; }
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
    int emptyRows = 0;
    QStringList unavailableFolders; // search folders that could not be listed

    // Every row converted found and readable.
    bool allFound() const;
};

// audioLocation decides the probe's WAV companion, as for the conversion.
DeepCheckReport deepCheck(const ScheduleTable &table, const ClipResolver &resolver, const QString &audioLocation,
                          ListingCache *listings = nullptr, const RowSelection *selection = nullptr);

// HH:MM:SS:FF of a number of frames at a clip's rate; drop-frame rates
// (29.97, 59.94) count as drop-frame time code with ";" before the frames.
// Other fractional rates count whole seconds of real time.
QString timecode(quint64 frames, const MediaFacts &rate);

// A group's length: every clip's own time added up, in frames of the first
// clip's rate, shown at that rate.
QString groupDuration(const QList<MediaFacts> &clips);

// "найден", "не найден", "неоднозначен: N файлов", "ошибка AVI: ...", "пустая
// ячейка", "скрыта", "не выбрана"
QString deepCheckStatusText(const DeepCheckRow &row);

// The report as the window shows it, a ';'-separated Windows-1251 table;
// characters the code page lacks become "?".
QByteArray deepCheckCsv(const DeepCheckReport &report);

} // namespace lintaro
