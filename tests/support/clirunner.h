#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <functional>

class QProcess;

namespace lintaro::test {

// What one run of the built lintaro-cli printed and how it ended.
struct CliOutcome
{
    int status = -1; // -1 when it did not start, finish or exit normally
    QString out;
    QString err;
};

// Runs build/bin/lintaro-cli (LINTARO_BIN) with the arguments and no input;
// fails the test when it cannot start or does not finish within a minute.
// prepare may set up the process before it starts (limits, redirections).
CliOutcome runCli(const QStringList &arguments,
                  const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
                  const QString &workingFolder = QString(),
                  const std::function<void(QProcess &)> &prepare = {});

} // namespace lintaro::test
