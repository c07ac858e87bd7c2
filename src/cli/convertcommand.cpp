#include "clicommands.h"
#include "cliinteraction.h"
#include "readonlylookups.h"
#include "schedulearguments.h"

#include "common/failure.h"
#include "dialogs/audioplacement.h"
#include "schedule/scheduletable.h"
#include "sequence/conversionrun.h"
#include "sequence/outputnames.h"
#include "sequence/pathmap.h"
#include "settings/settingsstore.h"

#include <QDir>
#include <QFileInfo>

namespace lintaro::cli {

namespace {

const char kConvertHelp[]
    = "Использование: lintaro-cli convert РАСПИСАНИЕ --save-as ПУТЬ [--sheet ЛИСТ] [--source N]\n"
      "                          [--separator N]... [--audio МЕСТО] [--type РАСШИРЕНИЕ]...\n"
      "                          [--format psq|xml|edl|mlt|kdenlive] [--map ЗДЕСЬ=ТАМ]...\n"
      "                          [--rows A-B]...\n"
      "\n"
      "Конвертирует расписание в файлы монтажа, как пункт меню \"Конвертнуть\",\n"
      "но ничего не спрашивает: ПУТЬ - это имя, выбранное в окне сохранения.\n"
      "Из имени файла (папки не меняются) получается префикс имен файлов по тем\n"
      "же правилам: все, начиная с первого \"^\", отбрасывается, затем все,\n"
      "начиная с первого \".psq\" (строчными буквами) и с первого расширения\n"
      "выбранного формата; при\n"
      "столбцах-разделителях файлы называются ПРЕФИКС^.ЗНАЧЕНИЕ.psq (.xml, .edl,\n"
      ".mlt, .kdenlive), без них - ПРЕФИКС.psq. Существующие файлы заменяются, но только\n"
      "все вместе: если хотя бы один файл не записался, не заменяется ни один.\n"
      "Имя каждого записанного файла печатается отдельной строкой.\n"
      "\n"
      "Если хотя бы одна строка не конвертировалась (ролик не найден, файл не\n"
      "читается), сообщение выводится в поток ошибок и не записывается ни один\n"
      "файл. Ролик без сопоставления не запрашивается; код в скобках, которому\n"
      "подходит несколько файлов без точного совпадения, считается ненайденным.\n"
      "Настройки, Folders.cfg и Subst.cfg не изменяются. Строка с пустой ячейкой\n"
      "Источника - строка без ролика: она не конвертируется, но ее разделители\n"
      "действуют; их число выводится в поток ошибок как \"строк без ролика: N\".\n"
      "\n"
      "РАСПИСАНИЕ - текст с разделителем \";\" (CSV) или книга .xlsx или .ods.\n"
      "\n"
      "  --save-as ПУТЬ  имя для префикса файлов (обязательно);\n"
      "  --sheet ЛИСТ    лист книги: его имя или номер среди видимых листов\n"
      "                  (с 1); нужен, когда видимых листов несколько;\n"
      "  --source N      столбец Источника (столбцы нумеруются с 0); без него\n"
      "                  действует разметка, сохраненная последней конвертацией,\n"
      "                  вместе с ее столбцами-разделителями;\n"
      "  --separator N   столбец-разделитель (только вместе с --source; можно\n"
      "                  указать несколько); новый файл начинается, когда\n"
      "                  значение в нем меняется;\n"
      "  --audio МЕСТО   где лежит звук роликов: пусто - внутри AVI-файла;\n"
      "                  .  - в WAV-файле рядом с видео; буква диска - в WAV-файле\n"
      "                  по тому же пути на этом диске. По умолчанию - как\n"
      "                  выбрано в программе (\"Аудио в отдельном файле\");\n"
      "  --type РАСШ     тип файлов роликов без точки: avi, mxf, mov, mp4 или mkv;\n"
      "                  можно указать несколько, по порядку поиска (как в\n"
      "                  команде check); по умолчанию - как выбрано в программе;\n"
      "  --format ФОРМАТ psq - PSQ (по умолчанию); xml - Final Cut Pro 7 XML\n"
      "                  (Premiere Pro, DaVinci Resolve); edl - EDL CMX 3600\n"
      "                  (Premiere Pro, DaVinci Resolve, Avid); mlt - проект\n"
      "                  Shotcut; kdenlive - проект Kdenlive (оба играет melt);\n"
      "  --map ЗДЕСЬ=ТАМ путь ролика, начинающийся с ЗДЕСЬ, записывается в файлы\n"
      "                  с ТАМ вместо этого начала, как его видит монтажная\n"
      "                  станция (делится по первому \"=\"; можно указать\n"
      "                  несколько, действует первая подходящая пара). Без --map\n"
      "                  действуют пары, сохраненные в программе (\"Настройка\" /\n"
      "                  \"Пути на монтажной станции\");\n"
      "  --rows A-B      конвертируются только строки данных с A по B включительно\n"
      "                  (с 1, по записям; в книге - строки листа); --rows N - одна\n"
      "                  строка N; можно указать несколько, действуют все вместе.\n"
      "                  Разделители остальных строк действуют: выбор, начатый\n"
      "                  внутри блока кассеты, идет в файл этой кассеты. A больше\n"
      "                  B, 0 или строка дальше конца расписания - неверный вызов;\n"
      "  -h, --help      эта справка.\n"
      "\n"
      "Код выхода: 0 - файлы записаны (или конвертировать было нечего),\n"
      "1 - строка не конвертировалась, файл не записался или директория поиска\n"
      "недоступна (не существует или не читается; ничего не записывается),\n"
      "2 - ошибка до начала конвертации (файл расписания не читается,\n"
      "не назначен столбец Источника, неверный вызов).\n";

int usageError(const QString &text)
{
    printError(text);
    printError(QStringLiteral("Справка: lintaro-cli convert --help"));
    return 2;
}

// The save dialog answers with the name given on the command line.
class SaveAsInteraction : public CliInteraction
{
public:
    explicit SaveAsInteraction(const QString &saveAs)
        : m_saveAs(saveAs)
    {
    }
    std::optional<QString> saveFile(const FileDialogRequest &) override { return m_saveAs; }

private:
    QString m_saveAs;
};

} // namespace

int convertCommand(const QStringList &arguments)
{
    ScheduleArguments schedule;
    std::optional<QString> saveAs;
    std::optional<QString> audio;
    const auto ownOptions = [&](const QStringList &list, qsizetype &i, QString &error) {
        ScheduleArguments::Take taken
            = ScheduleArguments::takeValue(list, i, QStringLiteral("--save-as"), saveAs, error);
        if (taken == ScheduleArguments::Take::NotMine)
            taken = ScheduleArguments::takeValue(list, i, QStringLiteral("--audio"), audio, error);
        if (taken == ScheduleArguments::Take::NotMine)
            taken = schedule.takeOutputOption(list, i, error);
        return taken;
    };
    switch (schedule.parse(arguments, ownOptions)) {
    case ScheduleArguments::Parsed::Help: printText(stdout, QString::fromUtf8(kConvertHelp)); return 0;
    case ScheduleArguments::Parsed::Wrong: return usageError(schedule.error());
    case ScheduleArguments::Parsed::Ready: break;
    }
    if (!saveAs || saveAs->isEmpty())
        return usageError(QStringLiteral("Не указано имя файлов (--save-as)"));
    const std::optional<SequenceFormat> format = schedule.format();
    if (!format)
        return usageError(schedule.formatError());
    // "out/" would give the hidden "out/.psq": a folder is no name.
    if (QFileInfo(namePrefix(*saveAs, false, formatInfo(*format).extension)).fileName().isEmpty())
        return usageError(QStringLiteral("В имени файлов \"%1\" нет имени файла, только папка").arg(*saveAs));
    if (audio && !isAudioLocation(*audio))
        return usageError(
            QStringLiteral("Место звука \"%1\" должно быть пустым, точкой или буквой диска").arg(*audio));

    SaveAsInteraction interaction(*saveAs);
    SettingsStore settings; // read only: the run is given no store to write
    ScheduleTable table;
    QString audioLocation;
    std::optional<ReadOnlyLookups> lookups;
    PathMap pathMap;
    try {
        table = schedule.loadTable(settings);
        if (table.sourceColumn() < 0) {
            printError(ScheduleArguments::noSourceText());
            return 2;
        }
        audioLocation = audio
            ? audioLocationArgument(*audio)
            : audioLocationFromStored(settings.read(QStringLiteral("Audio")), QDir::currentPath());
        pathMap = schedule.pathMap(settings);
        lookups.emplace(settings, interaction);
        lookups->load();
        lookups->resolver().setClipTypes(schedule.clipTypes(settings));
    } catch (const Failure &failure) {
        printError(failure.message());
        return 2;
    }

    ConversionRun::Hooks hooks;
    hooks.audioLocation = [&audioLocation] { return audioLocation; };
    hooks.fileWritten = [](const QString &path) { printOut(path); };
    QString saveFileName = *saveAs;
    try {
        ConversionRun run(interaction, nullptr, lookups->resolver());
        run.setFormat(*format);
        run.setPathMap(pathMap);
        const std::optional<RowSelection> &rows = schedule.rows();
        run.setSelection(rows ? &*rows : nullptr);
        const ConversionRun::Result result = run.run(table, saveFileName, hooks);
        switch (result.outcome) {
        case ConversionRun::Outcome::Written:
            printEmptyRows(result.emptyRows);
            return 0;
        case ConversionRun::Outcome::NoSourceColumn:
            return 2;
        case ConversionRun::Outcome::RowFailed:
        case ConversionRun::Outcome::Declined:
        case ConversionRun::Outcome::Cancelled:
        case ConversionRun::Outcome::Interrupted:
            break;
        }
        return 1;
    } catch (const Failure &failure) {
        // A file that could not be written: no target changed, unless the
        // message says the set may be mixed.
        printError(failure.message());
        return 1;
    }
}

} // namespace lintaro::cli
