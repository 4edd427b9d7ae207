#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>

// The cutter's size in picture pixels, as the milling window works it out from its fields: the
// diameter field `Text3` ("Диаметр, мм") and the finished-width field `Text6` ("Ширина:"), both
// in millimetres, and the picture width W in pixels.

struct CutterSize {
    double radius = 0;       // pixels
    std::int32_t reach = 0;  // radius rounded up to a whole number of pixels
    friend bool operator==(const CutterSize&, const CutterSize&) = default;
};

// Either a size or the message that refuses the fields (shown in a box titled "Ошибка").
struct CutterSizeResult {
    std::optional<CutterSize> size;
    QString error;
};

// `CutterRadius` = Text3 × W / 2 / Text6 and `CutterReach` = roundUp(CutterRadius).
// Refuses a width that is not a number or not above 0, a diameter that is not a number or is
// negative, and a radius whose reach does not fit a signed 32-bit integer. A diameter of 0
// gives radius 0 and reach 0.
CutterSizeResult cutterSize(QStringView diameterText, QStringView widthText, int pictureWidth);

// OffsetRadius = Text3 × W / Text6 (the whole diameter) and OffsetReach = roundUp(OffsetRadius);
// refuses the same fields as cutterSize.
CutterSizeResult offsetSize(QStringView diameterText, QStringView widthText, int pictureWidth);
