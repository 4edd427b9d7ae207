// Draws "gepard2.jpg", the picture the engraving window opens at first start: a greyscale,
// photo-like portrait of a cheetah's head on a pure white ground. It has what an engraving
// needs to show: smooth shading (a head lit from the upper left), fine texture (fur noise at
// several scales), hard dark details (spots, eyes, the tear lines, the nose) and a background
// of exactly 255 that the job crosses without burning.
//
// Usage: cnc_make_gepard OUTPUT.jpg

#include <QCoreApplication>
#include <QImage>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {

constexpr int kWidth = 360;
constexpr int kHeight = 300;
constexpr int kJpegQuality = 92;

// A repeatable pseudo-random value in [0, 1) for an integer lattice point.
double hash(int x, int y, int seed) {
    std::uint32_t h = std::uint32_t(x) * 374761393u + std::uint32_t(y) * 668265263u +
                      std::uint32_t(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return (h & 0xffffff) / double(0x1000000);
}

// Smoothly interpolated lattice noise in [0, 1).
double valueNoise(double x, double y, int seed) {
    const int ix = int(std::floor(x)), iy = int(std::floor(y));
    const double fx = x - ix, fy = y - iy;
    const double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    const double top = hash(ix, iy, seed) + sx * (hash(ix + 1, iy, seed) - hash(ix, iy, seed));
    const double bottom =
        hash(ix, iy + 1, seed) + sx * (hash(ix + 1, iy + 1, seed) - hash(ix, iy + 1, seed));
    return top + sy * (bottom - top);
}

// Fur: noise stretched along the hair direction, several octaves.
double fur(double x, double y) {
    double sum = 0, amplitude = 0.5;
    for (int octave = 0; octave < 4; ++octave) {
        const double scale = 0.35 * (1 << octave);
        sum += amplitude * valueNoise(x * scale, y * scale * 0.3, octave);
        amplitude *= 0.5;
    }
    return sum;
}

// Distance below which a point lies inside a spot: spots on a jittered grid of cells.
double spotShade(double x, double y) {
    constexpr double kCell = 17;
    const int cx = int(std::floor(x / kCell)), cy = int(std::floor(y / kCell));
    double nearest = 1e9;
    for (int j = cy - 1; j <= cy + 1; ++j) {
        for (int i = cx - 1; i <= cx + 1; ++i) {
            const double px = (i + 0.2 + 0.6 * hash(i, j, 11)) * kCell;
            const double py = (j + 0.2 + 0.6 * hash(i, j, 12)) * kCell;
            const double radius = 3.5 + 2.5 * hash(i, j, 13);
            nearest = std::min(nearest, std::hypot(x - px, y - py) / radius);
        }
    }
    return std::clamp((1.15 - nearest) * 4, 0.0, 1.0);  // 1 inside a spot, soft rim
}

double ellipse(double x, double y, double cx, double cy, double rx, double ry) {
    return std::hypot((x - cx) / rx, (y - cy) / ry);
}

// Darkness 0 (white) .. 1 (black) of the portrait at (x, y); a negative value is background.
double darkness(double x, double y) {
    const double head = ellipse(x, y, 180, 160, 118, 112);
    const double earLeft = ellipse(x, y, 92, 70, 30, 26);
    const double earRight = ellipse(x, y, 268, 70, 30, 26);
    const double muzzle = ellipse(x, y, 180, 215, 50, 38);
    if (head > 1 && earLeft > 1 && earRight > 1) return -1;

    // Shading: a head lit from the upper left, darker towards its rim.
    const double light = std::clamp(0.55 + 0.004 * ((x - 180) * 0.6 + (y - 160) * 0.8), 0.2, 0.9);
    double d = 0.18 + 0.45 * light * std::pow(std::min(head, 1.0), 3);
    d += 0.22 * (fur(x, y) - 0.5);
    if (earLeft < 0.6 || earRight < 0.6) d = 0.75 + 0.1 * fur(x, y);
    if (muzzle < 1) d *= 0.35 + 0.65 * muzzle;  // a pale muzzle
    if (muzzle > 0.9 && head < 0.93) d = std::max(d, 0.85 * spotShade(x, y));

    const double eyeLeft = ellipse(x, y, 135, 140, 17, 10);
    const double eyeRight = ellipse(x, y, 225, 140, 17, 10);
    for (const double eye : {eyeLeft, eyeRight}) {
        if (eye < 1)
            d = eye < 0.45 ? 0.97 : 0.55 + 0.3 * (1 - eye);
        else if (eye < 1.25)
            d = 0.9;  // the dark rim
    }
    // The tear lines: from the inner eye corners down to the mouth.
    for (const double side : {-1.0, 1.0}) {
        const double t = (y - 145) / 75;
        const double lineX = 180 + side * (42 - 12 * t);
        if (t > 0 && t < 1 && std::abs(x - lineX) < 3.5 - 1.5 * t) d = 0.92;
    }
    if (ellipse(x, y, 180, 198, 14, 9) < 1) d = 0.95;            // the nose
    if (ellipse(x, y, 180, 232, 26, 4) < 1 && y > 230) d = 0.8;  // the mouth
    return std::clamp(d, 0.0, 1.0);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: cnc_make_gepard OUTPUT.jpg\n");
        return 2;
    }
    QCoreApplication application(argc, argv);  // finds the JPEG writer among Qt's plugins
    QImage image(kWidth, kHeight, QImage::Format_Grayscale8);
    for (int y = 0; y < kHeight; ++y) {
        std::uint8_t* row = image.scanLine(y);
        for (int x = 0; x < kWidth; ++x) {
            const double d = darkness(x + 0.5, y + 0.5);
            row[x] = d < 0 ? 255 : std::uint8_t(std::lround(250 - 250 * d));
        }
    }
    if (!image.save(QString::fromLocal8Bit(argv[1]), "JPG", kJpegQuality)) {
        std::fprintf(stderr, "cnc_make_gepard: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
