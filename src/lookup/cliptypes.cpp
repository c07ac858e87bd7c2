#include "cliptypes.h"

#include "settings/settingsstore.h"
#include "settings/storedlist.h"

namespace lintaro::cliptypes {

QStringList known()
{
    return {QStringLiteral("avi"), QStringLiteral("mxf"), QStringLiteral("mov"), QStringLiteral("mp4"),
            QStringLiteral("mkv")};
}

QStringList defaults()
{
    return {QStringLiteral("avi")};
}

QString normalized(const QString &extension)
{
    QString type = extension.trimmed().toLower();
    if (type.startsWith(u'.'))
        type.remove(0, 1);
    return known().contains(type) ? type : QString();
}

QStringList cleaned(const QStringList &types)
{
    QStringList result;
    for (const QString &given : types) {
        const QString type = normalized(given);
        if (!type.isEmpty() && !result.contains(type))
            result.append(type);
    }
    return result.isEmpty() ? defaults() : result;
}

QStringList fromStored(const QString &text)
{
    return cleaned(splitStoredList(text));
}

QString toStored(const QStringList &types)
{
    return cleaned(types).join(u';');
}

QStringList read(const SettingsStore &settings)
{
    return fromStored(settings.read(kSettingName));
}

QString filterText(const QStringList &types)
{
    const QStringList chosen = cleaned(types);
    if (chosen == defaults())
        return QStringLiteral("Файлы Avi (*.avi)|*.AVI");
    QStringList patterns;
    for (const QString &type : chosen)
        patterns.append(QStringLiteral("*.") + type);
    return QStringLiteral("Видеофайлы (%1)|%2").arg(patterns.join(u' '), patterns.join(u';'));
}

} // namespace lintaro::cliptypes
