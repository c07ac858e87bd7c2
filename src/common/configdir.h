#pragma once

#include <QString>

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

} // namespace lintaro
