#include "Power.h"

#include <avr/io.h>

#include "Pins.h"

namespace {

// Fast PWM on OC2A, counting 0..255 at F_CPU / 8.
constexpr uint8_t kFastPwm = _BV(WGM21) | _BV(WGM20);

}  // namespace

void powerInit() {
    PORTB &= uint8_t(~(pins::kPower | pins::kSpindleDir));
    DDRB |= pins::kPower | pins::kSpindleDir;
    TCCR2A = kFastPwm;
    TCCR2B = _BV(CS21);
}

void powerSet(uint8_t level) {
    // Off and full power are the plain output: a PWM compare at either end would give a spike
    // each period, or (in the simulator) nothing at all.
    if (level == 0 || level == 255) {
        TCCR2A = kFastPwm;
        if (level == 0) {
            PORTB &= uint8_t(~pins::kPower);
        } else {
            PORTB |= pins::kPower;
        }
        return;
    }
    PORTB &= uint8_t(~pins::kPower);
    // The pin is high for compare + 1 of the 256 counts of a period.
    OCR2A = uint8_t((uint16_t(level) * 256 + 127) / 255 - 1);
    TCCR2A = kFastPwm | _BV(COM2A1);
}
