#include "readonlylookups.h"

#include "common/configdir.h"

#include <QCoreApplication>
#include <QDir>

namespace lintaro::cli {

ReadOnlyLookups::ReadOnlyLookups(SettingsStore &settings, Interaction &interaction)
    : m_substitutions(settings), m_resolver(m_folders, m_substitutions, interaction)
{
}

QString ReadOnlyLookups::configFolder()
{
    // The same choice as configDirectory(), without making the folder: a
    // missing folder simply holds no lists.
    return chooseConfigDirectory(
        QCoreApplication::applicationDirPath(), qEnvironmentVariable("LINTARO_CONFIG_DIR"), userConfigBase());
}

void ReadOnlyLookups::load()
{
    const QDir folder(configFolder());
    m_folders.load(folder.filePath(QString::fromLatin1(SearchFolderList::FileName)));
    m_substitutions.load(folder.filePath(QString::fromLatin1(SubstitutionTable::FileName)));
}

} // namespace lintaro::cli
