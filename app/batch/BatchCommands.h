#pragma once

#include "app/batch/BatchCommandLine.h"

struct ProgramContext;

// The batch commands. Each takes the parsed command line and the program made for the run (its
// configuration file and settings already loaded, --port already applied to PortName) and
// returns the
// exit status: kExitDone, kExitFailed with the program's message on standard error, or
// kExitBadCommandLine (see badCommandLine). Adding a command: one declaration here, one line in
// kBatchCommands, and its own source file.

// `ports`: lists the serial ports found, one line each: name, a tab, description.
int runPortsCommand(const BatchCommandLine& commandLine, ProgramContext& program);

// `move DX DY DZ`: a manual move in millimetres, as the manual positioning panel makes it.
int runMoveCommand(const BatchCommandLine& commandLine, ProgramContext& program);

// `serve-sim`: the virtual controller (with --grbl a virtual GRBL) on a pseudo-terminal until
// SIGINT or SIGTERM.
int runServeSimCommand(const BatchCommandLine& commandLine, ProgramContext& program);

// `mill selected|all|3d PICTURE`: the milling window's jobs on a picture parsed as "Разобрать"
// does.
int runMillCommand(const BatchCommandLine& commandLine, ProgramContext& program);

// `outline selected|all|filled PICTURE`: the outlining window's jobs on a picture parsed as
// "Разобрать" does.
int runOutlineCommand(const BatchCommandLine& commandLine, ProgramContext& program);

// `parse PICTURE [--labels FILE]`: the figures, pairs and nesting tree of a picture, as
// "Разобрать" finds them, on standard output; --labels writes the label grid.
int runParseCommand(const BatchCommandLine& commandLine, ProgramContext& program);

// `scan`: the scanner window's scan over its grid (the probe at the port, or random samples
// with --dry-run), then --interpolate, --save, --export and --preview.
int runScanCommand(const BatchCommandLine& commandLine, ProgramContext& program);
// `engrave PICTURE`: the engraving window's "Гравировать" on a greyscale picture.
int runEngraveCommand(const BatchCommandLine& commandLine, ProgramContext& program);

struct BatchCommandEntry {
    const char* name;
    int (*run)(const BatchCommandLine&, ProgramContext&);
    const char* synopsis;     // the command with its arguments, for the usage (UTF-8)
    const char* description;  // one line for the usage (UTF-8)
};

inline constexpr BatchCommandEntry kBatchCommands[] = {
    {"parse", &runParseCommand, "parse PICTURE [--labels FILE]",
     "фигуры, пары и дерево вложения картинки"},
    {"ports", &runPortsCommand, "ports", "список найденных последовательных портов"},
    {"move", &runMoveCommand, "move DX DY DZ", "ручное перемещение в миллиметрах"},
    {"serve-sim", &runServeSimCommand,
     "serve-sim [--probe | --grbl [--error-at N] [--surface Z0,GX,GY] [--laser-mode]] [--delay MS]",
     "виртуальный контроллер станка на псевдотерминале"},
    {"mill", &runMillCommand,
     "mill selected|all|3d PICTURE [--figure N] [--width MM] [--depth MM] [--diameter MM] "
     "[--surface FILE.csv [--surface-offset X,Y]] [--resume]",
     "фрезерование: выделенная фигура, все фигуры или 3D"},
    {"scan", &runScanCommand,
     "scan [--mesh W,H] [--area MM] [--image W,H] [--return] [--interpolate] [--save FILE] "
     "[--export FILE.csv|FILE.stl [--force]] [--relief FILE] [--resume]",
     "сканирование поверхности зондом по сетке точек"},
    {"outline", &runOutlineCommand,
     "outline selected|all|filled PICTURE [--figure N] [--width MM] [--surface FILE.csv "
     "[--surface-offset X,Y]] [--resume]",
     "обведение лазером: выделенная фигура, границы всех фигур или заполнение"},
    {"engrave", &runEngraveCommand,
     "engrave PICTURE [--width MM] [--preview FILE] [--surface FILE.csv [--surface-offset X,Y]] "
     "[--resume]",
     "лазерная гравировка полутоновой картинки"},
};
