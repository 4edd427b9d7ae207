#pragma once

#include <stdint.h>

// Milliseconds since reset, counted by Timer0's compare interrupt.

void clockInit();
uint32_t clockMs();
