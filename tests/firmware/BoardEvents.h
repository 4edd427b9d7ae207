#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <array>
#include <cstdint>

// The event file of the board simulator (see BoardSim.cpp), read back by the tests.

inline constexpr double kBoardCyclesPerSecond = 16e6;

struct StepPulse {
    std::uint64_t cycle;
    int axis;       // 0 X, 1 Y, 2 Z
    int direction;  // +1, -1
};

// One line the board received, with the step pulses that followed it up to the next line.
struct BoardLine {
    QByteArray text;  // without ";"
    std::uint64_t cycle;
    QList<StepPulse> pulses;
};

struct PowerEdge {
    std::uint64_t cycle;
    int level;
};

struct BoardEvents {
    QList<BoardLine> lines;
    QList<QByteArray> replies;  // every line the board sent, in order
    QList<PowerEdge> power;
    // Step pulses per axis and direction: counts[axis][0] negative, [1] positive.
    std::array<std::array<long, 2>, 3> counts{};
    std::uint64_t lastCycle = 0;
};

// Reads the event file; an empty result when it cannot be read.
BoardEvents ReadBoardEvents(const QString& path);

// The share of the cycles in [from, to) during which the power pin was high.
double PowerHighShare(const QList<PowerEdge>& power, std::uint64_t from, std::uint64_t to);

// The steps of a move line's text "dx,dy,dz" (no ";").
std::array<long, 3> LineSteps(const QByteArray& text);
