#pragma once

#include <QString>

#include <functional>

namespace lintaro {

// The folder that holds Folders.cfg and Subst.cfg:
// - LINTARO_CONFIG_DIR when it is set;
// - for an installed program (see isInstalledLayout), the per-user folder
//   $XDG_CONFIG_HOME/Lintaro, else ~/.config/Lintaro (on Windows and macOS the
//   platform's per-user configuration folder);
// - otherwise (a build folder, a portable copy) the folder of the executable.
// The override and the per-user folder are created when missing, so the first
// save into them does not fail.
QString configDirectory();

// The rule itself, without the environment, for the tests. userConfigBase is
// the per-user configuration root ($XDG_CONFIG_HOME or ~/.config).
QString chooseConfigDirectory(const QString &executableDir, const QString &overrideDir,
                              const QString &userConfigBase);

// True when the executable sits in the "bin" folder of an installation, that
// is beside a "share/lintaro" folder that only the install rules create. A
// build folder ("build/bin") never has one.
bool isInstalledLayout(const QString &executableDir);

// The per-user configuration root: $XDG_CONFIG_HOME, else ~/.config.
QString userConfigBase();

// Where one configuration file is read from and saved to. The two differ only
// on Windows, while a file saved per user does not exist yet.
struct ConfigFilePlace
{
    QString readPath;
    QString savePath;
    bool operator==(const ConfigFilePlace &) const = default;
};

// What the Windows rule asks of the disk; tests replace it to make a write fail.
struct ConfigFileAccess
{
    std::function<bool(const QString &path)> exists;
    // An existing file: it opens for writing (nothing is changed). A missing
    // one: a file can be made in its folder (a probe, removed at once).
    std::function<bool(const QString &path)> canWrite;
};
ConfigFileAccess diskAccess();

// The Windows rule, with the environment given:
// - overrideDir (LINTARO_CONFIG_DIR) when it is set;
// - beside the executable when the file can be written there (an existing
//   writable file is used in place, even in a folder that is not writable);
// - otherwise saved in <appDataDir>/Lintaro, and read from there once it
//   exists, from beside the executable until then.
ConfigFilePlace chooseWindowsConfigFilePlace(const QString &fileName, const QString &executableDir,
                                             const QString &overrideDir, const QString &appDataDir,
                                             const ConfigFileAccess &access);

// The place of Folders.cfg or Subst.cfg for this program: on Windows the rule
// above, elsewhere configDirectory() for both paths. makeFolders creates the
// folder a save needs (the program); a tool that only reads passes false.
ConfigFilePlace configFilePlace(const QString &fileName, bool makeFolders = true);

} // namespace lintaro
