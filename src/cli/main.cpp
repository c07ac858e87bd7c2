#include "clicommands.h"
#include "cliinteraction.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <exception>
#include <map>
#include <new>

using namespace lintaro;
using namespace lintaro::cli;

namespace {

const char kUsage[] =
    "Использование: lintaro-cli КОМАНДА [ПАРАМЕТРЫ]\n"
    "\n"
    "Команды:\n"
    "  check РАСПИСАНИЕ [--source N] [--separator N]... [--type РАСШИРЕНИЕ]...\n"
    "      ролики расписания, для которых не найден файл\n"
    "  convert РАСПИСАНИЕ --save-as ПУТЬ [--source N] [--separator N]... [--audio МЕСТО]\n"
    "          [--type РАСШИРЕНИЕ]... [--format psq|xml|edl|mlt] [--map ЗДЕСЬ=ТАМ]...\n"
    "      файлы монтажа (PSQ, Final Cut Pro XML, EDL, MLT) по расписанию\n"
    "  probe [--audio МЕСТО] ФАЙЛ...\n"
    "      длина, частота кадров, звук и таймкод видеофайлов\n"
    "\n"
    "Справка по команде: lintaro-cli КОМАНДА --help\n";

int printUsage(FILE *to)
{
    printText(to, QString::fromUtf8(kUsage));
    return to == stdout ? 0 : 2;
}

} // namespace

int main(int argc, char *argv[])
{
#ifdef SIGXFSZ
    // Past a file size limit a write then fails and is reported, instead of
    // the signal ending the tool without a word.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
#ifdef SIGPIPE
    // A reader that went away is a failed write to standard output.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Lintaro"));
    QStringList arguments = QCoreApplication::arguments().mid(1);

    const std::map<QString, Command> commands = {
        {QStringLiteral("check"), checkCommand},
        {QStringLiteral("convert"), convertCommand},
        {QStringLiteral("probe"), probeCommand},
    };

    if (arguments.isEmpty())
        return printUsage(stderr);
    const QString name = arguments.takeFirst();
    if (name == QStringLiteral("--help") || name == QStringLiteral("-h"))
        return printUsage(stdout);
    const auto command = commands.find(name);
    if (command == commands.end()) {
        printError(QStringLiteral("Неизвестная команда: %1").arg(name));
        return printUsage(stderr);
    }
    int status = 2;
    try {
        status = command->second(arguments);
    } catch (const std::bad_alloc &) {
        printError(QStringLiteral("Недостаточно памяти для выполнения команды"));
        return 2;
    } catch (const std::exception &error) {
        printError(QStringLiteral("Ошибка: %1").arg(QString::fromUtf8(error.what())));
        return 2;
    } catch (...) {
        printError(QStringLiteral("Неизвестная ошибка"));
        return 2;
    }
    // What was printed is the command's result: if it did not reach its
    // destination (a full disk, a closed pipe), the command failed.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        printError(QStringLiteral("Ошибка записи в стандартный вывод"));
        return status == 0 ? 1 : status;
    }
    return status;
}
