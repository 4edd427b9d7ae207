#include <avr/interrupt.h>
#include <avr/sleep.h>

#include "Clock.h"
#include "Config.h"
#include "LineReader.h"
#include "Machine.h"
#include "Power.h"
#include "Serial.h"
#include "Stepper.h"

// The controller: reads move lines from the serial line, carries each out, and answers "OK"
// CR LF when it is done (a bad line "ERR" CR LF). Spindle and laser are off from reset on, and
// go off whenever no line has come for IDLE_OFF_MS.

int main() {
    powerInit();
    stepperInit();
    clockInit();
    serialInit();
    sei();

    LineReader reader;
    MoveLine line;
    uint32_t lastLine = clockMs();
    set_sleep_mode(SLEEP_MODE_IDLE);
    for (;;) {
        const int byte = serialRead();
        if (byte < 0) {
            if (clockMs() - lastLine >= IDLE_OFF_MS) powerSet(0);
            // Woken by the next received byte or the next millisecond.
            sleep_mode();
            continue;
        }
        switch (reader.take(uint8_t(byte), line)) {
            case LineStatus::Pending:
                break;
            case LineStatus::Bad:
                serialWrite("ERR\r\n");
                break;
            case LineStatus::Move:
                if (CarryOut(line)) serialWrite("OK\r\n");
                lastLine = clockMs();
                break;
        }
    }
}
