#pragma once

#include <QStringList>

namespace lintaro {

class ClipResolver;
class ScheduleTable;

// The check run's scan: every data row's Source cell that the resolver cannot
// turn into a file, untrimmed and in schedule order. Lookups are quiet: nothing
// is asked, shown or written.
QStringList unresolvedSources(const ScheduleTable &table, const ClipResolver &resolver);

} // namespace lintaro
