#include "Config.h"
#include "Machine.h"
#include "Serial.h"
#include "Stepper.h"

// The probe scanner: "0,0,100;" takes a sample, every other line is a move (Z in steps).
// Sampling lowers the probe (towards -Z) until its input closes, at most PROBE_RANGE steps,
// sends the depth reached on the scale 255 (contact at once) to 0 (PROBE_RANGE down, or no
// contact) as decimal digits and CR LF, and raises the probe back to where it started.

namespace {

bool sample() {
    const int32_t down[3] = {0, 0, -int32_t(PROBE_RANGE)};
    const MoveResult reached = stepperMove(down, PROBE_RATE, true);
    const uint32_t depth = uint32_t(-reached.done[2]);
    const int32_t back[3] = {0, 0, int32_t(depth)};
    if (reached.cause == StopCause::Limit) {
        ReportLimit(reached.limitAxis);
        return false;
    }
    if (!MoveOrReport(back, MAX_RATE)) return false;
    uint16_t value = 0;
    if (reached.cause == StopCause::Probe)
        value = uint16_t((255UL * (PROBE_RANGE - depth) * 2 + PROBE_RANGE) / (2UL * PROBE_RANGE));
    serialWriteNumber(value);
    serialWrite("\r\n");
    return true;
}

}  // namespace

bool CarryOut(const MoveLine& line) {
    if (line.steps[0] == 0 && line.steps[1] == 0 && line.steps[2] == 100) return sample();
    return MoveOrReport(line.steps, MAX_RATE);
}
