#include "deepcheck.h"

#include "common/cp1251.h"
#include "common/textfile.h"
#include "lookup/clipresolver.h"
#include "lookup/listingcache.h"
#include "schedule/rowuse.h"
#include "schedule/scheduletable.h"
#include "sequence/conversionrun.h"
#include "sequence/conversionwalk.h"
#include "sequence/mediaprobe.h"
#include "sequence/outputnames.h"
#include "sequence/probecache.h"

#include <cmath>

namespace lintaro {

namespace {

DeepCheckRow checkRow(const ScheduleTable &table, int r, const ClipResolver &resolver,
                      const QString &audioLocation, ListingCache &listings, ProbeCache &probes,
                      const RowSelection *selection)
{
    DeepCheckRow row;
    row.row = r;
    row.cell = table.cell(table.sourceColumn(), r);
    switch (rowUse(table, r, selection)) {
    case RowUse::Converted: break;
    case RowUse::Empty: row.status = DeepCheckRow::Status::Empty; return row;
    case RowUse::Hidden: row.status = DeepCheckRow::Status::Hidden; return row;
    case RowUse::Skipped: row.status = DeepCheckRow::Status::Skipped; return row;
    }
    // Resolved as the check run resolves: the code and the name trimmed.
    std::optional<QString> path;
    if (const std::optional<QString> code = ClipResolver::clipCode(row.cell)) {
        const QString trimmed = textfile::trimmedControl(*code).toString();
        const QList<ClipResolver::Candidate> candidates = resolver.bracketCandidates(trimmed, &listings);
        path = ClipResolver::chooseCandidate(trimmed, candidates);
        if (!path && candidates.size() > 1) {
            row.status = DeepCheckRow::Status::Ambiguous;
            for (const ClipResolver::Candidate &candidate : candidates)
                row.candidates.append(candidate.path());
            row.reason = QStringLiteral("%1 файлов %2*.avi").arg(QString::number(candidates.size()), trimmed);
            return row;
        }
        if (!path)
            row.reason = trimmed.isEmpty() ? QStringLiteral("пустой код")
                                           : QStringLiteral("нет файла %1*.avi").arg(trimmed);
    } else {
        const QString name = textfile::trimmedControl(row.cell).toString();
        path = resolver.substitutionLookup(name, true);
        if (!path)
            row.reason = QStringLiteral("нет сопоставления \"%1\"").arg(name);
    }
    if (!path) {
        row.status = DeepCheckRow::Status::Missing;
        return row;
    }
    row.path = *path;
    // A path the sequence file cannot carry stops the conversion as a bad file does.
    if (const QString problem = ConversionRun::pathProblem(*path); !problem.isEmpty()) {
        row.status = DeepCheckRow::Status::Unreadable;
        row.reason = problem;
        return row;
    }
    // The probe's own one-line text: the row already names the file.
    const MediaProbe::Result probe = probes.probe(*path, audioLocation);
    row.facts = probe.facts;
    if (row.facts) {
        row.status = DeepCheckRow::Status::Found;
    } else {
        row.status = DeepCheckRow::Status::Unreadable;
        row.reason = probe.failure;
    }
    return row;
}

QString twoDigits(quint64 value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

} // namespace

bool DeepCheckReport::allFound() const
{
    for (const DeepCheckRow &row : rows) {
        if (row.status != DeepCheckRow::Status::Found && !row.passedOver())
            return false;
    }
    return true;
}

DeepCheckReport deepCheck(const ScheduleTable &table, const ClipResolver &resolver, const QString &audioLocation,
                          ListingCache *listings, const RowSelection *selection)
{
    DeepCheckReport report;
    if (table.sourceColumn() < 0)
        return report;
    report.unavailableFolders = resolver.unavailableFolders();
    ListingCache ownListings;
    ListingCache &cache = listings ? *listings : ownListings;
    ProbeCache probes;
    probes.prefetch(ConversionRun::quietlyResolved(table, resolver, cache, selection), audioLocation);
    for (int r = 1; r < table.rowCount(); ++r) {
        report.rows.append(checkRow(table, r, resolver, audioLocation, cache, probes, selection));
        if (report.rows.last().status == DeepCheckRow::Status::Empty)
            ++report.emptyRows;
    }

    // The conversion's own walk decides which rows go into which file.
    QList<QList<MediaFacts>> files;
    int current = 0;
    ConversionWalkHooks hooks;
    hooks.visitRow = [&](int r) { current = r; };
    hooks.startFile = [&] { files.append(QList<MediaFacts>()); };
    hooks.convertRow = [&](const QString &) -> QString {
        const DeepCheckRow &row = report.rows[current - 1];
        if (row.status != DeepCheckRow::Status::Found)
            return row.reason.isEmpty() ? QStringLiteral("-") : row.reason;
        files.last().append(*row.facts);
        return {};
    };
    const ConversionWalkResult walk = walkSchedule(table, hooks, selection);
    if (walk.failed) {
        report.stopRow = walk.failedRow;
        return report;
    }
    report.conversionPasses = true;

    QStringList suffixes;
    for (const QString &suffix : walk.suffixes)
        suffixes.append(fileNameSafe(suffix));
    const QStringList names = outputFileNames(namePrefix(QString(), walk.separatorPresent), suffixes);
    for (qsizetype k = 0; k < files.size(); ++k) {
        DeepCheckGroup group;
        // The name without its extension: what follows the prefix the operator picks.
        const QString &name = names[k];
        group.name = name.left(name.lastIndexOf(u'.'));
        group.clips = int(files[k].size());
        for (const MediaFacts &facts : std::as_const(files[k]))
            group.frames += facts.frameCount;
        group.duration = groupDuration(files[k]);
        report.groups.append(group);
    }
    return report;
}

QString timecode(quint64 frames, const MediaFacts &rate)
{
    const quint64 step = quint64(std::max(rate.sampleStep, 1));
    const quint64 scaled = quint64(std::max(rate.scaledRate, 1));
    const quint64 hundredths = scaled * 100 / step;
    quint64 hh = 0, mm = 0, ss = 0, ff = 0;
    QChar frameMark = u':';
    if (hundredths == 2997 || hundredths == 5994) {
        // Drop-frame: frame numbers 0 and 1 (0 to 3 at 59.94) are skipped at
        // the start of every minute except each tenth.
        const quint64 nominal = hundredths == 2997 ? 30 : 60;
        const quint64 drop = hundredths == 2997 ? 2 : 4;
        const quint64 perMinute = nominal * 60 - drop;
        const quint64 perTenMinutes = nominal * 600 - drop * 9;
        const quint64 tens = frames / perTenMinutes;
        const quint64 rest = frames % perTenMinutes;
        quint64 number = frames + drop * 9 * tens;
        if (rest > drop)
            number += drop * ((rest - drop) / perMinute);
        ff = number % nominal;
        const quint64 seconds = number / nominal;
        ss = seconds % 60;
        mm = seconds / 60 % 60;
        hh = seconds / 3600;
        frameMark = u';';
    } else if (scaled % step == 0) {
        const quint64 nominal = scaled / step;
        ff = frames % nominal;
        const quint64 seconds = frames / nominal;
        ss = seconds % 60;
        mm = seconds / 60 % 60;
        hh = seconds / 3600;
    } else {
        // Whole seconds of real time, and the frames since the one that began the second.
        const quint64 seconds = frames * step / scaled;
        ff = frames - (seconds * scaled + step - 1) / step;
        ss = seconds % 60;
        mm = seconds / 60 % 60;
        hh = seconds / 3600;
    }
    return twoDigits(hh) + u':' + twoDigits(mm) + u':' + twoDigits(ss) + frameMark + twoDigits(ff);
}

QString groupDuration(const QList<MediaFacts> &clips)
{
    if (clips.isEmpty())
        return timecode(0, MediaFacts{0, 1, 25, 1});
    const MediaFacts &first = clips.first();
    quint64 frames = 0;
    long double otherSeconds = 0;
    for (const MediaFacts &clip : clips) {
        if (clip.sampleStep == first.sampleStep && clip.scaledRate == first.scaledRate)
            frames += clip.frameCount;
        else if (clip.scaledRate > 0)
            otherSeconds += (long double)clip.frameCount * clip.sampleStep / clip.scaledRate;
    }
    if (otherSeconds > 0 && first.sampleStep > 0)
        frames += quint64(std::llround(otherSeconds * first.scaledRate / first.sampleStep));
    return timecode(frames, first);
}

QString deepCheckStatusText(const DeepCheckRow &row)
{
    switch (row.status) {
    case DeepCheckRow::Status::Found: return QStringLiteral("найден");
    case DeepCheckRow::Status::Missing: return QStringLiteral("не найден");
    case DeepCheckRow::Status::Ambiguous:
        return QStringLiteral("неоднозначен: %1 файлов").arg(row.candidates.size());
    case DeepCheckRow::Status::Unreadable: return QStringLiteral("ошибка AVI: ") + row.reason;
    case DeepCheckRow::Status::Empty: return QStringLiteral("пустая ячейка");
    case DeepCheckRow::Status::Hidden: return QStringLiteral("скрыта");
    case DeepCheckRow::Status::Skipped: return QStringLiteral("не выбрана");
    }
    return {};
}

namespace {

QByteArray csvField(const QString &text)
{
    QString field = text;
    if (field.contains(u';') || field.contains(u'"') || field.contains(u'\n') || field.contains(u'\r'))
        field = u'"' + field.replace(u'"', QStringLiteral("\"\"")) + u'"';
    QByteArray bytes;
    bytes.reserve(field.size());
    for (const QChar ch : std::as_const(field)) {
        const std::optional<QByteArray> encoded = cp1251::encode(QStringView(&ch, 1));
        bytes += encoded ? *encoded : QByteArray("?");
    }
    return bytes;
}

QByteArray csvLine(const QStringList &fields)
{
    QByteArray line;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += ';';
        line += csvField(fields[i]);
    }
    return line + "\r\n";
}

} // namespace

QByteArray deepCheckCsv(const DeepCheckReport &report)
{
    QByteArray bytes = csvLine({QStringLiteral("Строка"), QStringLiteral("Источник"), QStringLiteral("Состояние"),
                                QStringLiteral("Файл"), QStringLiteral("Кадров"), QStringLiteral("Длительность")});
    for (const DeepCheckRow &row : report.rows) {
        const QString file = row.status == DeepCheckRow::Status::Ambiguous ? row.candidates.join(QStringLiteral(", "))
                                                                           : row.path;
        bytes += csvLine({QString::number(row.row), row.cell, deepCheckStatusText(row), file,
                          row.facts ? QString::number(row.facts->frameCount) : QString(),
                          row.facts ? timecode(row.facts->frameCount, *row.facts) : QString()});
    }
    if (!report.groups.isEmpty()) {
        bytes += "\r\n";
        bytes += csvLine({QStringLiteral("Файл"), QStringLiteral("Роликов"), QStringLiteral("Кадров"),
                          QStringLiteral("Длительность")});
        for (const DeepCheckGroup &group : report.groups)
            bytes += csvLine({group.name, QString::number(group.clips), QString::number(group.frames),
                              group.duration});
    }
    return bytes;
}

} // namespace lintaro
