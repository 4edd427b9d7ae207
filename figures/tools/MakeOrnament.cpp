// Draws "ornament.bmp", the picture the milling and outlining windows open at first start: a
// black-and-white ornament, symmetric about both axes, with figures nested several deep, holes,
// thin bridges that tie figures together, and a few isolated dots.
//
// Usage: cnc_make_ornament OUTPUT.bmp

#include <QImage>
#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>
#include <vector>

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 336;

// A point relative to the picture's centre, folded into the lower-right quarter: every shape
// below is drawn once and appears mirrored in all four quarters.
struct Point {
    double x;
    double y;
};

double distance(Point p, double cx, double cy) {
    return std::hypot(p.x - cx, p.y - cy);
}

bool ring(Point p, double cx, double cy, double inner, double outer) {
    const double d = distance(p, cx, cy);
    return d >= inner && d < outer;
}

bool disc(Point p, double cx, double cy, double r) {
    return distance(p, cx, cy) < r;
}

bool box(Point p, double left, double top, double right, double bottom) {
    return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
}

// Inside a rectangle centred on the picture, half-size hw × hh, corners rounded with radius r.
bool roundedBox(Point p, double hw, double hh, double r) {
    const double dx = std::max(0.0, p.x - (hw - r));
    const double dy = std::max(0.0, p.y - (hh - r));
    return p.x < hw && p.y < hh && std::hypot(dx, dy) < r;
}

// A petal: an ellipse of half-axes a (along the direction angle) and b, centred at distance c
// from (cx, cy).
bool petal(Point p, double cx, double cy, double angle, double c, double a, double b) {
    const double ux = std::cos(angle), uy = std::sin(angle);
    const double px = p.x - cx - c * ux, py = p.y - cy - c * uy;
    const double along = px * ux + py * uy, across = -px * uy + py * ux;
    return (along * along) / (a * a) + (across * across) / (b * b) < 1.0;
}

bool anyPetal(Point p, int count, double c, double a, double b, double turn) {
    for (int i = 0; i < count; ++i) {
        const double angle = turn + 2 * std::numbers::pi * i / count;
        if (petal(p, 0, 0, angle, c, a, b)) return true;
    }
    return false;
}

// The tone of one point of the quarter: later layers paint over earlier ones.
bool isDark(Point p) {
    bool dark = false;
    const auto paint = [&](bool inShape, bool tone) {
        if (inShape) dark = tone;
    };
    const double pi = std::numbers::pi;

    // Frame: a band with rounded corners, and a thin inner line tied to it by short bridges and
    // hung with scallops, each scallop closing a small light hole against the line.
    paint(roundedBox(p, 232, 160, 26) && !roundedBox(p, 222, 150, 16), true);
    paint(roundedBox(p, 212, 140, 10) && !roundedBox(p, 210, 138, 8), true);
    paint(box(p, 100, 138, 104, 152) || box(p, 208, 60, 224, 64), true);
    for (int k = 0; k < 8; ++k) {
        paint(p.y < 139 && ring(p, 12 + 24 * k, 139, 6, 8.5), true);
    }
    for (int k = 0; k < 4; ++k) {
        paint(p.x < 209 && ring(p, 209, 12 + 24 * k, 6, 8.5), true);
    }

    // Central medallion: a ring with beaded edge, eight petals with slits, and a rosette of
    // dots around a heart.
    paint(ring(p, 0, 0, 92, 104), true);
    for (int k = 0; k < 16; ++k) {
        const double angle = pi / 16 + k * pi / 8;
        const double cx = 106 * std::cos(angle), cy = 106 * std::sin(angle);
        paint(disc(p, cx, cy, 7), true);
        paint(disc(p, cx, cy, 2.5), false);
    }
    paint(anyPetal(p, 8, 56, 27, 11, pi / 8), true);
    paint(anyPetal(p, 8, 58, 15, 3.5, pi / 8), false);
    paint(anyPetal(p, 8, 60, 5, 1.6, pi / 8), true);
    paint(ring(p, 0, 0, 20, 27), true);
    for (int k = 0; k < 8; ++k) {
        const double angle = k * pi / 4;
        paint(disc(p, 14 * std::cos(angle), 14 * std::sin(angle), 2.2), true);
    }
    paint(disc(p, 0, 0, 6), true);

    // Side medallions: two rings with six petals between them and a dot in the middle; a thin
    // bridge ties each to the centre.
    paint(ring(p, 160, 0, 34, 42), true);
    for (int k = 0; k < 6; ++k) {
        paint(petal(p, 160, 0, pi / 6 + k * pi / 3, 27.5, 5.5, 3.5), true);
    }
    paint(ring(p, 160, 0, 14, 21), true);
    paint(disc(p, 160, 0, 5), true);
    paint(box(p, 104, -1.5, 118, 1.5), true);

    // Corner rosettes: a ring holding a four-petal flower whose petals have holes, and a dot.
    paint(ring(p, 176, 100, 20, 26), true);
    for (int k = 0; k < 4; ++k) {
        const double angle = pi / 4 + k * pi / 2;
        paint(petal(p, 176, 100, angle, 10, 8, 4.5), true);
        paint(petal(p, 176, 100, angle, 11, 3.5, 1.6), false);
    }
    paint(disc(p, 176, 100, 2.5), true);

    // Beads above and below the medallion, and single isolated dots.
    for (int i = -2; i <= 2; ++i) {
        const double angle = pi / 2 + i * 0.26;
        const double cx = 124 * std::cos(angle), cy = 124 * std::sin(angle);
        paint(disc(p, cx, cy, i == 0 ? 7 : 5), true);
        paint(disc(p, cx, cy, i == 0 ? 2.5 : 1.8), false);
    }
    paint(box(p, 60, 122, 62, 124) || box(p, 100, 112, 101, 113) || box(p, 200, 24, 202, 26), true);
    return dark;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: cnc_make_ornament OUTPUT.bmp\n");
        return 2;
    }
    QImage image(kWidth, kHeight, QImage::Format_RGB888);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            // Pixel centres, folded about both axes through the picture's centre.
            const Point p{std::abs(x + 0.5 - kWidth / 2.0), std::abs(y + 0.5 - kHeight / 2.0)};
            image.setPixel(x, y, isDark(p) ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
        }
    }
    if (!image.save(QString::fromLocal8Bit(argv[1]), "BMP")) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
