#include "checkrun.h"

#include "common/textfile.h"
#include "lookup/clipresolver.h"
#include "lookup/listingcache.h"
#include "schedule/scheduletable.h"

namespace lintaro {

QStringList unresolvedSources(const ScheduleTable &table, const ClipResolver &resolver)
{
    QStringList unresolved;
    const int source = table.sourceColumn();
    if (source < 0)
        return unresolved;
    ListingCache listings;
    for (int r = 1; r < table.rowCount(); ++r) {
        const QString cell = table.cell(source, r);
        const std::optional<QString> code = ClipResolver::searchedCode(cell);
        const std::optional<QString> path
            = code ? resolver.bracketSearch(*code, true, &listings)
                   : resolver.substitutionLookup(textfile::trimmedControl(cell).toString(), true);
        if (!path)
            unresolved.append(cell);
    }
    return unresolved;
}

} // namespace lintaro
