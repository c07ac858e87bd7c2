#pragma once

#include <QString>

namespace lintaro {

// Named text values that carry the operator's state from one run to the next.
// Every read and write goes to the store at once; nothing is cached or kept open.
// On Windows the values live under HKEY_LOCAL_MACHINE\SOFTWARE\Velmar Software\Lintaro
// (32-bit view, shared with existing installations); elsewhere in a per-user
// file, which honours XDG_CONFIG_HOME.
class SettingsStore
{
public:
    // The platform's own location.
    SettingsStore();
    // A settings file of the given path, for tools and tests.
    explicit SettingsStore(const QString &iniFile);

    // The value's text; empty when it is absent. Throws
    // Failure("Invalid data type for '<name>'") for a value that is not text.
    QString read(const QString &name) const;

    // Stores the text unchanged. Throws Failure("Failed to set data for '<name>'").
    void write(const QString &name, const QString &value);

    // Where the values live, for the README and error messages.
    QString location() const;

private:
    QString m_iniFile; // empty: the platform's own location
};

} // namespace lintaro
