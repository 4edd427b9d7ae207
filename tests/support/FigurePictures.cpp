#include "tests/support/FigurePictures.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

namespace {

void setTone(PixelBuffer& picture, int x, int y, bool dark) {
    const std::uint8_t v = dark ? 0 : 255;
    picture.paint(x, y, v, v, v);
}

}  // namespace

PixelBuffer pictureFromRows(const std::vector<const char*>& rows) {
    const int height = int(rows.size());
    const int width = height > 0 ? int(std::strlen(rows.front())) : 0;
    PixelBuffer picture = PixelBuffer::white(width, height);
    int y = 1;
    for (const char* row : rows) {
        for (int x = 1; x <= width; ++x) setTone(picture, x, y, row[x - 1] == '#');
        ++y;
    }
    return picture;
}

PixelBuffer noisePicture(int width, int height, double darkShare, std::uint32_t seed) {
    PixelBuffer picture = PixelBuffer::white(width, height);
    std::mt19937 random(seed);
    std::bernoulli_distribution dark(darkShare);
    for (int y = 1; y <= height; ++y) {
        for (int x = 1; x <= width; ++x) setTone(picture, x, y, dark(random));
    }
    return picture;
}

PixelBuffer blobPicture(int width, int height, int shapes, std::uint32_t seed) {
    PixelBuffer picture = PixelBuffer::white(width, height);
    std::mt19937 random(seed);
    const int largest = std::max(2, std::min(width, height) / 3);
    std::uniform_int_distribution<int> px(1, width), py(1, height), size(1, largest);
    std::bernoulli_distribution dark(0.6), disc(0.5);
    for (int s = 0; s < shapes; ++s) {
        const int cx = px(random), cy = py(random), r = size(random), r2 = size(random);
        const bool tone = dark(random);
        const bool round = disc(random);
        for (int y = std::max(1, cy - r); y <= std::min(height, cy + r); ++y) {
            for (int x = std::max(1, cx - r2); x <= std::min(width, cx + r2); ++x) {
                const double dx = double(x - cx) / r2, dy = double(y - cy) / r;
                if (!round || dx * dx + dy * dy <= 1.0) setTone(picture, x, y, tone);
            }
        }
    }
    return picture;
}

PixelBuffer nestedRings(int levels) {
    const int size = 2 * levels + 1;
    PixelBuffer picture = PixelBuffer::white(size, size);
    for (int y = 1; y <= size; ++y) {
        for (int x = 1; x <= size; ++x) {
            const int ring = std::min({x - 1, y - 1, size - x, size - y});
            setTone(picture, x, y, ring % 2 == 1);
        }
    }
    return picture;
}

PixelBuffer motifTiles(int size, int cell) {
    PixelBuffer picture = PixelBuffer::white(size, size);
    const double half = cell / 2.0;
    for (int y = 1; y <= size; ++y) {
        const int cy = (y - 1) / cell;
        const double ly = (y - 1) % cell + 0.5 - half;
        for (int x = 1; x <= size; ++x) {
            const int cx = (x - 1) / cell;
            const double lx = (x - 1) % cell + 0.5 - half;
            const double r = std::hypot(lx, ly) / half;
            bool dark;
            if (r > 0.95) {
                // Bridges tie the outer rings of cells 0-1, 2-3, ... of every row (shifted by
                // one on odd rows), so some figures span two cells.
                const bool bridged = lx > 0 ? (cx + cy) % 2 == 0 : (cx + cy) % 2 == 1;
                dark = bridged && std::abs(ly) < 1.0;
            } else if (r > 0.75) {
                dark = true;  // outer ring
            } else if (r > 0.55) {
                // The hole between the rings, with four dots in every third cell.
                const bool dots = (cx + 2 * cy) % 3 == 0;
                dark = dots && std::abs(std::abs(lx) - std::abs(ly)) < 1.0 &&
                       std::abs(r - 0.65) < 0.06;
            } else if (r > 0.35) {
                dark = true;  // inner ring
            } else {
                dark = r < 0.15;  // light hole with a dark dot in the middle
            }
            setTone(picture, x, y, dark);
        }
    }
    return picture;
}
