#pragma once

#include <QtGlobal>
#include <vector>

// The scanner's samples over its grid: width × height signed 32-bit values addressed (i, j)
// 1-based, i = 1..width along the grid's columns (the machine's X), j = 1..height along its rows
// (the machine's Y). An empty map (0 × 0) means that no scan has been made.
struct HeightMap {
    int width = 0;
    int height = 0;
    std::vector<qint32> values;  // column by column within each row: (j − 1) × width + (i − 1)

    // A map of the given size, every value 0.
    static HeightMap zeros(int width, int height) {
        return {width, height, std::vector<qint32>(std::size_t(width) * std::size_t(height), 0)};
    }
    bool isEmpty() const { return width < 1 || height < 1; }
    // (i, j) must lie inside the map.
    qint32& at(int i, int j) { return values[std::size_t(j - 1) * width + std::size_t(i - 1)]; }
    qint32 at(int i, int j) const {
        return values[std::size_t(j - 1) * width + std::size_t(i - 1)];
    }

    friend bool operator==(const HeightMap&, const HeightMap&) = default;
};
