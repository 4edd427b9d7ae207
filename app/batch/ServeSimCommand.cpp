#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "app/batch/BatchCommands.h"
#include "app/batch/BatchOutput.h"
#include "link/SimServer.h"

namespace {

// Written to by the signal handler; its other end wakes the server.
int g_stopPipe[2] = {-1, -1};

extern "C" void wakeServer(int) {
    const char byte = 's';
    [[maybe_unused]] const ssize_t written = ::write(g_stopPipe[1], &byte, 1);
}

}  // namespace

int runServeSimCommand(const BatchCommandLine& commandLine) {
    if (!commandLine.arguments.isEmpty()) {
        return badCommandLine(QStringLiteral("лишний аргумент команды serve-sim: %1")
                                  .arg(commandLine.arguments.first()));
    }
    SimServer server(commandLine.options.probe, commandLine.options.delayMs);
    QString error;
    if (!server.open(&error) || ::pipe(g_stopPipe) != 0) {
        printError(QStringLiteral("Не удаётся создать псевдотерминал: %1\n").arg(error));
        return kExitFailed;
    }
    struct sigaction action {};
    action.sa_handler = &wakeServer;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    printOut(server.devicePath() + u'\n');
    server.serve(g_stopPipe[0], stdout);
    ::close(g_stopPipe[0]);
    ::close(g_stopPipe[1]);
    return kExitDone;
}
