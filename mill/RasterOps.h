#pragma once

#include "figures/PixelBuffer.h"

// The two raster operations that reshape the work layer before figures are extracted: the
// gradient and the offset. Every decision reads the input as it was before the operation, so
// the result does not depend on the order in which pixels are visited. Only the first byte of
// a pixel is compared; a pixel is painted white by setting its first three bytes to 255 (all
// of its bytes when it has fewer), any further byte left alone.
//
// The neighbourhood of pixel (x, y) is the disc of DiscChords(radius, reach): the pixels
// (x', y') with |x − x'| ≤ reach, |y − y'| ≤ reach and (x − x')² + (y − y')² ≤ radius². Only
// pixels whose neighbourhood lies inside the picture are processed (reach + 1 ≤ x ≤ W − reach,
// reach + 1 ≤ y ≤ H − reach, 1-based); nothing is painted when the picture is narrower or
// lower than 2 × reach + 1, when reach is negative, or when the buffer's bytes do not cover
// its pixels.
//
// Both report whether some pixel's first byte changed.

// A neighbour whose first byte differs from the pixel's by more than this marks a gradient.
inline constexpr int kGradientThreshold = 10;

// The outlining window's three-by-three variants are these operations with this radius and
// reach: all 9 pixels of the block pass the distance test, and the processed area is
// 2 .. W − 1 × 2 .. H − 1.
inline constexpr double kOutlineRadius = 1.4142135623730951;  // √2
inline constexpr int kOutlineReach = 1;

// The gradient: `work` becomes a copy of `source` (reusing its memory when it has the same
// size) in which every processed pixel with a neighbour whose first byte differs from its own
// by more than kGradientThreshold is white. Reports whether work differs from source.
bool MarkGradient(const PixelBuffer& source, PixelBuffer& work, double radius, int reach);

// The offset, in place: every processed pixel with a neighbour (itself included) whose first
// byte was exactly 255 becomes white.
bool OffsetFigures(PixelBuffer& work, double radius, int reach);
