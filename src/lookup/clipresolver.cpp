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

std::optional<QString> ClipResolver::clipCode(QStringView cell)
{
    const qsizetype open = cell.indexOf(u'(');
    if (open < 0)
        return std::nullopt;
    const QStringView code = cell.sliced(open + 1).left(CodeSearchLength);
    const qsizetype close = code.indexOf(u')');
    if (close < 0)
        return std::nullopt;
    return code.first(close).toString();
}

std::optional<QString> ClipResolver::searchedCode(QStringView cell)
{
    const std::optional<QString> code = clipCode(cell);
    if (!code)
        return std::nullopt;
    return textfile::trimmedControl(*code).toString();
}

std::optional<QString> ClipResolver::bracketSearch(const QString &code, bool quiet, ListingCache *cache) const
{
    // Several candidates are as final as one: the next type is tried only
    // when this one matched nothing in any folder.
    for (const QString &type : m_types) {
        bool candidates = false;
        std::optional<QString> found = searchType(code, type, quiet, cache, &candidates);
        if (found || candidates)
            return found;
    }
    return std::nullopt;
}

std::optional<QString> ClipResolver::searchType(const QString &code, const QString &type, bool quiet,
                                                ListingCache *cache, bool *candidates) const
{
    const QChar separator = DirectoryListing::separator();
    const QString suffix = QStringLiteral(".") + type;
    QStringList names;
    QStringList folders;
    for (const QString &folderText : m_folders.list().texts()) {
        const QString folder = folderText + separator;
        const QString pattern = folder + code + u'*' + suffix;
        const QStringList listed = cache ? cache->list(pattern) : DirectoryListing::list(pattern);
        for (const QString &name : listed) {
            if (name.startsWith(code, Qt::CaseSensitive)) {
                names.append(name);
                folders.append(folder);
            }
        }
    }

    *candidates = !names.isEmpty();
    if (names.isEmpty())
        return std::nullopt;
    if (names.size() == 1)
        return folders[0] + names[0];
    const QString exact = (code + suffix).toUpper();
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (names[i].toUpper() == exact)
            return folders[i] + names[i];
    }
    if (!quiet) {
        QString text = QStringLiteral("Поиск ") + code + u'*' + suffix + QStringLiteral(" дал более одного результата:\n");
        for (qsizetype i = 0; i < names.size() && i < ShownCandidates; ++i)
            text += folders[i] + names[i] + u'\n';
        m_interaction.message(errorCaption(), text, MessageIcon::Error);
    }
    return std::nullopt;
}

std::optional<QString> ClipResolver::substitutionLookup(const QString &name, bool quiet) const
{
    const SubstitutionTable &table = m_substitutions.table();
    if (const int row = table.find(name); row >= 0)
        return table.row(row).path;
    if (quiet)
        return std::nullopt;

    // A name the file cannot carry would come back cut or changed: no prompt for it.
    if (const QString why = SubstitutionTable::nameRefusal(name); !why.isEmpty()) {
        m_interaction.message(entrycheck::caption(), why, MessageIcon::Warning);
        return std::nullopt;
    }
    FilePicker &picker = m_substitutions.picker();
    for (;;) {
        const std::optional<QString> chosen = picker.pick(m_interaction, FilePicker::titleFor(name), m_types);
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
