#pragma once

#include <QString>

namespace lintaro {

// Named text values that carry the operator's state from one run to the next.
// Every read and write goes to the store at once; nothing is cached or kept open.
// On Windows the values are written under
// HKEY_CURRENT_USER\SOFTWARE\Velmar Software\Lintaro, where a standard user may
// write; a value absent there is read from the key earlier versions kept,
// HKEY_LOCAL_MACHINE\SOFTWARE\Velmar Software\Lintaro (32-bit view), so an
// operator's layout and audio setting carry over. Elsewhere the values live in
// a per-user file, which honours XDG_CONFIG_HOME.
class SettingsStore
{
public:
    static const QString kUserKey;    // HKEY_CURRENT_USER\SOFTWARE\Velmar Software\Lintaro
    static const QString kMachineKey; // HKEY_LOCAL_MACHINE\SOFTWARE\Velmar Software\Lintaro

    // The platform's own location.
    SettingsStore();
    // A settings file of the given path, for tools and tests.
    explicit SettingsStore(const QString &iniFile);
    // Registry keys of one's own (Windows only), for tests: writes go to
    // userKey, reads fall back to machineKey in its 32-bit view.
    static SettingsStore inRegistry(const QString &userKey, const QString &machineKey);

    // The value's text; empty when it is absent. Throws
    // Failure("Invalid data type for '<name>'") for a value that is not text.
    QString read(const QString &name) const;

    // Stores the text unchanged. Throws Failure("Failed to set data for '<name>'").
    void write(const QString &name, const QString &value);

    // Where the values are written, for the README and error messages.
    QString location() const;

private:
    QString m_iniFile; // empty: the registry on Windows, the per-user file elsewhere
    QString m_userKey = kUserKey;
    QString m_machineKey = kMachineKey;
};

} // namespace lintaro
