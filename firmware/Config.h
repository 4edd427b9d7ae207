#pragma once

// Build options. Each can be set on the make command line (`make MACHINE=laser MAX_RATE=3000`),
// which passes it as -DNAME=value; the values below are the defaults.

#define MACHINE_ROUTER 1
#define MACHINE_LASER 2
#define MACHINE_SCANNER 3

// What the board drives, which decides what the third field of a move line means.
#ifndef MACHINE
#define MACHINE MACHINE_ROUTER
#endif

// Fastest step rate of the leading axis of a line, in steps per second (at most 20000).
#ifndef MAX_RATE
#define MAX_RATE 2000
#endif

// Acceleration and deceleration of the leading axis, in steps per second per second (at least
// 1000, so that the first step's interval fits the step timer).
#ifndef ACCELERATION
#define ACCELERATION 10000
#endif

// Laser: the step rate of the leading axis while the beam burns (outlines and pixels).
#ifndef BURN_RATE
#define BURN_RATE 1000
#endif

// Laser: the power of an outline, 0..255 of full power.
#ifndef OUTLINE_POWER
#define OUTLINE_POWER 255
#endif

// Scanner: the sample scale. A contact at the start height reads 255, one PROBE_RANGE steps
// lower reads 0; the probe never goes further down than that.
#ifndef PROBE_RANGE
#define PROBE_RANGE 510
#endif

// Scanner: the step rate of the probe going down.
#ifndef PROBE_RATE
#define PROBE_RATE 1000
#endif

// Router: 1 switches the spindle on with the first line and off when idle (below); 0 leaves
// the spindle output off (a spindle switched by hand).
#ifndef SPINDLE_AUTO
#define SPINDLE_AUTO 0
#endif

// Spindle and laser go off when no line has come for this many milliseconds.
#ifndef IDLE_OFF_MS
#define IDLE_OFF_MS 5000
#endif

#if MACHINE != MACHINE_ROUTER && MACHINE != MACHINE_LASER && MACHINE != MACHINE_SCANNER
#error "MACHINE must be MACHINE_ROUTER, MACHINE_LASER or MACHINE_SCANNER"
#endif
#if MAX_RATE > 20000 || BURN_RATE > MAX_RATE || PROBE_RATE > MAX_RATE
#error "step rates: at most 20000, and the burn and probe rates at most MAX_RATE"
#endif
#if ACCELERATION < 1000
#error "ACCELERATION must be at least 1000 steps/s²"
#endif
