#pragma once

#include <QString>

namespace lintaro {

class ScheduleTable;
class SettingsStore;

// The column layout of the last converted schedule: widths, separator columns
// and the Source column, kept as ColWidths, Brakes and Source.

// Widths outside 0..10,000 come only from a damaged store; they are clamped.
inline constexpr int kMaxStoredWidth = 10000;

// Applies the stored layout by column position, reading ColWidths, Brakes and
// Source in that order. A piece that is not an integer throws
// Failure("'<piece>' is not a valid integer value") and stops there.
void applyStoredLayout(ScheduleTable &table, const SettingsStore &store);

QString columnWidthsText(const ScheduleTable &table);
QString separatorFlagsText(const ScheduleTable &table);

// Writes ColWidths, Brakes and Source, in that order.
void storeLayout(const ScheduleTable &table, SettingsStore &store);

} // namespace lintaro
