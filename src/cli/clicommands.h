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

// check SCHEDULE [--source N] [--separator N]...: the Source cells no file is found for.
int checkCommand(const QStringList &arguments);

// convert SCHEDULE --save-as PATH [--source N] [--separator N]... [--audio LOCATION]
// [--format psq|xml|edl|mlt] [--map LOCAL=REMOTE]...: the sequence files, PATH
// standing for the name chosen in the save dialog.
int convertCommand(const QStringList &arguments);

// Where the clips' sound lies, as --audio takes it: empty, "." or a drive letter.
bool isAudioLocation(const QString &location);
// A valid location as the dialog would hold it: the drive letter in lower case.
QString audioLocationArgument(const QString &location);

} // namespace lintaro::cli
