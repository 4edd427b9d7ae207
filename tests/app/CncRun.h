#pragma once

#include <QString>
#include <QStringList>

// One run of the cnc executable to its end, as a shell runs it.
struct CncRun {
    int exitCode = -1;  // -1: it did not end normally
    QString err;        // standard error as the program wrote it
    long peakKb = 0;    // the child's peak memory (resident set), kilobytes
};

// Runs cnc with `arguments`, standard output discarded, and measures its peak memory.
CncRun runCncMeasured(const QStringList& arguments);
