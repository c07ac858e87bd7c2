#pragma once

#include "schedule/rowuse.h"
#include "sequence/pathmap.h"
#include "sequence/sequencewriter.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace lintaro {
class ScheduleTable;
class SettingsStore;
} // namespace lintaro

namespace lintaro::cli {

// The schedule file and its column roles, as check and convert take them:
// SCHEDULE [--sheet NAME] [--source N] [--separator N]... [--type EXT]... [--rows A-B]...,
// columns counted from 0, data rows from 1. Without --source the layout stored by the last conversion
// applies, as on opening; without --type the stored clip types do.
class ScheduleArguments
{
public:
    enum class Take {
        NotMine, // not one of these options
        Taken,   // the option (and its value) consumed
        Bad,     // one of these options, but wrong; see error()
    };

    enum class Parsed { Ready, Help, Wrong };
    // A command's own options, offered every option the column options did
    // not take; Bad sets error.
    using ExtraOptions = std::function<Take(const QStringList &arguments, qsizetype &i, QString &error)>;

    // The whole command line: "--", "-h"/"--help", the column options, the
    // command's own options and the schedule path, then validate(). On Wrong,
    // error() says why.
    Parsed parse(const QStringList &arguments, const ExtraOptions &extra = {});

    // "--name VALUE" or "--name=VALUE" at arguments[i]: Taken with value set,
    // Bad when the value is missing, NotMine for any other argument.
    static Take takeValue(const QStringList &arguments, qsizetype &i, const QString &name,
                          std::optional<QString> &value, QString &error);

    // Looks at arguments[i]; a value in the next argument moves i on to it.
    Take takeOption(const QStringList &arguments, qsizetype &i);
    // The positional argument; false when the schedule was already named.
    bool takeSchedule(const QString &argument);

    // After all arguments: empty when they fit together, else why not.
    QString validate() const;
    const QString &error() const { return m_error; }

    const QString &schedulePath() const { return m_schedulePath; }
    const std::optional<int> &source() const { return m_source; }
    const QList<int> &separators() const { return m_separators; }
    // The clip types given with --type, in order; empty when none was given.
    const QStringList &types() const { return m_types; }
    // The union of the --rows ranges; nothing when none was given (every row).
    const std::optional<RowSelection> &rows() const { return m_rows; }
    // The sheet of a workbook given with --sheet: a name, or a number counting
    // the visible sheets from 1.
    const std::optional<QString> &sheet() const { return m_sheet; }

    // The clip types for this call: the given ones, which replace the stored
    // list for this call only, or the stored list. Throws what the store throws.
    QStringList clipTypes(const SettingsStore &settings) const;

    // "--format KEY" and "--map LOCAL=REMOTE" (any number), which convert and
    // the deep check share; Bad for a pair that cannot be used.
    Take takeOutputOption(const QStringList &arguments, qsizetype &i, QString &error);
    bool hasOutputOptions() const { return m_formatKey || m_maps; }
    // The format given, psq without --format; nothing for an unknown name,
    // with formatError() saying so.
    std::optional<SequenceFormat> format() const;
    QString formatError() const;
    // The given pairs, which replace the stored ones for this call, or the
    // stored PathMap. Throws what the store throws and a damaged value.
    PathMap pathMap(const SettingsStore &settings) const;

    // Reads the schedule and marks its columns: the given ones, or the stored
    // layout. Throws Failure for a file that cannot be read, an empty schedule,
    // a column or a --rows row it does not have, or a damaged stored layout; a sheet that
    // --sheet does not name, --sheet for a text schedule and a workbook of
    // several sheets without it are usage errors, listing the visible sheets.
    ScheduleTable loadTable(const SettingsStore &settings) const;

    // Said when neither --source nor a stored layout names the Source column:
    // there is no mouse here, so it names the option instead.
    static QString noSourceText();

private:
    std::optional<int> columnValue(const QString &option, const QString &text);
    Take takeRows(const QString &text);

    QString m_schedulePath;
    std::optional<int> m_source;
    QList<int> m_separators;
    QStringList m_types;
    std::optional<RowSelection> m_rows;
    std::optional<QString> m_formatKey;
    std::optional<QList<PathMapping>> m_maps;
    std::optional<QString> m_sheet;
    QString m_error;
};

} // namespace lintaro::cli
