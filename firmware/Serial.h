#pragma once

#include <stdint.h>

// The serial line to the program: 9600 baud, 8 data bits, no parity, one stop bit. Received
// bytes are kept by the receive interrupt in a buffer of 128; bytes beyond it are dropped.

void serialInit();
// The next received byte, or -1 when none is waiting.
int serialRead();
// Sends the text, waiting while the transmitter is busy.
void serialWrite(const char* text);
// Sends the decimal digits of `value` (no sign: 0..65535).
void serialWriteNumber(uint16_t value);
