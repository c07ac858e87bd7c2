#pragma once

#include <QStringList>

namespace lintaro {

class ClipResolver;
class ListingCache;
class ScheduleTable;
struct RowSelection;

struct CheckRunResult
{
    QStringList unresolved; // Source cells, untrimmed, in schedule order
    int emptyRows = 0;      // rows without a clip, passed over
    QStringList unavailableFolders; // search folders that could not be listed
};

// The check run's scan: every converted row's Source cell (see rowUse) that
// the resolver cannot turn into a file. Lookups are quiet: nothing is asked,
// shown or written. Without a cache of its own the scan lists each folder
// for itself.
CheckRunResult checkSources(const ScheduleTable &table, const ClipResolver &resolver,
                            ListingCache *listings = nullptr, const RowSelection *selection = nullptr);

} // namespace lintaro
