#include "checkrun.h"

#include "common/textfile.h"
#include "lookup/clipresolver.h"
#include "lookup/listingcache.h"
#include "schedule/rowuse.h"
#include "schedule/scheduletable.h"

namespace lintaro {

CheckRunResult checkSources(const ScheduleTable &table, const ClipResolver &resolver, ListingCache *listings,
                            const RowSelection *selection)
{
    CheckRunResult result;
    const int source = table.sourceColumn();
    if (source < 0)
        return result;
    result.unavailableFolders = resolver.unavailableFolders();
    ListingCache ownListings;
    ListingCache &cache = listings ? *listings : ownListings;
    for (int r = 1; r < table.rowCount(); ++r) {
        if (const RowUse use = rowUse(table, r, selection); use != RowUse::Converted) {
            if (use == RowUse::Empty)
                ++result.emptyRows;
            continue;
        }
        const QString cell = table.cell(source, r);
        const std::optional<QString> code = ClipResolver::searchedCode(cell);
        const std::optional<QString> path
            = code ? resolver.bracketSearch(*code, true, &cache)
                   : resolver.substitutionLookup(textfile::trimmedControl(cell).toString(), true);
        if (!path)
            result.unresolved.append(cell);
    }
    return result;
}

} // namespace lintaro
