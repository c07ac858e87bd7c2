#include "clicommands.h"
#include "cliinteraction.h"

#include <QCoreApplication>

#include <map>

using namespace lintaro;
using namespace lintaro::cli;

namespace {

const char kUsage[] =
    "Использование: lintaro-cli КОМАНДА [ПАРАМЕТРЫ]\n"
    "\n"
    "Команды:\n"
    "  check РАСПИСАНИЕ [--source N] [--separator N]...\n"
    "      ролики расписания, для которых не найден файл\n"
    "  convert РАСПИСАНИЕ --save-as ПУТЬ [--source N] [--separator N]... [--audio МЕСТО]\n"
    "      PSQ файлы по расписанию\n"
    "  probe [--audio МЕСТО] ФАЙЛ...\n"
    "      длина, частота кадров и звук AVI-файлов\n"
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
    return command->second(arguments);
}
