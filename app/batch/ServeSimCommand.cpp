#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <optional>

#include "app/batch/BatchCommands.h"
#include "app/batch/BatchOutput.h"
#include "app/config/NumberText.h"
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

// "Z0,GX,GY": the plane Z = Z0 + GX·X + GY·Y in machine millimetres.
std::optional<VirtualGrbl::Surface> planeSurface(const QString& text) {
    const QStringList parts = text.split(u',');
    if (parts.size() != 3) return std::nullopt;
    double values[3] = {};
    for (int i = 0; i < 3; ++i) {
        const std::optional<double> value = parseNumber(parts[i]);
        if (!value) return std::nullopt;
        values[i] = *value;
    }
    return [z0 = values[0], gx = values[1], gy = values[2]](double x, double y) {
        return z0 + gx * x + gy * y;
    };
}

// The virtual GRBL: its probe surface at the program's step ratios and height range unless a
// plane is given.
int serveGrbl(const ProgramSettings& settings, const BatchOptions& options) {
    GrblSimServer server({settings.StepRatioX, settings.StepRatioY, settings.StepRatioZ},
                         settings.Gcode.HeightRange, options.delayMs);
    if (options.errorAtLine > 0) server.refuseLine(options.errorAtLine);
    if (!options.surface.isEmpty()) {
        const auto plane = planeSurface(options.surface);
        if (!plane) {
            return badCommandLine(
                QStringLiteral("--surface ждёт Z0,GX,GY (три числа через запятую): %1")
                    .arg(options.surface));
        }
        server.setSurface(*plane);
    }
    server.setLaserMode(options.laserMode);
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
    if (options.grbl) return serveGrbl(program.settings.values(), options);
    if (options.errorAtLine > 0 || !options.surface.isEmpty() || options.laserMode) {
        return badCommandLine(
            QStringLiteral("--error-at, --surface и --laser-mode только вместе с --grbl"));
    }
    SimServer server(options.probe, options.delayMs);
    return serveUntilStopped(server);
}
