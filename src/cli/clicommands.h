#pragma once

#include <QStringList>

#include <cstdio>

namespace lintaro::cli {

// Each subcommand takes the arguments after its name and returns the exit
// status: 0 success, 1 a file or row failed, 2 wrong usage or an error before
// the work began.
using Command = int (*)(const QStringList &arguments);

// probe [--audio LOCATION] FILE...: length, rate and sound of AVI files.
int probeCommand(const QStringList &arguments);

} // namespace lintaro::cli
