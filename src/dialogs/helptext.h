#pragma once

#include <QString>

namespace lintaro {

// The short user guide shown by the help window.
QString helpText();

} // namespace lintaro
