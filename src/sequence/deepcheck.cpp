#include "deepcheck.h"

#include "common/cp1251.h"
#include "common/failure.h"
#include "common/plural.h"
#include "common/textfile.h"
#include "lookup/clipresolver.h"
#include "lookup/listingcache.h"
#include "lookup/substitutionmodel.h"
#include "schedule/rowuse.h"
#include "schedule/scheduletable.h"
#include "sequence/conversionrun.h"
#include "sequence/conversionwalk.h"
#include "sequence/mediaprobe.h"
#include "sequence/outputnames.h"
#include "sequence/probecache.h"

#include <QFileInfo>

#include <cmath>

namespace lintaro {

namespace {

QString filesText(qint64 count)
{
    return countOf(count, QStringLiteral("файл"), QStringLiteral("файла"), QStringLiteral("файлов"));
}

// "CODE*.mxf, CODE*.avi": every pattern the bracket search tries, in order.
QString patterns(const QString &code, const QStringList &types)
{
    QStringList all;
    for (const QString &type : types)
        all.append(code + QStringLiteral("*.") + type);
    return all.join(QStringLiteral(", "));
}

DeepCheckRow checkRow(const ScheduleTable &table, int r, const ClipResolver &resolver,
    const QString &audioLocation, ListingCache &listings, ProbeCache &probes, const RowSelection *selection,
    const DeepCheckTarget &target, const SequenceWriter &writer)
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
    const std::optional<QString> code = ClipResolver::clipCode(row.cell);
    const bool fromBrackets = code.has_value();
    if (code) {
        const QString trimmed = textfile::trimmedControl(*code).toString();
        const QList<ClipResolver::Candidate> candidates = resolver.bracketCandidates(trimmed, &listings);
        path = ClipResolver::chooseCandidate(trimmed, candidates);
        if (!path && candidates.size() > 1) {
            row.status = DeepCheckRow::Status::Ambiguous;
            for (const ClipResolver::Candidate &candidate : candidates)
                row.candidates.append(candidate.path());
            row.reason = filesText(candidates.size()) + u' '
                + patterns(trimmed, QStringList { candidates.constFirst().type });
            return row;
        }
        if (!path)
            row.reason = trimmed.isEmpty()
                ? QStringLiteral("пустой код")
                : QStringLiteral("нет файла ") + patterns(trimmed, resolver.clipTypes());
    } else {
        const QString name = textfile::trimmedControl(row.cell).toString();
        path = resolver.substitutionLookup(name, true);
        if (!path) {
            row.reason = QStringLiteral("нет сопоставления \"") + name + u'"';
            // The empty name is never asked for.
            row.asks = target.asksForFiles && !name.isEmpty();
        }
    }
    if (!path) {
        row.status = DeepCheckRow::Status::Missing;
        return row;
    }
    row.path = *path;
    // A substitution's file gone is named as such, not by the probe's open failure.
    if (!fromBrackets && !QFileInfo::exists(*path)) {
        row.status = DeepCheckRow::Status::Unreadable;
        row.absent = true;
        row.reason = SubstitutionModel::missingFileText(*path);
        return row;
    }
    // The conversion writes the mapped path; one the format cannot carry
    // stops it as a bad file does.
    const QString mapped = target.pathMap.apply(*path);
    QString problem = ConversionRun::pathProblem(mapped);
    if (problem.isEmpty())
        problem = writer.pathProblem(mapped);
    if (!problem.isEmpty()) {
        row.status = DeepCheckRow::Status::Unreadable;
        row.unwritable = true;
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
    for (const DeepCheckGroup &group : groups) {
        if (!group.error.isEmpty())
            return false;
    }
    return true;
}

DeepCheckReport deepCheck(const ScheduleTable &table, const ClipResolver &resolver,
    const QString &audioLocation, ListingCache *listings, const RowSelection *selection,
    const DeepCheckTarget &target, const std::function<bool(int row)> &goOn)
{
    DeepCheckReport report;
    if (table.sourceColumn() < 0)
        return report;
    report.unavailableFolders = resolver.unavailableFolders();
    ListingCache ownListings;
    ListingCache &cache = listings ? *listings : ownListings;
    const std::unique_ptr<SequenceWriter> writer = makeSequenceWriter(target.format);
    ProbeCache probes;
    probes.prefetch(ConversionRun::quietlyResolved(table, resolver, cache, selection), audioLocation);
    for (int r = 1; r < table.rowCount(); ++r) {
        if (goOn && !goOn(r)) {
            report.stopped = true;
            return report;
        }
        report.rows.append(checkRow(table, r, resolver, audioLocation, cache, probes, selection, target, *writer));
        if (report.rows.last().status == DeepCheckRow::Status::Empty)
            ++report.emptyRows;
    }

    // The conversion's own walk decides which rows go into which file.
    QList<SequenceFile> files;
    QList<int> asked;
    int current = 0;
    ConversionWalkHooks hooks;
    hooks.visitRow = [&](int r) { current = r; };
    hooks.startFile = [&] {
        files.append(SequenceFile());
        asked.append(0);
    };
    hooks.convertRow = [&](const QString &) -> QString {
        const DeepCheckRow &row = report.rows[current - 1];
        if (row.asks) {
            ++asked.last();
            return {};
        }
        if (row.status != DeepCheckRow::Status::Found)
            return row.reason.isEmpty() ? QStringLiteral("-") : row.reason;
        files.last().clips.append(sequenceClip(*row.facts, target.pathMap.apply(row.path)));
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
        group.clips = int(files[k].clips.size()) + asked[k];
        group.asked = asked[k];
        // The timeline as the writer lays it out, and the limits it keeps.
        const EditRate rate = files[k].clips.isEmpty()
            ? EditRate()
            : writer->timelineRate(EditRate::of(files[k].clips.constFirst().facts));
        qint64 frames = 0;
        for (const SequenceClip &clip : std::as_const(files[k].clips))
            frames += timelineLength(clip.facts, rate);
        group.frames = quint64(frames);
        group.duration = timelineDuration(frames, rate);
        // A clip still to be asked for is one more event, of a length not known yet.
        files[k].name = group.name;
        SequenceFile file = files[k];
        const MediaFacts firstFacts
            = file.clips.isEmpty() ? MediaFacts { 0, 1, 25, 1 } : file.clips.constFirst().facts;
        for (int i = 0; i < asked[k]; ++i) {
            file.clips.append(SequenceClip { firstFacts, QString() });
            file.clips.last().facts.frameCount = 0;
        }
        group.error = writer->fileProblem(file);
        // Whatever else the writer refuses (a name XML cannot carry), as it refuses it.
        if (group.error.isEmpty()) {
            try {
                writer->render(files[k]);
            } catch (const Failure &failure) {
                group.error = failure.message();
            }
        }
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

QString timelineDuration(qint64 frames, const EditRate &rate)
{
    // A rate timecode does not count (12.5) runs in seconds of real time.
    if (!rate.hasTimecode())
        return timecode(
            quint64(frames), MediaFacts { 0, qint32(rate.denominator()), qint32(rate.numerator()), 1 });
    const qint64 perDay = timecodeFrames(24, 0, 0, 0, rate);
    const QString text = timecode(frames % perDay, rate);
    return twoDigits(quint64(frames / perDay * 24 + text.left(2).toInt())) + text.mid(2);
}

QString deepCheckStatusText(const DeepCheckRow &row)
{
    switch (row.status) {
    case DeepCheckRow::Status::Found: return QStringLiteral("найден");
    case DeepCheckRow::Status::Missing:
        return row.asks ? QStringLiteral("не найден, спросит файл") : QStringLiteral("не найден");
    case DeepCheckRow::Status::Ambiguous:
        return QStringLiteral("неоднозначен: ") + filesText(row.candidates.size());
    case DeepCheckRow::Status::Unreadable:
        if (row.absent)
            return row.reason;
        return (row.unwritable ? QStringLiteral("не запишется: ") : QStringLiteral("ошибка AVI: "))
            + row.reason;
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
        bytes += csvLine({ QStringLiteral("Файл"), QStringLiteral("Роликов"), QStringLiteral("Кадров"),
            QStringLiteral("Длительность"), QStringLiteral("Ошибка") });
        for (const DeepCheckGroup &group : report.groups)
            bytes += csvLine({ group.name, QString::number(group.clips), QString::number(group.frames),
                group.duration, group.error });
    }
    return bytes;
}

} // namespace lintaro
