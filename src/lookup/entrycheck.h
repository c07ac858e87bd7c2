#pragma once

#include <QString>
#include <QStringView>

namespace lintaro::entrycheck {

// Caption of the box that refuses a text the configuration files cannot carry.
QString caption();

// A text that would not come back from a line of a configuration file as it
// went in: a character Windows-1251 lacks, a line break or a NUL. Empty when fine.
QString lineRefusal(QStringView text);

} // namespace lintaro::entrycheck
