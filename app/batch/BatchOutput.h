#pragma once

#include <QImage>
#include <QString>

// Text of a batch run, written as UTF-8 and flushed at once so that it interleaves correctly
// with other output.

// Writes `text` to standard output.
void printOut(const QString& text);

// Writes `text` to standard error.
void printError(const QString& text);

// Writes `message` and a line end to standard error and returns kExitFailed, so a command can
// `return failWith(...)`.
int failWith(const QString& message);

// Reports a bad command line: "cnc: " + `message`, then the usage, on standard error. Returns
// the exit status kExitBadCommandLine, so a command can `return badCommandLine(...)`.
int badCommandLine(const QString& message);

// Writes the picture of a job's result for --preview, as BMP when `path` ends in ".bmp",
// otherwise as PNG. Returns false, with the reason on standard error, when it cannot.
bool writePreview(const QString& path, const QImage& picture);
