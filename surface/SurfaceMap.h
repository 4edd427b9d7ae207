#pragma once

#include <QString>
#include <vector>

// A probed surface as the jobs follow it: heights in millimetres over a regular grid whose first
// point is the origin. Positions are the machine's millimetres from that point (the axes as the
// machine moves, so a grid may run towards −X); heights are up positive, in any common zero.
struct SurfaceMap {
    int columns = 0;              // grid points along X, at least 2 in a usable map
    int rows = 0;                 // along Y
    double spacingX = 0;          // machine X of column i + 1 minus that of column i, mm, not 0
    double spacingY = 0;          // the same for the rows
    std::vector<double> heights;  // row by row: (row − 1) × columns + (column − 1)
    QString source;  // where the map came from: the CSV file's path, or empty for a scan

    bool isEmpty() const { return columns < 2 || rows < 2; }
    // Column i, row j, both 1-based and inside the grid.
    double at(int i, int j) const {
        return heights[std::size_t(j - 1) * std::size_t(columns) + std::size_t(i - 1)];
    }
    // The grid's extent in millimetres along each axis (positive).
    double widthMm() const;
    double heightMm() const;

    // The height at (x, y), bilinear between the four grid points around it. Outside the grid
    // the nearest edge's height is taken and `outside` (when given) is set true. An empty map
    // gives 0.
    double heightAt(double x, double y, bool* outside = nullptr) const;

    // "скан, 6 × 5 точек, 20 × 16 мм" or "map.csv: 6 × 5 точек, 20 × 16 мм".
    QString description() const;

    friend bool operator==(const SurfaceMap&, const SurfaceMap&) = default;
};

// The text the milling window shows beside its check box when no map is known.
QString noSurfaceText();
