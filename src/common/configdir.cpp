#include "configdir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace lintaro {

namespace {

QString ensured(const QString &folder)
{
    // A folder that cannot be made is left to the write that follows, which
    // then reports "Cannot create file" with the path.
    QDir().mkpath(folder);
    return folder;
}

} // namespace

bool isInstalledLayout(const QString &executableDir)
{
    if (executableDir.isEmpty())
        return false;
    const QFileInfo exe(QDir::cleanPath(executableDir));
    if (exe.fileName() != QLatin1String("bin"))
        return false;
    return QFileInfo(exe.absoluteFilePath() + QStringLiteral("/../share/lintaro")).isDir();
}

QString userConfigBase()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // XDG: only an absolute XDG_CONFIG_HOME counts.
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return QDir::cleanPath(xdg);
    return QDir::homePath() + QStringLiteral("/.config");
#else
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
#endif
}

QString chooseConfigDirectory(const QString &executableDir, const QString &overrideDir,
                              const QString &userConfigBase)
{
    if (!overrideDir.isEmpty())
        return QDir::cleanPath(overrideDir);
    if (isInstalledLayout(executableDir))
        return QDir::cleanPath(userConfigBase + QStringLiteral("/Lintaro"));
    return QDir::cleanPath(executableDir);
}

QString configDirectory()
{
    const QString overrideDir = qEnvironmentVariable("LINTARO_CONFIG_DIR");
    const QString executableDir
        = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    const QString chosen = chooseConfigDirectory(executableDir, overrideDir, userConfigBase());
    if (chosen != QDir::cleanPath(executableDir))
        return ensured(chosen);
    return chosen;
}

ConfigFileAccess diskAccess()
{
    ConfigFileAccess access;
    access.exists = [](const QString &path) { return QFileInfo::exists(path); };
    access.canWrite = [](const QString &path) {
        if (QFileInfo::exists(path)) {
            QFile file(path);
            return file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly);
        }
        // Rights on a folder are not told by its attributes on Windows: only a
        // file actually made there answers.
        QTemporaryFile probe(QFileInfo(path).absolutePath() + QStringLiteral("/.lintaro-probe-XXXXXX"));
        return probe.open();
    };
    return access;
}

ConfigFilePlace chooseWindowsConfigFilePlace(const QString &fileName, const QString &executableDir,
                                             const QString &overrideDir, const QString &appDataDir,
                                             const ConfigFileAccess &access)
{
    if (!overrideDir.isEmpty()) {
        const QString path = QDir(QDir::cleanPath(overrideDir)).filePath(fileName);
        return {path, path};
    }
    const QString beside = QDir(QDir::cleanPath(executableDir)).filePath(fileName);
    if (access.canWrite(beside))
        return {beside, beside};
    const QString perUser = QDir::cleanPath(appDataDir + QStringLiteral("/Lintaro/") + fileName);
    return {access.exists(perUser) ? perUser : beside, perUser};
}

ConfigFilePlace configFilePlace(const QString &fileName, bool makeFolders)
{
#ifdef Q_OS_WIN
    const QString executableDir
        = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    QString appData = qEnvironmentVariable("APPDATA");
    if (appData.isEmpty())
        appData = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString overrideDir = qEnvironmentVariable("LINTARO_CONFIG_DIR");
    const ConfigFilePlace place
        = chooseWindowsConfigFilePlace(fileName, executableDir, overrideDir, appData, diskAccess());
    if (makeFolders && QFileInfo(place.savePath).absolutePath() != QDir::cleanPath(executableDir))
        ensured(QFileInfo(place.savePath).absolutePath());
    return place;
#else
    const QString folder = makeFolders ? configDirectory()
                                       : chooseConfigDirectory(QCoreApplication::applicationDirPath(),
                                                               qEnvironmentVariable("LINTARO_CONFIG_DIR"),
                                                               userConfigBase());
    const QString path = QDir(folder).filePath(fileName);
    return {path, path};
#endif
}

} // namespace lintaro
