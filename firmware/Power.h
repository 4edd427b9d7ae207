#pragma once

#include <stdint.h>

// The spindle or laser output on D11: off, full on, or a PWM of Timer2 (about 7.8 kHz) whose
// duty is `level` / 255.

// Sets the output up, off.
void powerInit();
// 0 off, 255 full power, anything between a duty of level / 255 (to within 1/512).
void powerSet(uint8_t level);
