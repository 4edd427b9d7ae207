#include "tests/support/ReferenceRasterOps.h"

#include <cstdlib>

PixelBuffer referenceMarkGradient(const PixelBuffer& source, double radius, int reach) {
    const PixelBuffer& s = source;
    PixelBuffer t = source;
    const int w = s.width;
    const int h = s.height;
    for (int y = reach + 1; y <= h - reach; ++y) {
        for (int x = reach + 1; x <= w - reach; ++x) {
            const int b = s.first(x, y);
            for (int yn = y - reach; yn <= y + reach; ++yn) {
                for (int xn = x - reach; xn <= x + reach; ++xn) {
                    const double distance =
                        double((x - xn) * (x - xn)) + double((y - yn) * (y - yn));
                    if (distance <= radius * radius && std::abs(b - s.first(xn, yn)) > 10) {
                        t.paintWhite(x, y);
                    }
                }
            }
        }
    }
    return t;
}

PixelBuffer referenceOffsetFigures(const PixelBuffer& work, double radius, int reach) {
    const PixelBuffer& s = work;
    PixelBuffer t = work;
    for (int y = reach + 1; y <= s.height - reach; ++y) {
        for (int x = reach + 1; x <= s.width - reach; ++x) {
            for (int yn = y - reach; yn <= y + reach; ++yn) {
                for (int xn = x - reach; xn <= x + reach; ++xn) {
                    const double distance =
                        double((x - xn) * (x - xn)) + double((y - yn) * (y - yn));
                    if (distance <= radius * radius && s.first(xn, yn) == 255) t.paintWhite(x, y);
                }
            }
        }
    }
    return t;
}

PixelBuffer referenceOutlineGradient(const PixelBuffer& source) {
    const PixelBuffer& s = source;
    PixelBuffer t = source;
    for (int y = 2; y <= s.height - 1; ++y) {
        for (int x = 2; x <= s.width - 1; ++x) {
            for (int yn = y - 1; yn <= y + 1; ++yn) {
                for (int xn = x - 1; xn <= x + 1; ++xn) {
                    if (std::abs(s.first(x, y) - s.first(xn, yn)) > 10) t.paintWhite(x, y);
                }
            }
        }
    }
    return t;
}

PixelBuffer referenceOutlineOffset(const PixelBuffer& work) {
    const PixelBuffer& s = work;
    PixelBuffer t = work;
    for (int y = 2; y <= s.height - 1; ++y) {
        for (int x = 2; x <= s.width - 1; ++x) {
            for (int yn = y - 1; yn <= y + 1; ++yn) {
                for (int xn = x - 1; xn <= x + 1; ++xn) {
                    if (s.first(xn, yn) == 255) t.paintWhite(x, y);
                }
            }
        }
    }
    return t;
}

bool firstBytesDiffer(const PixelBuffer& a, const PixelBuffer& b) {
    for (int y = 1; y <= a.height; ++y) {
        for (int x = 1; x <= a.width; ++x) {
            if (a.first(x, y) != b.first(x, y)) return true;
        }
    }
    return false;
}
