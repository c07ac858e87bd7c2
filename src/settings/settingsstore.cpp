#include "settingsstore.h"

#include "common/failure.h"

#include <QSettings>
#include <QVariant>

#include <memory>

namespace lintaro {

const QString SettingsStore::kUserKey = QStringLiteral("HKEY_CURRENT_USER\\SOFTWARE\\Velmar Software\\Lintaro");
const QString SettingsStore::kMachineKey
    = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Velmar Software\\Lintaro");

namespace {

std::unique_ptr<QSettings> openStore(const QString &iniFile, const QString &userKey)
{
    if (!iniFile.isEmpty())
        return std::make_unique<QSettings>(iniFile, QSettings::IniFormat);
#ifdef Q_OS_WIN
    return std::make_unique<QSettings>(userKey, QSettings::NativeFormat);
#else
    Q_UNUSED(userKey);
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QStringLiteral("Velmar Software"), QStringLiteral("Lintaro"));
#endif
}

} // namespace

SettingsStore::SettingsStore() = default;

SettingsStore::SettingsStore(const QString &iniFile) : m_iniFile(iniFile) {}

SettingsStore SettingsStore::inRegistry(const QString &userKey, const QString &machineKey)
{
    SettingsStore store;
    store.m_userKey = userKey;
    store.m_machineKey = machineKey;
    return store;
}

QString SettingsStore::read(const QString &name) const
{
    QVariant value = openStore(m_iniFile, m_userKey)->value(name);
#ifdef Q_OS_WIN
    if (!value.isValid() && m_iniFile.isEmpty())
        value = QSettings(m_machineKey, QSettings::Registry32Format).value(name);
#endif
    if (!value.isValid())
        return {};
    if (value.typeId() != QMetaType::QString && value.typeId() != QMetaType::QByteArray)
        throw Failure(QStringLiteral("Invalid data type for '%1'").arg(name));
    return value.toString();
}

void SettingsStore::write(const QString &name, const QString &value)
{
    const auto store = openStore(m_iniFile, m_userKey);
    store->setValue(name, value);
    store->sync();
    const QString failed = QStringLiteral("Failed to set data for '%1'").arg(name);
    if (store->status() == QSettings::AccessError || !store->isWritable())
        throw Failure(failed);
    // A damaged line read on opening leaves FormatError standing, and that
    // hides the write's own status; the value on disk tells.
    if (store->status() == QSettings::FormatError && openStore(m_iniFile, m_userKey)->value(name) != QVariant(value))
        throw Failure(failed);
}

QString SettingsStore::location() const
{
    return openStore(m_iniFile, m_userKey)->fileName();
}

} // namespace lintaro
