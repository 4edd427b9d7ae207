#pragma once

#include "figures/FigureTables.h"
#include "figures/PixelBuffer.h"

// Splitting the work layer into figures ("Разобрать").
//
// A pixel is light when its first (blue) byte is above 100, dark otherwise. Both tones connect
// across the left, right, upper, lower, upper-left and lower-right neighbours. Figure numbers
// are handed out in scan order as the pass meets new figures, always the lowest free slot of the
// figure table; when the pass finds that two numbers belong to one figure, the current pixel's
// number is freed and the upper neighbour's stays. The cost grows with the picture size only,
// not with the number of such merges or of figure boundaries.

// The whole analysis of the work layer: label grid with its frame (row 0 and column 0, the light
// frame figure first numbered 1), figure table (100 slots, doubled as needed), pair table in the
// order of the first left/right boundary of each pair of touching figures, and the nesting tree
// with Depth written into the figure records. An empty buffer (no picture) gives empty tables,
// an empty grid and an empty tree.
FigureAnalysis ParseFigures(const PixelBuffer& work);

// As above, writing into analysis and reusing its storage (the label grid of a picture of the
// same size is not allocated again); for the jobs that parse again between passes.
void ParseFigures(const PixelBuffer& work, FigureAnalysis& analysis);
