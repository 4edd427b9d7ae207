#pragma once

#include <QString>
#include <QStringList>

// Runs `cnc` without windows: `words` are the command-line words after the program's name.
// Prints the version or the usage, or applies --config, loads the program settings (a warning
// about them goes to standard error), applies --port and runs the command. Returns the exit
// status: 0 done, 1 refused or failed, 2 bad command line (with the usage on standard error).
int runBatch(const QStringList& words);

// The usage text printed by --help and after a bad command line.
QString batchUsage();
