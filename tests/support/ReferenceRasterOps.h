#pragma once

#include "figures/PixelBuffer.h"

// The gradient and offset procedures exactly as the program states them, pixel by pixel over
// the whole neighbourhood, kept as the reference for the fast routines. Pixels need at least
// three bytes and reach must not be negative.

// The milling window's gradient: each pixel (x, y) with reach + 1 ≤ x ≤ W − reach and
// reach + 1 ≤ y ≤ H − reach that has a neighbour within the square of `reach` and the disc of
// `radius` whose first byte differs from its own by more than 10 is painted white.
PixelBuffer referenceMarkGradient(const PixelBuffer& source, double radius, int reach);

// The milling window's offset: such a pixel is painted white when a neighbour within the
// square and the disc, itself included, has a first byte of exactly 255.
PixelBuffer referenceOffsetFigures(const PixelBuffer& work, double radius, int reach);

// The outlining window's variants: pixels 2 .. W − 1 × 2 .. H − 1, the full 3 × 3 block.
PixelBuffer referenceOutlineGradient(const PixelBuffer& source);
PixelBuffer referenceOutlineOffset(const PixelBuffer& work);

// Whether some pixel's first byte differs between two buffers of the same size.
bool firstBytesDiffer(const PixelBuffer& a, const PixelBuffer& b);
