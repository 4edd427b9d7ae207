#include "Machine.h"
#include "Serial.h"
#include "Stepper.h"

bool MoveOrReport(const int32_t steps[3], uint16_t rate) {
    const MoveResult result = stepperMove(steps, rate, false);
    if (result.cause != StopCause::Limit) return true;
    ReportLimit(result.limitAxis);
    return false;
}

void ReportLimit(uint8_t axis) {
    const char text[] = {'E',  'R',  'R', ' ', 'l', 'i', 'm', 'i', 't', ' ', char('X' + axis),
                         '\r', '\n', '\0'};
    serialWrite(text);
}
