#pragma once

#include "app/config/Config.h"
#include "app/config/ProgramSettings.h"
#include "link/job/JobRunner.h"
#include "link/protocol/MachineLink.h"
#include "link/protocol/ProgramContext.h"
#include "link/serial/PortKinds.h"
#include "link/serial/SerialDriver.h"
#include "surface/SurfaceMapStore.h"

// The parts of the program that everything shares, made once: by main for the windows, by the
// batch entry for one command, by tests for their program. The members are declared in the
// order they depend on each other, so that the link closes its port while the driver is still
// there.
class Program {
public:
    // Reads nothing yet: the settings keep their defaults until loadProgramSettings.
    explicit Program(const QString& configPath);
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    ProgramContext& context() { return m_context; }

    SerialDriver driver;
    PortKinds portKinds{driver};
    ConfigFile config;
    SharedSettings settings;
    MachineLink link{portKinds, settings.values()};
    JobRunner runner;
    SurfaceMapStore surfaceMaps;

private:
    ProgramContext m_context{config, settings, link, runner, &surfaceMaps};
};

// The kinds of port the program offers besides serial devices: "sim" and "sim:probe" (the
// virtual controller, without and with the probe), "gcode:FILE" (the jobs written as G-code to
// FILE) and "grbl:DEVICE" (streamed to a GRBL controller at 115200 baud). The G-code ports
// translate with `settings` as they are when the port opens.
void addProgramPortKinds(PortKinds& kinds, const ProgramSettings& settings);
