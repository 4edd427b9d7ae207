#pragma once

// The surface under the simulated scanner's probe, shared by the board simulator (which closes
// the probe input on it) and the tests (which work out the samples to expect).

// How far the surface lies below the probe's starting height, in Z steps, at the machine
// position (x, y) in steps from where the board started: a saddle over a tilt, rising towards
// the scanner's start corner, 80 to about 480 steps deep over the 400 by 400 steps in -X and +Y
// that the tests scan.
inline double SurfaceDepth(double x, double y) {
    const double u = -x;
    return 80 + 0.5 * u + 0.3 * y + 0.0005 * u * y;
}
