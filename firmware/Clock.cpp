#include "Clock.h"

#include <avr/interrupt.h>
#include <avr/io.h>
#include <util/atomic.h>

namespace {

volatile uint32_t g_ms;

}  // namespace

ISR(TIMER0_COMPA_vect) {
    ++g_ms;
}

void clockInit() {
    // F_CPU / 64 / 250 = 1 kHz in CTC mode. The compare value goes in before the interrupt is
    // enabled: simavr 1.6 never arms a CTC timer whose compare value is still 0.
    OCR0A = F_CPU / 64 / 1000 - 1;
    TCCR0A = _BV(WGM01);
    TCCR0B = _BV(CS01) | _BV(CS00);
    TIMSK0 = _BV(OCIE0A);
}

uint32_t clockMs() {
    uint32_t ms;
    ATOMIC_BLOCK(ATOMIC_RESTORESTATE) {
        ms = g_ms;
    }
    return ms;
}
