#pragma once

#include <cstdint>
#include <vector>

#include "figures/PixelBuffer.h"

// Pictures drawn in code for the figure tests and benchmarks. Dark pixels are 0, light 255.

// One row per string: '#' is a dark pixel, any other character light. All rows must have the
// same length.
PixelBuffer pictureFromRows(const std::vector<const char*>& rows);

// Each pixel dark with probability darkShare, from a fixed-seed generator.
PixelBuffer noisePicture(int width, int height, double darkShare, std::uint32_t seed);

// Random discs and rectangles, dark and light, drawn over each other on a light ground.
PixelBuffer blobPicture(int width, int height, int shapes, std::uint32_t seed);

// Concentric one-pixel square rings, alternately light (the outermost) and dark: a picture of
// (2 × levels + 1) pixels square whose figures nest levels deep.
PixelBuffer nestedRings(int levels);

// The ornament-like picture of the benchmarks: a square grid of cells of `cell` pixels, each
// holding nested rings around a dot, every third one with four dots in its outer hole, pairs of
// neighbouring cells tied by thin bridges. About six figures per cell, nested five deep.
PixelBuffer motifTiles(int size, int cell);
