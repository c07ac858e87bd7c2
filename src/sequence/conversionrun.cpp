#include "conversionrun.h"

#include "common/cp1251.h"
#include "common/interaction.h"
#include "lookup/clipresolver.h"
#include "lookup/listingcache.h"
#include "schedule/columnlayout.h"
#include "schedule/scheduletable.h"
#include "sequence/aviprobe.h"
#include "sequence/conversionwalk.h"
#include "sequence/outputnames.h"
#include "sequence/psqwriter.h"

#include <vector>

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

ConversionRun::ConversionRun(Interaction &interaction, SettingsStore *settings, ClipResolver &resolver)
    : m_interaction(interaction), m_settings(settings), m_resolver(resolver)
{
}

QString ConversionRun::pathProblem(const QString &path)
{
    // The sequence files are Windows-1251 text with one value per line.
    if (!cp1251::canEncode(path))
        return cp1251::unencodableMessage(path);
    for (const QChar ch : path) {
        if (ch.unicode() < 32)
            return QStringLiteral("Путь к файлу \"%1\" содержит управляющий символ (код %2) и не может быть "
                                  "записан в PSQ файл")
                .arg(path)
                .arg(ch.unicode());
    }
    return {};
}

QString ConversionRun::notFoundText(const QString &source)
{
    return QStringLiteral("Не могу найти файл \"%1\"").arg(source);
}

ConversionRun::Result ConversionRun::run(const ScheduleTable &table, QString &saveFileName, const Hooks &hooks)
{
    Result result;
    if (table.sourceColumn() < 0) {
        m_interaction.message(kNoSourceCaption, kNoSourceText, MessageIcon::Warning);
        return result;
    }
    // Stored before anything else, and kept whatever happens later in the run.
    if (m_settings)
        storeLayout(table, *m_settings);

    const ProgressReset progressReset(hooks.progress);
    ListingCache ownListings;
    ListingCache &listings = m_listings ? *m_listings : ownListings;
    std::vector<PsqWriter> files;

    ConversionWalkHooks walkHooks;
    walkHooks.visitRow = hooks.visitRow;
    walkHooks.progress = hooks.progress;
    walkHooks.cancelled = hooks.cancelled;
    walkHooks.startFile = [&] { files.emplace_back(); };
    walkHooks.convertRow = [&](const QString &source) -> QString {
        const QString audioLocation = hooks.audioLocation ? hooks.audioLocation() : QString();
        const std::optional<QString> code = ClipResolver::clipCode(source);
        const std::optional<QString> path = code ? m_resolver.bracketSearch(*code, false, &listings)
                                                 : m_resolver.substitutionLookup(source, false);
        if (!path)
            return notFoundText(source);
        const QString unwritable = pathProblem(*path);
        if (!unwritable.isEmpty())
            return unwritable;
        const std::optional<MediaFacts> facts = probeClip(m_interaction, *path, audioLocation);
        if (!facts)
            return kProbeFailed;
        files.back().appendClip(*facts, *path);
        return {};
    };

    const ConversionWalkResult walk = walkSchedule(table, walkHooks);
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

    QStringList suffixes;
    for (const QString &suffix : walk.suffixes)
        suffixes.append(fileNameSafe(suffix));

    FileDialogRequest request;
    request.title = kSaveTitle;
    request.filters = parseFilterText(QStringLiteral("*.psq|*.psq"));
    request.initialFile = saveFileName;
    request.confirmOverwrite = false;
    const std::optional<QString> chosen = m_interaction.saveFile(request);
    if (!chosen) {
        result.outcome = Outcome::Cancelled;
        return result;
    }
    saveFileName = *chosen;

    const QStringList names = outputFileNames(namePrefix(*chosen, walk.separatorPresent), suffixes);
    for (size_t k = 0; k < files.size(); ++k) {
        files[k].writeFile(names[int(k)]);
        result.files.append(names[int(k)]);
        if (hooks.fileWritten)
            hooks.fileWritten(names[int(k)]);
    }
    result.outcome = Outcome::Written;
    return result;
}

} // namespace lintaro
