#pragma once

#include <avr/io.h>

// The pins of an Arduino Uno or Nano under the common three-axis stepper shield (the CNC
// shield's layout): step and direction of X, Y, Z on port D, everything else on ports B and C.
// Inputs are switches to ground with the internal pull-ups: closed reads low.

namespace pins {

// Port D: step pulses D2..D4, directions D5..D7 (high = positive direction).
constexpr uint8_t kStepX = _BV(PD2);
constexpr uint8_t kStepY = _BV(PD3);
constexpr uint8_t kStepZ = _BV(PD4);
constexpr uint8_t kDirX = _BV(PD5);
constexpr uint8_t kDirY = _BV(PD6);
constexpr uint8_t kDirZ = _BV(PD7);
constexpr uint8_t kStepMask = kStepX | kStepY | kStepZ;
constexpr uint8_t kDirMask = kDirX | kDirY | kDirZ;

// Port B: drivers' enable D8 (low = enabled), limits X D9, Y D10, Z D12, spindle or laser PWM
// D11 (OC2A), spindle direction D13 (kept low).
constexpr uint8_t kEnable = _BV(PB0);
constexpr uint8_t kLimitX = _BV(PB1);
constexpr uint8_t kLimitY = _BV(PB2);
constexpr uint8_t kLimitZ = _BV(PB4);
constexpr uint8_t kLimitMask = kLimitX | kLimitY | kLimitZ;
constexpr uint8_t kPower = _BV(PB3);
constexpr uint8_t kSpindleDir = _BV(PB5);

// Port C: the probe A5.
constexpr uint8_t kProbe = _BV(PC5);

}  // namespace pins
