#include "readonlylookups.h"

#include "common/configdir.h"

namespace lintaro::cli {

ReadOnlyLookups::ReadOnlyLookups(SettingsStore &settings, Interaction &interaction)
    : m_substitutions(settings), m_resolver(m_folders, m_substitutions, interaction)
{
}

void ReadOnlyLookups::load()
{
    m_folders.load(configFilePlace(QString::fromLatin1(SearchFolderList::FileName), false).readPath);
    m_substitutions.load(configFilePlace(QString::fromLatin1(SubstitutionTable::FileName), false).readPath);
}

} // namespace lintaro::cli
