#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "app/batch/BatchCommands.h"
#include "app/batch/BatchOutput.h"
#include "app/config/ProgramSettings.h"
#include "link/protocol/ProgramContext.h"
#include "link/virtual/GrblSimServer.h"
#include "link/virtual/SimServer.h"

namespace {

// Written to by the signal handler; its other end wakes the server.
int g_stopPipe[2] = {-1, -1};

extern "C" void wakeServer(int) {
    const char byte = 's';
    [[maybe_unused]] const ssize_t written = ::write(g_stopPipe[1], &byte, 1);
}

// Makes SIGINT and SIGTERM wake the server through the stop pipe.
bool catchStopSignals() {
    if (::pipe(g_stopPipe) != 0) return false;
    struct sigaction action {};
    action.sa_handler = &wakeServer;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    return true;
}

void closeStopPipe() {
    ::close(g_stopPipe[0]);
    ::close(g_stopPipe[1]);
}

// Opens the server's pseudo-terminal, prints its device path and serves it until a stop signal.
template <class Server>
int serveUntilStopped(Server& server) {
    QString error;
    if (!server.open(&error) || !catchStopSignals()) {
        printError(QStringLiteral("Не удаётся создать псевдотерминал: %1\n").arg(error));
        return kExitFailed;
    }
    printOut(server.devicePath() + u'\n');
    server.serve(g_stopPipe[0], stdout);
    closeStopPipe();
    return kExitDone;
}

// The virtual GRBL, its probe surface at the program's step ratios and height range.
int serveGrbl(const ProgramSettings& settings, int delayMs, int errorAtLine) {
    GrblSimServer server({settings.StepRatioX, settings.StepRatioY, settings.StepRatioZ},
                         settings.Gcode.HeightRange, delayMs);
    if (errorAtLine > 0) server.refuseLine(errorAtLine);
    return serveUntilStopped(server);
}

}  // namespace

int runServeSimCommand(const BatchCommandLine& commandLine, ProgramContext& program) {
    if (!commandLine.arguments.isEmpty()) {
        return badCommandLine(QStringLiteral("лишний аргумент команды serve-sim: %1")
                                  .arg(commandLine.arguments.first()));
    }
    const BatchOptions& options = commandLine.options;
    if (options.probe && options.grbl)
        return badCommandLine(QStringLiteral("--probe и --grbl не сочетаются: у GRBL свой щуп"));
    if (options.grbl)
        return serveGrbl(program.settings.values(), options.delayMs, options.errorAtLine);
    if (options.errorAtLine > 0)
        return badCommandLine(QStringLiteral("--error-at только вместе с --grbl"));
    SimServer server(options.probe, options.delayMs);
    return serveUntilStopped(server);
}
