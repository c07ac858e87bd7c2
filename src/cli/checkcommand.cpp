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
      "                        [--type РАСШИРЕНИЕ]...\n"
      "       lintaro-cli check РАСПИСАНИЕ --deep [--source N] [--separator N]...\n"
      "                         [--audio МЕСТО] [--type РАСШИРЕНИЕ]...\n"
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
      "  --deep         подробная проверка: каждая строка данных печатается\n"
      "                 как СТРОКА<TAB>СОСТОЯНИЕ<TAB>ЯЧЕЙКА<TAB>ПОДРОБНОСТИ\n"
      "                 (строки считаются с 1 по записям файла: поле в кавычках\n"
      "                 с переводом строки не начинает новую строку; в книге -\n"
      "                 по строкам листа); СОСТОЯНИЕ - found\n"
      "                 (ФАЙЛ<TAB>frames=..<TAB>step=..<TAB>rate=..<TAB>media=..),\n"
      "                 missing, ambiguous (число файлов и сами файлы),\n"
      "                 unreadable (файл и сообщение о его ошибке) или empty\n"
      "                 (строка без ролика, не ошибка). Затем, если\n"
      "                 конвертация прошла бы все свои строки, по строке на\n"
      "                 каждый файл, который она запишет:\n"
      "                 #<TAB>ИМЯ<TAB>clips=..<TAB>frames=..<TAB>duration=ЧЧ:ММ:СС:КК;\n"
      "  --audio МЕСТО  (с --deep) где лежит звук роликов, как у convert.\n"
      "  -h, --help     эта справка.\n"
      "\n"
      "Директория поиска, которая не существует или не читается, называется в\n"
      "потоке ошибок до всего остального: \"Директория поиска недоступна: ПУТЬ\".\n"
      "\n"
      "Код выхода: 0 - все ролики найдены (и читаются) и все директории поиска\n"
      "доступны, 1 - есть ненайденные или недоступная директория поиска,\n"
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
        const DeepCheckReport report = deepCheck(*table, lookups.resolver(), audioLocation);
        printUnavailable(report.unavailableFolders);
        for (const DeepCheckRow &row : report.rows)
            printOut(rowLine(row));
        for (const DeepCheckGroup &group : report.groups)
            printOut(QStringLiteral("#\t%1\tclips=%2\tframes=%3\tduration=%4")
                         .arg(field(group.name), QString::number(group.clips), QString::number(group.frames),
                              group.duration));
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
        return ScheduleArguments::takeValue(list, i, QStringLiteral("--audio"), audio, error);
    };
    switch (schedule.parse(arguments, ownOptions)) {
    case ScheduleArguments::Parsed::Help: printText(stdout, QString::fromUtf8(kCheckHelp)); return 0;
    case ScheduleArguments::Parsed::Wrong: return usageError(schedule.error());
    case ScheduleArguments::Parsed::Ready: break;
    }
    if (audio && !deep)
        return usageError(QStringLiteral("--audio действует только вместе с --deep"));
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
        const CheckRunResult result = checkSources(*table, lookups.resolver());
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
