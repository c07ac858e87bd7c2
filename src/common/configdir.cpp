#include "configdir.h"

#include <QCoreApplication>
#include <QDir>

namespace lintaro {

QString configDirectory()
{
    const QString overridden = qEnvironmentVariable("LINTARO_CONFIG_DIR");
    if (!overridden.isEmpty())
        return overridden;
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QDir::currentPath();
}

} // namespace lintaro
