#pragma once

#include "app/batch/BatchCommandLine.h"

// The batch commands. Each takes the parsed command line (the configuration file and the
// program-wide settings are already loaded, --port already applied to PortName) and returns the
// exit status: kExitDone, kExitFailed with the program's message on standard error, or
// kExitBadCommandLine (see badCommandLine). Adding a command: one declaration here, one line in
// kBatchCommands, and its own source file.

// `ports`: lists the serial ports found, one line each: name, a tab, description.
int runPortsCommand(const BatchCommandLine& commandLine);

// `move DX DY DZ`: a manual move in millimetres, as the manual positioning panel makes it.
int runMoveCommand(const BatchCommandLine& commandLine);

// `serve-sim`: the virtual controller on a pseudo-terminal until SIGINT or SIGTERM.
int runServeSimCommand(const BatchCommandLine& commandLine);

struct BatchCommandEntry {
    const char* name;
    int (*run)(const BatchCommandLine&);
    const char* synopsis;     // the command with its arguments, for the usage (UTF-8)
    const char* description;  // one line for the usage (UTF-8)
};

inline constexpr BatchCommandEntry kBatchCommands[] = {
    {"ports", &runPortsCommand, "ports", "список найденных последовательных портов"},
    {"move", &runMoveCommand, "move DX DY DZ", "ручное перемещение в миллиметрах"},
    {"serve-sim", &runServeSimCommand, "serve-sim [--probe] [--delay MS]",
     "виртуальный контроллер станка на псевдотерминале"},
};
