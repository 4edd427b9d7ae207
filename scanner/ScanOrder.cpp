#include "scanner/ScanOrder.h"

void VisitScanGrid(int meshWidth, int meshHeight,
                   const std::function<void(const ScanVisit&)>& visit) {
    if (meshWidth < 2 || meshWidth % 2 != 0 || meshHeight < 1 || meshHeight % 2 != 1) return;
    int i = 1;
    int j = 1;
    const auto sample = [&] { visit({ScanVisit::Kind::Sample, i, j, 0, 0}); };
    const auto move = [&](int di, int dj) {
        i += di;
        j += dj;
        visit({ScanVisit::Kind::Move, i, j, di, dj});
    };
    // Each pass samples a whole zigzag over columns i and i + 1, then crosses to the next pair.
    bool upward = true;
    while (i <= meshWidth) {
        const int rowStep = upward ? 1 : -1;
        while (upward ? j < meshHeight : j > 1) {
            sample();
            move(1, 0);
            sample();
            move(0, rowStep);
            sample();
            move(-1, 0);
            sample();
            move(0, rowStep);
        }
        sample();
        move(1, 0);
        sample();
        if (i + 1 > meshWidth) return;
        move(1, 0);
        upward = !upward;
    }
}
