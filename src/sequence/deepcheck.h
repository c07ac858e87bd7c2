#pragma once

#include <functional>

#include "sequence/mediafacts.h"
#include "sequence/pathmap.h"
#include "sequence/sequencewriter.h"

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
    // Missing from the substitutions, where the conversion asks for the file.
    bool asks = false;
    // Unreadable because the format cannot carry the (mapped) path.
    bool unwritable = false;
    // Unreadable because the substitution's file does not exist.
    bool absent = false;

    bool passedOver() const { return status >= Status::Empty; }
};

struct DeepCheckGroup
{
    QString name;      // the output file's suffix, as its name carries it ("^.K1.10_30")
    int clips = 0;
    // On the timeline the format writes: every clip at its rate, rounded as
    // the writer rounds, added up; the clips it will ask for are not counted.
    quint64 frames = 0;
    QString duration; // HH:MM:SS:FF of those frames at that rate
    int asked = 0; // clips the conversion will ask for
    QString error; // why the file cannot be written in the format, or empty
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
    bool stopped = false; // goOn said no before the last row

    // Every row converted found and readable, and every file writable.
    bool allFound() const;
};

// What the conversion being predicted writes, and whether it asks.
struct DeepCheckTarget
{
    SequenceFormat format = SequenceFormat::Psq;
    PathMap pathMap;
    // The window's conversion asks for a file a substitution lacks; the tool's stops there.
    bool asksForFiles = false;
};

// audioLocation decides the probe's WAV companion, as for the conversion.
// goOn, when given, is asked before each row; false stops the check there,
// with stopped set and no files.
DeepCheckReport deepCheck(const ScheduleTable &table, const ClipResolver &resolver,
    const QString &audioLocation, ListingCache *listings = nullptr, const RowSelection *selection = nullptr,
    const DeepCheckTarget &target = {}, const std::function<bool(int row)> &goOn = {});

// HH:MM:SS:FF of a number of frames at a clip's rate; drop-frame rates
// (29.97, 59.94) count as drop-frame time code with ";" before the frames.
// Other fractional rates count whole seconds of real time.
QString timecode(quint64 frames, const MediaFacts &rate);

// A timeline's length at its rate; hours run past a day.
QString timelineDuration(qint64 frames, const EditRate &rate);

// "найден", "не найден", "не найден, спросит файл", "неоднозначен: 2 файла",
// "ошибка AVI: ...", "не запишется: ...", "файл не существует: ...", "пустая ячейка", "скрыта", "не выбрана"
QString deepCheckStatusText(const DeepCheckRow &row);

// The report as the window shows it, a ';'-separated Windows-1251 table;
// characters the code page lacks become "?".
QByteArray deepCheckCsv(const DeepCheckReport &report);

} // namespace lintaro
