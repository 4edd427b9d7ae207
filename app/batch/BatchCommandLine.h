#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The command line of a batch run: `cnc [OPTIONS] COMMAND ARGS...`. Texts of size options are
// kept as typed; each command reads them with the program's number rule, like a window's field.
struct BatchOptions {
    QString configPath;               // --config FILE; empty: cnc.ini beside the program
    std::optional<QString> port;      // --port NAME
    bool dryRun = false;              // --dry-run
    std::optional<QString> width;     // --width MM
    std::optional<QString> depth;     // --depth MM
    std::optional<QString> diameter;  // --diameter MM
    std::optional<QString> mesh;      // --mesh W,H
    std::optional<QString> area;      // --area MM
    std::optional<QString> image;     // --image W,H
    QString preview;                  // --preview FILE
    QString log;                      // --log FILE
    double timeoutSeconds = 0;        // --timeout S; 0 waits for ever
    std::optional<int> figure;        // --figure N
    QString labels;                   // --labels FILE (parse)
    QString save;                     // --save FILE (scan)
    QString exportPath;               // --export FILE.csv|FILE.stl (scan)
    bool interpolate = false;         // --interpolate (scan)
    bool force = false;               // --force (scan): write an export larger than 1 GB
    bool returnToStart = false;       // --return (scan): the probe back to the first point
    bool probe = false;               // --probe (serve-sim)
    bool grbl = false;                // --grbl (serve-sim)
    int errorAtLine = 0;              // --error-at N (serve-sim --grbl): refuse the Nth line
    int delayMs = 0;                  // --delay MS (serve-sim)
    QString surface;                  // --surface Z0,GX,GY (serve-sim --grbl): a plane to probe;
                                      // --surface FILE.csv (mill): the height map to follow
    std::optional<QString> surfaceOffset;  // --surface-offset X,Y (mill): the start on the map
    QString relief;                    // --relief FILE (scan): the surface as a greyscale picture
    bool laserMode = false;            // --laser-mode (serve-sim --grbl): $32=1 from the start
    bool resume = false;               // --resume: go on with the job of the journal
    std::optional<std::int64_t> from;  // --from N: start at figure, row or grid point N
};

struct BatchCommandLine {
    QString command;        // "parse", "mill", "move", ...
    QStringList arguments;  // the words after the command that are not options
    BatchOptions options;
};

// Exit statuses of a batch run.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitBadCommandLine = 2;
