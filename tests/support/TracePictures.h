#pragma once

#include "figures/PixelBuffer.h"

// Pictures for the tracing tests, drawn in code with grey levels on both sides of the dark
// limit so that cut levels vary along a border.
enum class TracePicture {
    NestedRings,  // concentric rectangular rings, dark and light in turn, some touching
    EdgePixels,   // one-pixel figures on every edge and corner, and a few inside
    Speckle,      // random pixels, some of them dark
};

PixelBuffer drawTracePicture(TracePicture kind, int width, int height, unsigned seed);
