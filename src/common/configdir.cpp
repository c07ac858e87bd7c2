#include "configdir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

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

} // namespace lintaro
