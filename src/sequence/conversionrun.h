#pragma once

#include "sequence/pathmap.h"
#include "sequence/sequencewriter.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace lintaro {

class ClipResolver;
class Interaction;
class ListingCache;
struct RowSelection;
class ScheduleTable;
struct RowSelection;
class SettingsStore;

// The Convert command: stores the column layout, walks the schedule resolving
// and probing every clip, and only when every row succeeded asks for a name
// prefix and writes all sequence files. The first failing row ends the run
// with its message and nothing is written.
class ConversionRun
{
public:
    struct Hooks
    {
        // The grid follows the run.
        std::function<void(int row)> visitRow;
        // Shows the progress percent and lets the window repaint.
        std::function<void(int percent)> progress;
        // Where the clips' sound lies, read anew for every row.
        std::function<QString()> audioLocation;
        // A sequence file replaced its target; a failed run replaces none
        // (see writeFileSet for the one exception).
        std::function<void(const QString &path)> fileWritten;
        // The file the current row's clip was found in, before it is read.
        std::function<void(const QString &path)> clipFound;
        // Asked before each row; true ends the run there with nothing written.
        std::function<bool()> cancelled;
    };

    static inline const QString kNoSourceCaption = QStringLiteral("Не могу конвертнуть");
    static inline const QString kNoSourceText
        = QStringLiteral("Пожалуйста, назначьте столбец Источника правой кнопкой мыши");
    static inline const QString kErrorCaption = QStringLiteral("Ошибка конвертации");
    static inline const QString kManyFilesCaption = QStringLiteral("Конвертация");
    static inline const QString kProbeFailed = QStringLiteral("Ошибка обработки AVI файла");
    static inline const QString kSaveTitle
        = QStringLiteral("Укажите префикс имени PSQ файлов для сохранения результатов");
    static inline const QString kUnknownFilter
        = QStringLiteral("Диалог сохранения не сообщил, какой тип файла выбран. Файлы не записаны.");

    enum class Outcome {
        NoSourceColumn, // the precondition message was shown
        RowFailed,      // a row's message was shown; nothing written
        Cancelled,      // the save dialog was cancelled; nothing written
        Interrupted,    // the operator stopped the walk; nothing written
        Declined,       // the operator would not go on without a search folder; nothing written
        Written,        // every file written (none, when no row was converted)
    };
    struct Result
    {
        Outcome outcome = Outcome::NoSourceColumn;
        int failedRow = -1;
        QStringList files; // written, in order
        SequenceFormat format = SequenceFormat::Psq; // the one chosen in the save dialog
        int emptyRows = 0; // rows met without a clip, passed over
    };

    // settings is null for the command-line tool, which stores nothing.
    ConversionRun(Interaction &interaction, SettingsStore *settings, ClipResolver &resolver);

    // Folder listings kept from earlier runs; without it the run keeps its own.
    void setListings(ListingCache *listings) { m_listings = listings; }
    // The rows chosen, kept by the caller until the run ends; null for every row.
    void setSelection(const RowSelection *selection) { m_selection = selection; }

    // Runs the command. saveFileName is the save dialog's file name: its initial
    // file, and the name chosen, when one is. A file that cannot be created
    // throws Failure naming it; then no target has changed, unless a target
    // had to be written in place (the message says so). A save dialog that
    // names no filter it offered throws Failure too, with nothing written.
    Result run(const ScheduleTable &table, QString &saveFileName, const Hooks &hooks);

    // The format the save dialog offers first (the last one chosen); the
    // filter chosen in the dialog decides the format of the run.
    // After a run, the format chosen in it, also when writing failed.
    // More files than one, and more than half the converted rows, usually mean
    // a wrong separator column: the window asks before the save dialog, with
    // this text; No ends the run with nothing written. The tool never asks.
    void setAskBeforeManyFiles(bool ask) { m_askBeforeManyFiles = ask; }
    static QString manyFilesQuestion(int files);
    static bool manyFiles(int files, int convertedRows) { return files > 1 && files * 2 > convertedRows; }

    void setFormat(SequenceFormat format) { m_format = format; }
    SequenceFormat format() const { return m_format; }
    // Applied to every clip path written into the files; lookup and probing
    // use the local path.
    void setPathMap(const PathMap &pathMap) { m_pathMap = pathMap; }

    // "Не могу найти файл "SOURCE"".
    static QString notFoundText(const QString &source);
    // "Файлы заняты другой конвертацией: PREFIX", when another run holds PREFIX.lock.
    static QString busyText(const QString &prefix);

    // Why a clip path cannot go into a sequence file of any format (a control
    // character such as a line break), or empty when it can. Whether the
    // format's encoding carries every character is found when it is written.
    static QString pathProblem(const QString &path);

    // The clips of the rows the run converts that are found without a
    // question, in row order, for probing ahead of the walk.
    static QStringList quietlyResolved(const ScheduleTable &table, const ClipResolver &resolver,
                                       ListingCache &listings, const RowSelection *selection = nullptr);

private:
    Interaction &m_interaction;
    SettingsStore *m_settings;
    ClipResolver &m_resolver;
    SequenceFormat m_format = SequenceFormat::Psq;
    bool m_askBeforeManyFiles = false;
    PathMap m_pathMap;
    ListingCache *m_listings = nullptr;
    const RowSelection *m_selection = nullptr;
};

} // namespace lintaro
