#include "Stepper.h"

#include <avr/interrupt.h>
#include <avr/io.h>
#include <avr/sleep.h>
#include <math.h>
#include <util/delay.h>

#include "Config.h"
#include "Pins.h"

namespace {

// Timer1 counts at F_CPU / 8; intervals are kept in 1/256 of a count, so that the ramp's
// small corrections add up instead of being rounded away.
constexpr uint32_t kTicksPerSecond = F_CPU / 8;
constexpr uint8_t kFraction = 8;
constexpr uint32_t kLongestInterval = 0xFFFFUL << kFraction;

const uint8_t kStepBit[3] = {pins::kStepX, pins::kStepY, pins::kStepZ};
const uint8_t kDirBit[3] = {pins::kDirX, pins::kDirY, pins::kDirZ};
const uint8_t kLimitBit[3] = {pins::kLimitX, pins::kLimitY, pins::kLimitZ};

// The move in progress, shared with the step interrupt.
struct Motion {
    uint32_t delta[3];  // steps per axis, without sign
    uint32_t error[3];  // line drawing: each axis steps when its error passes `total`
    uint32_t count[3];  // steps made per axis
    uint32_t total;     // steps of the leading axis
    uint32_t left;      // leading steps still to make
    uint32_t interval;  // time to the next step, counts << kFraction
    uint32_t shortest;  // the interval of the top rate
    uint32_t ramp;      // steps made while speeding up, undone while slowing down
    uint8_t watchedLimits;
    bool untilProbe;
    StopCause cause;
};

Motion g_motion;
volatile bool g_running;
// Per axis, the direction (+1, -1) of the move that a closed limit stopped; 0 none.
int8_t g_blocked[3];
uint32_t g_firstInterval;

void stopTimer() {
    TIMSK1 = 0;
    TCCR1B = 0;
    g_running = false;
}

// The interval to the step after this one: speeding up by c -= 2c / (4n + 1) until the top
// rate, slowing down by the reverse when no more steps are left than were used to speed up.
void nextInterval(Motion& m) {
    if (m.left <= m.ramp) {
        m.interval += 2 * m.interval / (4 * m.ramp - 1);
        if (m.interval > kLongestInterval) m.interval = kLongestInterval;
        --m.ramp;
    } else if (m.interval > m.shortest) {
        ++m.ramp;
        m.interval -= 2 * m.interval / (4 * m.ramp + 1);
        if (m.interval < m.shortest) m.interval = m.shortest;
    }
}

// Sleeps between interrupts until the move has ended; "sei" takes effect only after the
// "sleep" that follows it, so the end of a move cannot slip in between the test and the sleep.
void waitWhileRunning() {
    set_sleep_mode(SLEEP_MODE_IDLE);
    for (;;) {
        cli();
        if (!g_running) break;
        sleep_enable();
        sei();
        sleep_cpu();
        sleep_disable();
    }
    sei();
}

}  // namespace

ISR(TIMER1_COMPA_vect) {
    Motion& m = g_motion;
    if ((PINB & m.watchedLimits) != m.watchedLimits) {
        m.cause = StopCause::Limit;
        stopTimer();
        return;
    }
    if (m.untilProbe && !(PINC & pins::kProbe)) {
        m.cause = StopCause::Probe;
        stopTimer();
        return;
    }
    uint8_t pulse = 0;
    for (uint8_t a = 0; a < 3; ++a) {
        m.error[a] += m.delta[a];
        if (m.error[a] >= m.total) {
            m.error[a] -= m.total;
            pulse |= kStepBit[a];
            ++m.count[a];
        }
    }
    PORTD |= pulse;
    if (--m.left == 0) {
        stopTimer();
    } else {
        nextInterval(m);
        OCR1A = uint16_t(m.interval >> kFraction);
    }
    _delay_us(2);  // the drivers' shortest step pulse
    PORTD &= uint8_t(~pins::kStepMask);
}

void stepperInit() {
    // X and Y step on INT0 and INT1. Their (unused, masked) interrupts sense edges rather than
    // the reset's low level: simavr 1.6 polls a low-level external interrupt pin at every cycle
    // while it is low, masked or not, which slows the simulated board to a crawl.
    EICRA = _BV(ISC01) | _BV(ISC00) | _BV(ISC11) | _BV(ISC10);
    DDRD |= pins::kStepMask | pins::kDirMask;
    PORTD &= uint8_t(~(pins::kStepMask | pins::kDirMask));
    DDRB |= pins::kEnable;
    PORTB &= uint8_t(~pins::kEnable);
    DDRB &= uint8_t(~pins::kLimitMask);
    PORTB |= pins::kLimitMask;
    DDRC &= uint8_t(~pins::kProbe);
    PORTC |= pins::kProbe;
    // The first step from rest, corrected for the ramp formula's error at its start.
    g_firstInterval =
        uint32_t(0.676 * kTicksPerSecond * sqrt(2.0 / ACCELERATION) * (1UL << kFraction));
    if (g_firstInterval > kLongestInterval) g_firstInterval = kLongestInterval;
}

MoveResult stepperMove(const int32_t steps[3], uint16_t rate, bool untilProbe) {
    MoveResult result{StopCause::Done, 0, {0, 0, 0}};
    Motion& m = g_motion;
    m = Motion{};
    uint8_t dirs = 0;
    for (uint8_t a = 0; a < 3; ++a) {
        const bool closed = !(PINB & kLimitBit[a]);
        if (!closed) g_blocked[a] = 0;
        if (steps[a] == 0) continue;
        const int8_t sign = steps[a] > 0 ? 1 : -1;
        if (closed && g_blocked[a] == sign) {
            result.cause = StopCause::Limit;
            result.limitAxis = a;
            return result;
        }
        if (!closed) m.watchedLimits |= kLimitBit[a];
        if (sign > 0) dirs |= kDirBit[a];
        m.delta[a] = sign > 0 ? uint32_t(steps[a]) : uint32_t(0) - uint32_t(steps[a]);
        if (m.delta[a] > m.total) m.total = m.delta[a];
    }
    if (m.total == 0) return result;
    for (uint8_t a = 0; a < 3; ++a) m.error[a] = m.total / 2;
    m.left = m.total;
    m.shortest = (kTicksPerSecond << kFraction) / rate;
    m.interval = g_firstInterval > m.shortest ? g_firstInterval : m.shortest;
    m.untilProbe = untilProbe;
    PORTD = uint8_t((PORTD & ~pins::kDirMask) | dirs);

    // Simulators and the chip alike: the compare value is in place before the interrupt is on.
    g_running = true;
    TCNT1 = 0;
    OCR1A = uint16_t(m.interval >> kFraction);
    TIFR1 = _BV(OCF1A);
    TIMSK1 = _BV(OCIE1A);
    TCCR1A = 0;
    TCCR1B = _BV(WGM12) | _BV(CS11);
    waitWhileRunning();

    result.cause = m.cause;
    for (uint8_t a = 0; a < 3; ++a) {
        const int32_t made = int32_t(m.count[a]);
        result.done[a] = steps[a] < 0 ? -made : made;
        if (m.cause == StopCause::Limit && m.delta[a] != 0 && !(PINB & kLimitBit[a])) {
            g_blocked[a] = steps[a] > 0 ? 1 : -1;
            result.limitAxis = a;
        }
    }
    return result;
}
