#pragma once

#include "figures/FigureTables.h"
#include "figures/PixelBuffer.h"

// The figure parse done the plain way, step by step as the program has always done it: every
// merge rewrites the whole label grid, every boundary searches the pair table from its start,
// and the tree is built by recursion. Slow; it is the yardstick for ParseFigures.
FigureAnalysis ReferenceParse(const PixelBuffer& work);
