#pragma once

#include <QString>
#include <QStringList>

#include "app/batch/BatchCommandLine.h"

// What a batch command line asks for once its words have been read.
struct BatchParseResult {
    enum class Request { Run, Help, Version };
    Request request = Request::Run;
    BatchCommandLine commandLine;  // for Run: the command word, its arguments and the options
    QString error;                 // not empty: the command line is bad (exit status 2)
};

// Reads the words after the program's name. Options may stand before or after the command word
// (the first word that is not an option); an option's value is the next word, or follows "=".
// After the command word a word that reads as a number ("-1", "-0,5") is an argument; "--" ends
// the options. Unknown options, missing or malformed values, and a missing command are errors;
// whether the command word names a command is left to the caller.
BatchParseResult parseBatchCommandLine(const QStringList& words);
