#include "clirunner.h"

#include <gtest/gtest.h>

#include <QProcess>

namespace lintaro::test {

CliOutcome runCli(const QStringList &arguments, const QProcessEnvironment &environment,
                  const QString &workingFolder, const std::function<void(QProcess &)> &prepare)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    if (!workingFolder.isEmpty())
        process.setWorkingDirectory(workingFolder);
    if (prepare)
        prepare(process);
    process.start(qEnvironmentVariable("LINTARO_BIN") + QStringLiteral("/lintaro-cli"), arguments);
    process.closeWriteChannel();
    CliOutcome outcome;
    if (!process.waitForStarted(30000)) {
        ADD_FAILURE() << "cannot start lintaro-cli from LINTARO_BIN";
        return outcome;
    }
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << "lintaro-cli did not finish";
        return outcome;
    }
    outcome.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    outcome.out = QString::fromUtf8(process.readAllStandardOutput());
    outcome.err = QString::fromUtf8(process.readAllStandardError());
#ifdef Q_OS_WIN
    // Text mode on Windows ends every line with CR LF.
    outcome.out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    outcome.err.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
#endif
    return outcome;
}

} // namespace lintaro::test
