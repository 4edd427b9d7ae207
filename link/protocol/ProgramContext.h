#pragma once

class ConfigFile;
class JobRunner;
class MachineLink;
class SharedSettings;
class SurfaceMapStore;

// What the whole program shares: the configuration file, the machine settings, the link to the
// machine and the runner of jobs. Made once (by main for the windows, by the batch entry for a
// command) and handed down by reference to every window and command; it outlives them all.
struct ProgramContext {
    ConfigFile& config;
    SharedSettings& settings;
    MachineLink& link;
    JobRunner& runner;
    // The surface map the windows share; none in contexts made without one (tests), where each
    // window keeps its own.
    SurfaceMapStore* surfaceMaps = nullptr;
};
