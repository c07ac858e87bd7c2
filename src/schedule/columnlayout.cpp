#include "columnlayout.h"

#include "scheduletable.h"
#include "settings/settingsstore.h"
#include "settings/storedlist.h"

#include <algorithm>

namespace lintaro {

void applyStoredLayout(ScheduleTable &table, const SettingsStore &store)
{
    const QString widths = store.read(QStringLiteral("ColWidths"));
    if (!widths.isEmpty()) {
        const QStringList pieces = splitStoredList(widths);
        for (int i = 0; i < pieces.size() && i < table.columnCount(); ++i)
            table.setColumnWidth(i, std::clamp(toStrictInt(pieces[i]), 0, kMaxStoredWidth));
    }

    const QString brakes = store.read(QStringLiteral("Brakes"));
    if (!brakes.isEmpty()) {
        const QStringList pieces = splitStoredList(brakes);
        for (int i = 0; i < pieces.size() && i < table.columnCount(); ++i)
            table.setCaption(i, toStrictInt(pieces[i]) == 1 ? kSeparatorCaption : QString());
    }

    const QString source = store.read(QStringLiteral("Source"));
    if (!source.isEmpty()) {
        int index = toStrictInt(source);
        if (index < 0 || index > table.columnCount() - 1) // a negative index is only damage
            index = -1;
        table.setSourceColumn(index);
        if (index >= 0)
            table.setCaption(index, kSourceCaption);
    }
}

QString columnWidthsText(const ScheduleTable &table)
{
    QStringList pieces;
    for (int c = 0; c < table.columnCount(); ++c)
        pieces.append(QString::number(table.columnWidth(c)));
    return pieces.join(u';');
}

QString separatorFlagsText(const ScheduleTable &table)
{
    QStringList pieces;
    for (int c = 0; c < table.columnCount(); ++c)
        pieces.append(table.isSeparatorColumn(c) ? QStringLiteral("1") : QStringLiteral("0"));
    return pieces.join(u';');
}

void storeLayout(const ScheduleTable &table, SettingsStore &store)
{
    store.write(QStringLiteral("ColWidths"), columnWidthsText(table));
    store.write(QStringLiteral("Brakes"), separatorFlagsText(table));
    store.write(QStringLiteral("Source"), QString::number(table.sourceColumn()));
}

} // namespace lintaro
