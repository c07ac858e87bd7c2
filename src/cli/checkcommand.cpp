#include "clicommands.h"
#include "cliinteraction.h"
#include "readonlylookups.h"
#include "schedulearguments.h"

#include "common/failure.h"
#include "dialogs/audioplacement.h"
#include "lookup/checkrun.h"
#include "lookup/clipresolver.h"
#include "schedule/scheduletable.h"
#include "sequence/conversionrun.h"
#include "sequence/deepcheck.h"
#include "settings/settingsstore.h"

#include <QDir>

namespace lintaro::cli {

namespace {

const char kCheckHelp[]
    = "Использование: lintaro-cli check РАСПИСАНИЕ [--sheet ЛИСТ] [--source N] [--separator N]...\n"
      "                        [--type РАСШИРЕНИЕ]... [--rows A-B]...\n"
      "       lintaro-cli check РАСПИСАНИЕ --deep [--source N] [--separator N]...\n"
      "                         [--audio МЕСТО] [--type РАСШИРЕНИЕ]... [--rows A-B]...\n"
      "                         [--format psq|xml|edl|mlt|kdenlive] [--map ЗДЕСЬ=ТАМ]...\n"
      "\n"
      "Проверяет, все ли ролики расписания находятся, как пункт меню\n"
      "\"Проверить\": ничего не спрашивает и ничего не записывает. Каждая ячейка\n"
      "столбца Источника, для которой не найден файл, печатается отдельной\n"
      "строкой в том виде, в каком она стоит в расписании, по порядку строк.\n"
      "Код ролика в скобках ищется в директориях поиска (Folders.cfg); если\n"
      "подходит несколько файлов и среди них нет точного совпадения, ролик\n"
      "считается ненайденным. Прочее ищется в сопоставлениях (Subst.cfg).\n"
      "Скобки с одним возрастным знаком, например (16+), - часть названия, код\n"
      "берется из следующих скобок; пустые скобки не подходят ни к одному файлу.\n"
      "Строка с пустой ячейкой Источника - строка без ролика: она не ищется и\n"
      "не печатается, их число выводится в поток ошибок: \"строк без ролика: N\".\n"
      "\n"
      "РАСПИСАНИЕ - текст с разделителем \";\" (CSV) или книга .xlsx или .ods.\n"
      "\n"
      "  --sheet ЛИСТ   лист книги: его имя или номер среди видимых листов\n"
      "                 (с 1); нужен, когда видимых листов несколько;\n"
      "  --source N     столбец Источника (столбцы нумеруются с 0);\n"
      "                 без него действует разметка, сохраненная последней\n"
      "                 конвертацией, как при открытии расписания;\n"
      "  --separator N  столбец-разделитель (только вместе с --source; простая\n"
      "                 проверка его не использует, подробная делит по нему\n"
      "                 ролики на файлы, как конвертация);\n"
      "  --type РАСШ    тип файлов роликов без точки: avi, mxf, mov, mp4 или mkv;\n"
      "                 можно указать несколько (--type avi --type mxf): код ищется\n"
      "                 среди файлов первого типа, следующий тип - только если\n"
      "                 предыдущий не дал ни одного файла. Без него действуют типы,\n"
      "                 выбранные в программе (\"Типы файлов роликов\"), по\n"
      "                 умолчанию avi;\n"
      "  --rows A-B     проверяются только строки данных с A по B включительно\n"
      "                 (с 1, по записям; в книге - строки листа); --rows N - одна\n"
      "                 строка N; можно указать несколько, действуют все вместе.\n"
      "                 Разделители остальных строк действуют, как при выборе\n"
      "                 строк в окне программы. A больше B, 0 или строка дальше\n"
      "                 конца расписания - неверный вызов;\n"
      "  --deep         подробная проверка: каждая строка данных печатается\n"
      "                 как СТРОКА<TAB>СОСТОЯНИЕ<TAB>ЯЧЕЙКА<TAB>ПОДРОБНОСТИ\n"
      "                 (строки считаются с 1 по записям файла: поле в кавычках\n"
      "                 с переводом строки не начинает новую строку; в книге -\n"
      "                 по строкам листа); СОСТОЯНИЕ - found\n"
      "                 (ФАЙЛ<TAB>frames=..<TAB>step=..<TAB>rate=..<TAB>media=..),\n"
      "                 missing, ambiguous (число файлов и сами файлы),\n"
      "                 unreadable (файл и сообщение о его ошибке, также путь,\n"
      "                 который формат не может записать после --map), empty\n"
      "                 (строка без ролика, не ошибка) или skipped (строка\n"
      "                 вне --rows, не ошибка). Затем, если\n"
      "                 конвертация прошла бы все свои строки, по строке на\n"
      "                 каждый файл, который она запишет:\n"
      "                 #<TAB>ИМЯ<TAB>clips=..<TAB>frames=..<TAB>duration=ЧЧ:ММ:СС:КК,\n"
      "                 кадры и длительность - на монтажном столе формата\n"
      "                 (с частотой первого ролика, для EDL и XML - ее целым\n"
      "                 кратным: 12,5 как 25); файл, который формат не может\n"
      "                 записать (пределы EDL: частота, 24 часа, 999 событий),\n"
      "                 получает последнее поле error=ПРИЧИНА;\n"
      "  --audio МЕСТО  (с --deep) где лежит звук роликов, как у convert;\n"
      "  --format, --map (с --deep) формат файлов и пары путей, как у convert:\n"
      "                 по умолчанию psq и пары, сохраненные в программе.\n"
      "  -h, --help     эта справка.\n"
      "\n"
      "Директория поиска, которая не существует или не читается, называется в\n"
      "потоке ошибок до всего остального: \"Директория поиска недоступна: ПУТЬ\".\n"
      "\n"
      "Код выхода: 0 - все ролики найдены (и читаются) и все директории поиска\n"
      "доступны, 1 - есть ненайденные, недоступная директория поиска или\n"
      "файл, который конвертация не запишет,\n"
      "2 - ошибка (файл не читается, не назначен столбец Источника, неверный вызов).\n";

int usageError(const QString &text)
{
    printError(text);
    printError(QStringLiteral("Справка: lintaro-cli check --help"));
    return 2;
}

// A tab inside a value would start a new field.
QString field(const QString &text)
{
    QString value = text;
    return value.replace(u'\t', u' ');
}

QString rowLine(const DeepCheckRow &row)
{
    QStringList fields{QString::number(row.row)};
    switch (row.status) {
    case DeepCheckRow::Status::Found:
        fields << QStringLiteral("found") << field(row.cell) << field(row.path)
               << QStringLiteral("frames=%1").arg(row.facts->frameCount)
               << QStringLiteral("step=%1").arg(row.facts->sampleStep)
               << QStringLiteral("rate=%1").arg(row.facts->scaledRate)
               << QStringLiteral("media=%1").arg(row.facts->mediaType);
        break;
    case DeepCheckRow::Status::Missing:
        fields << QStringLiteral("missing") << field(row.cell) << field(row.reason);
        break;
    case DeepCheckRow::Status::Ambiguous:
        fields << QStringLiteral("ambiguous") << field(row.cell) << field(row.reason);
        for (const QString &candidate : row.candidates)
            fields << field(candidate);
        break;
    case DeepCheckRow::Status::Unreadable:
        fields << QStringLiteral("unreadable") << field(row.cell) << field(row.path) << field(row.reason);
        break;
    case DeepCheckRow::Status::Empty: fields << QStringLiteral("empty") << field(row.cell); break;
    case DeepCheckRow::Status::Hidden: fields << QStringLiteral("hidden") << field(row.cell); break;
    case DeepCheckRow::Status::Skipped: fields << QStringLiteral("skipped") << field(row.cell); break;
    }
    return fields.join(u'\t');
}

// Said before the rows: what is missing may only be missing from them.
void printUnavailable(const QStringList &folders)
{
    for (const QString &folder : folders)
        printError(ClipResolver::unavailableText(folder));
}

// The schedule with its Source column; nothing, after saying so, without one.
std::optional<ScheduleTable> tableWithSource(const ScheduleArguments &schedule, const SettingsStore &settings)
{
    ScheduleTable table = schedule.loadTable(settings);
    if (table.sourceColumn() < 0) {
        printError(ScheduleArguments::noSourceText());
        return std::nullopt;
    }
    return table;
}

QString groupLine(const DeepCheckGroup &group)
{
    QString line = QStringLiteral("#\t") + field(group.name) + QStringLiteral("\tclips=")
        + QString::number(group.clips) + QStringLiteral("\tframes=") + QString::number(group.frames)
        + QStringLiteral("\tduration=") + group.duration;
    if (!group.error.isEmpty())
        line += QStringLiteral("\terror=") + field(group.error);
    return line;
}

int deepCheckCommand(const ScheduleArguments &schedule, const std::optional<QString> &audio)
{
    try {
        SettingsStore settings; // read only: nothing here writes a value
        const std::optional<ScheduleTable> table = tableWithSource(schedule, settings);
        if (!table)
            return 2;
        const QString audioLocation
            = audio ? audioLocationArgument(*audio) : audioLocationFromStored(settings.read(QStringLiteral("Audio")), QDir::currentPath());
        CliInteraction interaction;
        ReadOnlyLookups lookups(settings, interaction);
        lookups.load();
        lookups.resolver().setClipTypes(schedule.clipTypes(settings));
        const std::optional<RowSelection> &rows = schedule.rows();
        DeepCheckTarget target;
        target.format = *schedule.format();
        target.pathMap = schedule.pathMap(settings);
        const DeepCheckReport report
            = deepCheck(*table, lookups.resolver(), audioLocation, nullptr, rows ? &*rows : nullptr, target);
        printUnavailable(report.unavailableFolders);
        for (const DeepCheckRow &row : report.rows)
            printOut(rowLine(row));
        for (const DeepCheckGroup &group : report.groups)
            printOut(groupLine(group));
        printEmptyRows(report.emptyRows);
        return report.allFound() && report.unavailableFolders.isEmpty() ? 0 : 1;
    } catch (const Failure &failure) {
        printError(failure.message());
        return 2;
    }
}

} // namespace

int checkCommand(const QStringList &arguments)
{
    ScheduleArguments schedule;
    bool deep = false;
    std::optional<QString> audio;
    const auto ownOptions = [&](const QStringList &list, qsizetype &i, QString &error) {
        if (list[i] == QStringLiteral("--deep")) {
            deep = true;
            return ScheduleArguments::Take::Taken;
        }
        const ScheduleArguments::Take taken
            = ScheduleArguments::takeValue(list, i, QStringLiteral("--audio"), audio, error);
        return taken == ScheduleArguments::Take::NotMine ? schedule.takeOutputOption(list, i, error) : taken;
    };
    switch (schedule.parse(arguments, ownOptions)) {
    case ScheduleArguments::Parsed::Help: printText(stdout, QString::fromUtf8(kCheckHelp)); return 0;
    case ScheduleArguments::Parsed::Wrong: return usageError(schedule.error());
    case ScheduleArguments::Parsed::Ready: break;
    }
    if (audio && !deep)
        return usageError(QStringLiteral("--audio действует только вместе с --deep"));
    if (schedule.hasOutputOptions() && !deep)
        return usageError(QStringLiteral("--format и --map действуют только вместе с --deep"));
    if (!schedule.format())
        return usageError(schedule.formatError());
    if (audio && !isAudioLocation(*audio))
        return usageError(
            QStringLiteral("Место звука \"%1\" должно быть пустым, точкой или буквой диска").arg(*audio));
    if (deep)
        return deepCheckCommand(schedule, audio);

    try {
        SettingsStore settings; // read only: nothing here writes a value
        const std::optional<ScheduleTable> table = tableWithSource(schedule, settings);
        if (!table)
            return 2;
        CliInteraction interaction;
        ReadOnlyLookups lookups(settings, interaction);
        lookups.load();
        lookups.resolver().setClipTypes(schedule.clipTypes(settings));
        const std::optional<RowSelection> &rows = schedule.rows();
        const CheckRunResult result
            = checkSources(*table, lookups.resolver(), nullptr, rows ? &*rows : nullptr);
        printUnavailable(result.unavailableFolders);
        for (const QString &cell : result.unresolved)
            printOut(cell);
        printEmptyRows(result.emptyRows);
        return result.unresolved.isEmpty() && result.unavailableFolders.isEmpty() ? 0 : 1;
    } catch (const Failure &failure) {
        printError(failure.message());
        return 2;
    }
}

} // namespace lintaro::cli
