#include "checkrun.h"

#include "common/textfile.h"
#include "lookup/clipresolver.h"
#include "lookup/listingcache.h"
#include "schedule/scheduletable.h"

namespace lintaro {

QStringList unresolvedSources(const ScheduleTable &table, const ClipResolver &resolver, ListingCache *listings)
{
    QStringList unresolved;
    const int source = table.sourceColumn();
    if (source < 0)
        return unresolved;
    ListingCache ownListings;
    ListingCache &cache = listings ? *listings : ownListings;
    for (int r = 1; r < table.rowCount(); ++r) {
        const QString cell = table.cell(source, r);
        const std::optional<QString> code = ClipResolver::searchedCode(cell);
        const std::optional<QString> path
            = code ? resolver.bracketSearch(*code, true, &cache)
                   : resolver.substitutionLookup(textfile::trimmedControl(cell).toString(), true);
        if (!path)
            unresolved.append(cell);
    }
    return unresolved;
}

} // namespace lintaro
