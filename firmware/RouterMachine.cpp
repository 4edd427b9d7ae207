#include "Config.h"
#include "Machine.h"
#include "Power.h"

// The router: the third field is Z steps.

bool CarryOut(const MoveLine& line) {
    if (SPINDLE_AUTO) powerSet(255);
    return MoveOrReport(line.steps, MAX_RATE);
}
