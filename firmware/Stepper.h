#pragma once

#include <stdint.h>

// Straight moves of the three axes at once: the leading axis (the one with the most steps)
// steps at a rate that rises from rest with ACCELERATION, holds at most the rate asked for and
// falls back to rest at the end; the other axes step along it by integer line drawing, so every
// axis ends exactly on its count. Steps are timed by Timer1's compare interrupt.

enum class StopCause : uint8_t {
    Done,   // every step carried out
    Limit,  // a limit input closed (see stepperMove); `limitAxis` says which
    Probe,  // the probe input closed
};

struct MoveResult {
    StopCause cause;
    uint8_t limitAxis;  // 0 X, 1 Y, 2 Z, with StopCause::Limit
    int32_t done[3];    // steps carried out on each axis, signed
};

// Sets up the step and direction outputs (drivers enabled) and the limit inputs.
void stepperInit();

// Carries out `steps` (X, Y, Z, signed) with the leading axis at most `rate` steps per second,
// and returns when the move has ended. A limit input that closes during the move stops it at
// once; so does the probe input when `untilProbe`. A limit that is still closed refuses, without
// moving, a move of its axis in the direction that closed it; the other direction backs off it.
MoveResult stepperMove(const int32_t steps[3], uint16_t rate, bool untilProbe);
