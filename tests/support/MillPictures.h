#pragma once

#include "figures/PixelBuffer.h"

// Pictures drawn in code for the gradient and offset tests and benchmarks. Every byte that is
// not a first byte (green, red, a fourth byte, row padding) is random, so that a routine that
// touches the wrong byte shows up.
enum class PictureKind {
    Shapes,         // white page with dark and grey discs, rectangles and one-pixel blobs
    GreyRamp,       // a saturating ramp whose slope puts neighbour differences around 10
    Noise,          // uniformly random first bytes
    NearThreshold,  // first bytes from a few levels 9, 10, 11 apart, and 255 next to 254
};

PixelBuffer drawPicture(PictureKind kind, int width, int height, int bytesPerPixel, unsigned seed);
