#pragma once

#include "LineReader.h"

// What the board does with a move line: one of RouterMachine.cpp, LaserMachine.cpp and
// ScannerMachine.cpp is built in, chosen by MACHINE.

// Carries out `line`. Returns true when the line was carried out (the caller then answers
// "OK"); false when it was stopped or refused, with its error text already sent.
bool CarryOut(const MoveLine& line);

// The shared part: the straight move `steps` at `rate`; on a limit, sends its error text (see
// ReportLimit) and returns false.
bool MoveOrReport(const int32_t steps[3], uint16_t rate);

// Sends "ERR limit X" CR LF, the letter of `axis` (0 X, 1 Y, 2 Z): the answer to a line that a
// limit input stopped or refused. It holds no "OK", so the program does not go on.
void ReportLimit(uint8_t axis);
