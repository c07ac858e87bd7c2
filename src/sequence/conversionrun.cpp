#include "conversionrun.h"

#include "common/failure.h"
#include "common/filelock.h"
#include "common/fileset.h"
#include "common/interaction.h"
#include "common/textfile.h"
#include "lookup/clipresolver.h"
#include "lookup/listingcache.h"
#include "schedule/columnlayout.h"
#include "schedule/scheduletable.h"
#include "sequence/conversionwalk.h"
#include "sequence/mediaprobe.h"
#include "sequence/outputnames.h"
#include "sequence/probecache.h"
#include "schedule/rowuse.h"

#include <QFileInfo>

namespace lintaro {

namespace {

// Puts the progress back to 0 on every way out of the run, errors included.
class ProgressReset
{
public:
    explicit ProgressReset(const std::function<void(int)> &progress) : m_progress(progress) {}
    ~ProgressReset()
    {
        if (m_progress)
            m_progress(0);
    }

private:
    const std::function<void(int)> &m_progress;
};

} // namespace

QStringList ConversionRun::quietlyResolved(const ScheduleTable &table, const ClipResolver &resolver,
                                           ListingCache &listings, const RowSelection *selection)
{
    QStringList paths;
    const int source = table.sourceColumn();
    if (source < 0)
        return paths;
    for (int r = 1; r < table.rowCount(); ++r) {
        if (rowUse(table, r, selection) != RowUse::Converted)
            continue;
        const QString cell = textfile::trimmedControl(table.cellView(source, r)).toString();
        const std::optional<QString> code = ClipResolver::searchedCode(cell);
        const std::optional<QString> path
            = code ? resolver.bracketSearch(*code, true, &listings) : resolver.substitutionLookup(cell, true);
        if (path && pathProblem(*path).isEmpty())
            paths.append(*path);
    }
    return paths;
}

ConversionRun::ConversionRun(Interaction &interaction, SettingsStore *settings, ClipResolver &resolver)
    : m_interaction(interaction), m_settings(settings), m_resolver(resolver)
{
}

QString ConversionRun::pathProblem(const QString &path)
{
    // Every format writes one value per line, and XML carries no control characters.
    for (const QChar ch : path) {
        if (ch.unicode() < 32)
            return QStringLiteral("Путь к файлу \"%1\" содержит управляющий символ (код %2) и не может быть "
                                  "записан в файл последовательности")
                .arg(path, QString::number(ch.unicode()));
    }
    return {};
}

QString ConversionRun::notFoundText(const QString &source)
{
    return QStringLiteral("Не могу найти файл \"%1\"").arg(source);
}

QString ConversionRun::busyText(const QString &prefix)
{
    return QStringLiteral("Файлы заняты другой конвертацией: ") + prefix;
}

QString ConversionRun::manyFilesQuestion(int files)
{
    return QStringLiteral("Будет записано файлов: %1. Продолжить?").arg(files);
}

ConversionRun::Result ConversionRun::run(const ScheduleTable &table, QString &saveFileName, const Hooks &hooks)
{
    Result result;
    if (table.sourceColumn() < 0) {
        m_interaction.message(kNoSourceCaption, kNoSourceText, MessageIcon::Warning);
        return result;
    }
    // A share that is not mounted would make a clip of another folder the
    // only match, and put it on air.
    for (const QString &folder : m_resolver.unavailableFolders()) {
        if (m_interaction.message(ClipResolver::errorCaption(), ClipResolver::unavailableQuestion(folder),
                                  MessageIcon::Warning, MessageButtons::YesNo)
            != MessageAnswer::Yes) {
            result.outcome = Outcome::Declined;
            return result;
        }
    }
    // Stored before anything else, and kept whatever happens later in the run.
    if (m_settings)
        storeLayout(table, *m_settings);

    const ProgressReset progressReset(hooks.progress);
    ListingCache ownListings;
    ListingCache &listings = m_listings ? *m_listings : ownListings;
    listings.revalidate(); // after the questions above
    QList<SequenceFile> files;
    ProbeCache probes;
    probes.prefetch(quietlyResolved(table, m_resolver, listings),
                    hooks.audioLocation ? hooks.audioLocation() : QString());

    ConversionWalkHooks walkHooks;
    walkHooks.visitRow = hooks.visitRow;
    walkHooks.progress = hooks.progress;
    walkHooks.cancelled = hooks.cancelled;
    walkHooks.startFile = [&] { files.append(SequenceFile()); };
    walkHooks.convertRow = [&](const QString &source) -> QString {
        const QString audioLocation = hooks.audioLocation ? hooks.audioLocation() : QString();
        const std::optional<QString> code = ClipResolver::searchedCode(source);
        const int asked = m_resolver.questionsAsked();
        const std::optional<QString> path = code ? m_resolver.bracketSearch(*code, false, &listings)
                                                 : m_resolver.substitutionLookup(source, false);
        if (m_resolver.questionsAsked() != asked)
            listings.revalidate();
        if (!path)
            return notFoundText(source);
        if (hooks.clipFound)
            hooks.clipFound(*path);
        const QString mappedPath = m_pathMap.apply(*path);
        const QString unwritable = pathProblem(mappedPath);
        if (!unwritable.isEmpty())
            return unwritable;
        const std::optional<MediaFacts> facts = probeClip(m_interaction, *path, audioLocation, &probes);
        if (!facts) {
            listings.revalidate(); // after the probe's message
            return boxText(kProbeFailed, *path);
        }
        files.back().clips.append(sequenceClip(*facts, mappedPath));
        return {};
    };

    const ConversionWalkResult walk = walkSchedule(table, walkHooks, m_selection);
    result.emptyRows = walk.emptyRows;
    if (walk.cancelled) {
        result.outcome = Outcome::Interrupted;
        result.failedRow = walk.failedRow;
        return result;
    }
    if (walk.failed) {
        m_interaction.message(kErrorCaption, walk.error, MessageIcon::Warning);
        result.outcome = Outcome::RowFailed;
        result.failedRow = walk.failedRow;
        return result;
    }
    if (hooks.progress)
        hooks.progress(0);
    if (m_askBeforeManyFiles && manyFiles(int(files.size()), walk.convertedRows)
        && m_interaction.message(kManyFilesCaption, manyFilesQuestion(int(files.size())),
               MessageIcon::Question, MessageButtons::YesNo)
            != MessageAnswer::Yes) {
        result.outcome = Outcome::Cancelled;
        return result;
    }

    QStringList suffixes;
    for (const QString &suffix : walk.suffixes)
        suffixes.append(fileNameSafe(suffix));

    FileDialogRequest request;
    request.title = kSaveTitle;
    const QList<SequenceFormatInfo> &formats = sequenceFormats();
    for (const SequenceFormatInfo &format : formats) {
        request.filters += parseFilterText(format.filter);
        if (format.format == m_format)
            request.selectedFilter = int(request.filters.size()) - 1;
    }
    request.initialFile = saveFileName;
    request.confirmOverwrite = false;
    const std::optional<SaveChoice> chosen = m_interaction.saveFileChoice(request);
    if (!chosen) {
        result.outcome = Outcome::Cancelled;
        return result;
    }
    saveFileName = chosen->path;
    // A format guessed would put files on air that no editor was asked for.
    if (chosen->filter < 0 || chosen->filter >= formats.size())
        throw Failure(kUnknownFilter);
    const SequenceFormatInfo &format = formats[chosen->filter];
    result.format = format.format;
    m_format = format.format;

    const QString prefix = namePrefix(chosen->path, false, format.extension);
    const QStringList names
        = outputFileNames(walk.separatorPresent ? prefix + u'^' : prefix, suffixes, format.extension);
    // Every file is rendered before the first is written, so a path the
    // format cannot carry leaves nothing written.
    const std::unique_ptr<SequenceWriter> writer = makeSequenceWriter(format.format);
    QList<OutputFile> output;
    for (qsizetype k = 0; k < files.size(); ++k) {
        files[k].name = QFileInfo(names[k]).fileName().chopped(format.extension.size());
        output.append({names[k], writer->render(files[k])});
    }
    // All or nothing: a day made of two schedules must never reach the air,
    // also when two runs write the same names at once. An empty set replaces
    // nothing and takes no lock.
    if (!output.isEmpty()) {
        const FileLock lock(prefix + QStringLiteral(".lock"));
        if (!lock.acquired())
            throw Failure(busyText(prefix));
        result.files = writeFileSet(output, hooks.fileWritten);
    }
    result.outcome = Outcome::Written;
    return result;
}

} // namespace lintaro
