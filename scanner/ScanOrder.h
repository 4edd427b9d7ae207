#pragma once

#include <functional>

// The order in which the scan visits its grid: two columns at a time, zigzagging between the
// two row by row, up the first pair of columns and down the next, each move to a neighbouring
// point. Point (1, 1) is where the machine stands at the start.
struct ScanVisit {
    enum class Kind { Sample, Move };
    Kind kind;
    int i;  // the point sampled, or the point moved to
    int j;
    int di;  // a move's step in columns (+1 next, −1 previous), 0 for a sample
    int dj;  // a move's step in rows
};

// Calls `visit` for every sample and every move of a meshWidth × meshHeight scan, in order:
// meshWidth × meshHeight samples and one move fewer. meshWidth must be even and meshHeight odd
// (the scan's checks); other counts visit nothing.
void VisitScanGrid(int meshWidth, int meshHeight,
                   const std::function<void(const ScanVisit&)>& visit);
