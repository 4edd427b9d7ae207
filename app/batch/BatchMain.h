#pragma once

#include <QString>
#include <QStringList>

class Program;
struct BatchOptions;

// Runs `cnc` without windows: `words` are the command-line words after the program's name.
// Prints the version or the usage, or makes the program's parts for the run over the
// configuration file (batchConfigPath), loads them (loadBatchSettings; a warning about them goes
// to standard error) and runs the command with them. Returns the exit
// status: 0 done, 1 refused or failed, 2 bad command line (with the usage on standard error).
int runBatch(const QStringList& words);

// The usage text printed by --help and after a bad command line.
QString batchUsage();

// The configuration file of a batch run: --config, else "cnc.ini" in the program's directory.
QString batchConfigPath(const BatchOptions& options);

// Loads the settings of `program` from its configuration file and applies --port. Returns what
// the user must be told about the stored settings (see loadProgramSettings); empty when fine.
QString loadBatchSettings(Program& program, const BatchOptions& options);
