#include "clicommands.h"
#include "cliinteraction.h"
#include "readonlylookups.h"
#include "schedulearguments.h"

#include "common/failure.h"
#include "lookup/checkrun.h"
#include "schedule/scheduletable.h"
#include "sequence/conversionrun.h"
#include "settings/settingsstore.h"

namespace lintaro::cli {

namespace {

const char kCheckHelp[]
    = "Использование: lintaro-cli check РАСПИСАНИЕ [--source N] [--separator N]...\n"
      "\n"
      "Проверяет, все ли ролики расписания находятся, как пункт меню\n"
      "\"Проверить\": ничего не спрашивает и ничего не записывает. Каждая ячейка\n"
      "столбца Источника, для которой не найден файл, печатается отдельной\n"
      "строкой в том виде, в каком она стоит в расписании, по порядку строк.\n"
      "Код ролика в скобках ищется в директориях поиска (Folders.cfg); если\n"
      "подходит несколько файлов и среди них нет точного совпадения, ролик\n"
      "считается ненайденным. Прочее ищется в сопоставлениях (Subst.cfg).\n"
      "\n"
      "  --source N     столбец Источника (столбцы нумеруются с 0);\n"
      "                 без него действует разметка, сохраненная последней\n"
      "                 конвертацией, как при открытии расписания;\n"
      "  --separator N  столбец-разделитель (только вместе с --source; проверка\n"
      "                 его не использует, он принимается для единообразия\n"
      "                 с командой convert);\n"
      "  -h, --help     эта справка.\n"
      "\n"
      "Код выхода: 0 - все ролики найдены, 1 - есть ненайденные,\n"
      "2 - ошибка (файл не читается, не назначен столбец Источника, неверный вызов).\n";

int usageError(const QString &text)
{
    printError(text);
    printError(QStringLiteral("Справка: lintaro-cli check --help"));
    return 2;
}

} // namespace

int checkCommand(const QStringList &arguments)
{
    ScheduleArguments schedule;
    switch (schedule.parse(arguments)) {
    case ScheduleArguments::Parsed::Help: printText(stdout, QString::fromUtf8(kCheckHelp)); return 0;
    case ScheduleArguments::Parsed::Wrong: return usageError(schedule.error());
    case ScheduleArguments::Parsed::Ready: break;
    }

    try {
        SettingsStore settings; // read only: nothing here writes a value
        const ScheduleTable table = schedule.loadTable(settings);
        if (table.sourceColumn() < 0) {
            printError(ConversionRun::kNoSourceText);
            return 2;
        }
        CliInteraction interaction;
        ReadOnlyLookups lookups(settings, interaction);
        lookups.load();
        const QStringList unresolved = unresolvedSources(table, lookups.resolver());
        for (const QString &cell : unresolved)
            printOut(cell);
        return unresolved.isEmpty() ? 0 : 1;
    } catch (const Failure &failure) {
        printError(failure.message());
        return 2;
    }
}

} // namespace lintaro::cli
