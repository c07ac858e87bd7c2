#pragma once

#include <QString>

namespace lintaro {

// The folder that holds Folders.cfg and Subst.cfg: LINTARO_CONFIG_DIR when it is
// set, otherwise the folder of the executable.
QString configDirectory();

} // namespace lintaro
