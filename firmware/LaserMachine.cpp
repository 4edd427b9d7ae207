#include "Config.h"
#include "Machine.h"
#include "Power.h"

// The laser, reading the third field as the jobs send it. The beam is on only while the
// machine moves over what is to be burnt, never while it stands or travels.
//
// Outlining: "0,0,1;" opens a border and "0,0,-1;" closes it; the moves in between burn at
// OUTLINE_POWER, the moves outside are travels.
// Engraving: "0,0,-N;" with no border open sets the pixel pitch N (steps along X); each
// "dx,dy,d;" with d > 0 then burns one pixel of darkness d (1..255): a travel to one pitch before
// the pixel, then one pitch along +X at a duty of d / 255. A line with 0 in the third field
// ends the engraving.

namespace {

bool g_borderOpen = false;
int32_t g_pitch = 0;

// The move (dx, dy) at `level`, the beam off again when it ends.
bool burn(int32_t dx, int32_t dy, uint8_t level, uint16_t rate) {
    const int32_t steps[3] = {dx, dy, 0};
    if (dx == 0 && dy == 0) return true;
    powerSet(level);
    const bool done = MoveOrReport(steps, rate);
    powerSet(0);
    return done;
}

}  // namespace

bool CarryOut(const MoveLine& line) {
    const int32_t x = line.steps[0];
    const int32_t y = line.steps[1];
    const int32_t z = line.steps[2];
    if (g_pitch > 0 && z > 0) {
        const uint8_t darkness = z > 255 ? 255 : uint8_t(z);
        return burn(x - g_pitch, y, 0, MAX_RATE) && burn(g_pitch, 0, darkness, BURN_RATE);
    }
    if (z > 0) {
        g_borderOpen = true;
    } else if (z < 0) {
        if (x == 0 && y == 0 && !g_borderOpen) {
            g_pitch = -z;
            return true;
        }
        g_borderOpen = false;
    } else {
        g_pitch = 0;
    }
    return g_borderOpen ? burn(x, y, OUTLINE_POWER, BURN_RATE) : burn(x, y, 0, MAX_RATE);
}
