#include "clicommands.h"
#include "cliinteraction.h"
#include "readonlylookups.h"
#include "schedulearguments.h"

#include "common/failure.h"
#include "dialogs/audioplacement.h"
#include "schedule/scheduletable.h"
#include "sequence/conversionrun.h"
#include "settings/settingsstore.h"

#include <QDir>

namespace lintaro::cli {

namespace {

const char kConvertHelp[]
    = "Использование: lintaro-cli convert РАСПИСАНИЕ --save-as ПУТЬ [--source N]\n"
      "                          [--separator N]... [--audio МЕСТО]\n"
      "\n"
      "Конвертирует расписание в PSQ файлы, как пункт меню \"Конвертнуть\", но\n"
      "ничего не спрашивает: ПУТЬ - это имя, выбранное в окне сохранения.\n"
      "Из него получается префикс имен файлов по тем же правилам: все, начиная\n"
      "с первого \"^\", отбрасывается, затем все, начиная с первого \".psq\"\n"
      "(строчными буквами); при столбцах-разделителях файлы называются\n"
      "ПРЕФИКС^.ЗНАЧЕНИЕ.psq, без них - ПРЕФИКС.psq. Существующие файлы\n"
      "заменяются. Имя каждого записанного файла печатается отдельной строкой.\n"
      "\n"
      "Если хотя бы одна строка не конвертировалась (ролик не найден, файл не\n"
      "читается), сообщение выводится в поток ошибок и не записывается ни один\n"
      "файл. Ролик без сопоставления не запрашивается; код в скобках, которому\n"
      "подходит несколько файлов без точного совпадения, считается ненайденным.\n"
      "Настройки, Folders.cfg и Subst.cfg не изменяются.\n"
      "\n"
      "  --save-as ПУТЬ  имя для префикса PSQ файлов (обязательно);\n"
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
      "  -h, --help      эта справка.\n"
      "\n"
      "Код выхода: 0 - файлы записаны (или конвертировать было нечего),\n"
      "1 - строка не конвертировалась или файл не записался,\n"
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
        const ScheduleArguments::Take taken
            = ScheduleArguments::takeValue(list, i, QStringLiteral("--save-as"), saveAs, error);
        if (taken != ScheduleArguments::Take::NotMine)
            return taken;
        return ScheduleArguments::takeValue(list, i, QStringLiteral("--audio"), audio, error);
    };
    switch (schedule.parse(arguments, ownOptions)) {
    case ScheduleArguments::Parsed::Help: printText(stdout, QString::fromUtf8(kConvertHelp)); return 0;
    case ScheduleArguments::Parsed::Wrong: return usageError(schedule.error());
    case ScheduleArguments::Parsed::Ready: break;
    }
    if (!saveAs || saveAs->isEmpty())
        return usageError(QStringLiteral("Не указано имя PSQ файлов (--save-as)"));
    if (audio && !isAudioLocation(*audio))
        return usageError(
            QStringLiteral("Место звука \"%1\" должно быть пустым, точкой или буквой диска").arg(*audio));

    SaveAsInteraction interaction(*saveAs);
    SettingsStore settings; // read only: the run is given no store to write
    ScheduleTable table;
    QString audioLocation;
    std::optional<ReadOnlyLookups> lookups;
    try {
        table = schedule.loadTable(settings);
        if (table.sourceColumn() < 0) {
            printError(ConversionRun::kNoSourceText);
            return 2;
        }
        audioLocation = audio
            ? *audio
            : audioLocationFromStored(settings.read(QStringLiteral("Audio")), QDir::currentPath());
        lookups.emplace(settings, interaction);
        lookups->load();
    } catch (const Failure &failure) {
        printError(failure.message());
        return 2;
    }

    ConversionRun::Hooks hooks;
    hooks.audioLocation = [&audioLocation] { return audioLocation; };
    hooks.fileWritten = [](const QString &path) { printOut(path); };
    QString saveFileName = *saveAs;
    try {
        const ConversionRun::Result result
            = ConversionRun(interaction, nullptr, lookups->resolver()).run(table, saveFileName, hooks);
        switch (result.outcome) {
        case ConversionRun::Outcome::Written:
            return 0;
        case ConversionRun::Outcome::NoSourceColumn:
            return 2;
        case ConversionRun::Outcome::RowFailed:
        case ConversionRun::Outcome::Cancelled:
            break;
        }
        return 1;
    } catch (const Failure &failure) {
        // A file that could not be written; the ones printed before it stay.
        printError(failure.message());
        return 1;
    }
}

} // namespace lintaro::cli
