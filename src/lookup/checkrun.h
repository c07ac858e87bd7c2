#pragma once

#include <QStringList>

namespace lintaro {

class ClipResolver;
class ListingCache;
class ScheduleTable;

// The check run's scan: every data row's Source cell that the resolver cannot
// turn into a file, untrimmed and in schedule order. Lookups are quiet: nothing
// is asked, shown or written. Without a cache of its own the scan lists each
// folder for itself.
QStringList unresolvedSources(const ScheduleTable &table, const ClipResolver &resolver,
                              ListingCache *listings = nullptr);

} // namespace lintaro
