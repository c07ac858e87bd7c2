#include "clipresolver.h"

#include "common/interaction.h"
#include "common/textfile.h"
#include "lookup/cliptypes.h"
#include "lookup/directorylisting.h"
#include "lookup/entrycheck.h"
#include "lookup/listingcache.h"
#include "lookup/searchfoldermodel.h"
#include "lookup/substitutionmodel.h"

namespace lintaro {

ClipResolver::ClipResolver(const SearchFolderModel &folders, SubstitutionModel &substitutions,
                           Interaction &interaction)
    : m_folders(folders), m_substitutions(substitutions), m_interaction(interaction), m_types(cliptypes::defaults())
{
}

void ClipResolver::setClipTypes(const QStringList &types)
{
    m_types = cliptypes::cleaned(types);
}

QString ClipResolver::errorCaption()
{
    return QStringLiteral("Ошибка поиска файла");
}

QStringList ClipResolver::unavailableFolders() const
{
    QStringList unavailable;
    for (const QString &folder : m_folders.list().texts()) {
        if (!folder.isEmpty() && !unavailable.contains(folder) && !DirectoryListing::canList(folder))
            unavailable.append(folder);
    }
    return unavailable;
}

QString ClipResolver::unavailableText(const QString &folder)
{
    return QStringLiteral("Директория поиска недоступна: ") + folder;
}

QString ClipResolver::unavailableQuestion(const QString &folder)
{
    return unavailableText(folder) + QStringLiteral(". Продолжить без нее?");
}

bool ClipResolver::isAgeMark(QStringView inside)
{
    const QStringView mark = inside.trimmed();
    if (!mark.endsWith(u'+'))
        return false;
    const QStringView age = mark.chopped(1).trimmed();
    return age == u"0" || age == u"6" || age == u"12" || age == u"16" || age == u"18";
}

std::optional<QString> ClipResolver::clipCode(QStringView cell)
{
    for (qsizetype from = 0;;) {
        const qsizetype open = cell.indexOf(u'(', from);
        if (open < 0)
            return std::nullopt;
        const QStringView code = cell.sliced(open + 1).left(CodeSearchLength);
        const qsizetype close = code.indexOf(u')');
        if (close < 0)
            return std::nullopt;
        // "Х/ф Брат (16+) (FILM1997)": the age mark is part of the title.
        if (!isAgeMark(code.first(close)))
            return code.first(close).toString();
        from = open + 1 + close + 1;
    }
}

std::optional<QString> ClipResolver::searchedCode(QStringView cell)
{
    const std::optional<QString> code = clipCode(cell);
    if (!code)
        return std::nullopt;
    return textfile::trimmedControl(*code).toString();
}

QList<ClipResolver::Candidate> ClipResolver::bracketCandidates(const QString &code, ListingCache *cache) const
{
    // "()" would match every clip of the archive; with one file per type it
    // would even be found.
    if (textfile::trimmedControl(code).isEmpty())
        return {};
    // Several candidates are as final as one: the next type is tried only
    // when this one matched nothing in any folder.
    const QChar separator = DirectoryListing::separator();
    for (const QString &type : m_types) {
        const QString suffix = QStringLiteral(".") + type;
        QList<Candidate> candidates;
        const QStringList folderTexts = m_folders.list().texts();
        if (cache) {
            for (const ListingCache::Hit &hit : cache->listEach(folderTexts, code + u'*' + suffix)) {
                if (hit.name.startsWith(code, Qt::CaseSensitive))
                    candidates.append({folderTexts[hit.folder] + separator, hit.name, type});
            }
            if (!candidates.isEmpty())
                return candidates;
            continue;
        }
        for (const QString &folderText : folderTexts) {
            if (folderText.isEmpty())
                continue;
            const QString folder = folderText + separator;
            const QString pattern = folder + code + u'*' + suffix;
            for (const QString &name : DirectoryListing::list(pattern)) {
                if (name.startsWith(code, Qt::CaseSensitive))
                    candidates.append({folder, name, type});
            }
        }
        if (!candidates.isEmpty())
            return candidates;
    }
    return {};
}

std::optional<QString> ClipResolver::chooseCandidate(const QString &code, const QList<Candidate> &candidates)
{
    if (candidates.isEmpty())
        return std::nullopt;
    if (candidates.size() == 1)
        return candidates[0].path();
    const QString exact = (code + u'.' + candidates[0].type).toUpper();
    for (const Candidate &candidate : candidates) {
        if (candidate.name.toUpper() == exact)
            return candidate.path();
    }
    return std::nullopt;
}

std::optional<QString> ClipResolver::bracketSearch(const QString &code, bool quiet, ListingCache *cache) const
{
    const QList<Candidate> candidates = bracketCandidates(code, cache);
    const std::optional<QString> chosen = chooseCandidate(code, candidates);
    if (!chosen && candidates.size() > 1 && !quiet) {
        QString text = QStringLiteral("Поиск ") + code + QStringLiteral("*.") + candidates[0].type
            + QStringLiteral(" дал более одного результата:\n");
        for (qsizetype i = 0; i < candidates.size() && i < ShownCandidates; ++i)
            text += candidates[i].path() + u'\n';
        ++m_questionsAsked;
        m_interaction.message(errorCaption(), text, MessageIcon::Error);
    }
    return chosen;
}

std::optional<QString> ClipResolver::substitutionLookup(const QString &name, bool quiet) const
{
    // No name is no clip: the empty row of an empty table is no pair for it.
    if (name.isEmpty())
        return std::nullopt;
    const SubstitutionTable &table = m_substitutions.table();
    if (const int row = table.find(name); row >= 0)
        return table.row(row).path;
    if (quiet)
        return std::nullopt;

    // A name the file cannot carry would come back cut or changed: no prompt for it.
    ++m_questionsAsked;
    if (const QString why = SubstitutionTable::nameRefusal(name); !why.isEmpty()) {
        m_interaction.message(entrycheck::caption(), why, MessageIcon::Warning);
        return std::nullopt;
    }
    FilePicker &picker = m_substitutions.picker();
    for (;;) {
        const std::optional<QString> chosen
            = picker.pick(m_interaction, FilePicker::titleFor(name), m_types, false);
        if (!chosen)
            return std::nullopt;
        if (const QString why = SubstitutionTable::pathRefusal(*chosen); !why.isEmpty()) {
            m_interaction.message(entrycheck::caption(), why, MessageIcon::Warning);
            continue; // ask again; a cancel ends the prompt
        }
        picker.setFileName(*chosen);
        m_substitutions.appendPair(name, *chosen);
        return chosen;
    }
}

} // namespace lintaro
