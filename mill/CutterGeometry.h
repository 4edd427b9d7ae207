#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>

#include "link/job/JobHost.h"

// The cutter's size in picture pixels, as the milling window works it out from its fields: the
// diameter field `Text3` ("Диаметр, мм") and the finished-width field `Text6` ("Ширина:"), both
// in millimetres, and the picture's size W × H in pixels.

struct CutterSize {
    double radius = 0;       // pixels
    std::int32_t reach = 0;  // radius rounded up to a whole number of pixels
    friend bool operator==(const CutterSize&, const CutterSize&) = default;
};

// Either a size or the message that refuses the fields (shown in a box titled "Ошибка") with
// the field the user should correct.
struct CutterSizeResult {
    std::optional<CutterSize> size;
    QString error;
    JobField field = JobField::Diameter;
};

// `CutterRadius` = Text3 × W / 2 / Text6 and `CutterReach` = roundUp(CutterRadius).
// Refuses a width that is not a number or not above 0, a diameter that is not a number or is
// negative, and a cutter whose radius exceeds the picture's diagonal: such a cutter covers the
// whole picture wherever it stands, and its disc would not fit in memory. A diameter of 0
// gives radius 0 and reach 0.
CutterSizeResult cutterSize(QStringView diameterText, QStringView widthText, int pictureWidth,
                            int pictureHeight);

// OffsetRadius = Text3 × W / Text6 (the whole diameter) and OffsetReach = roundUp(OffsetRadius);
// refuses the same fields as cutterSize, the same cutter included.
CutterSizeResult offsetSize(QStringView diameterText, QStringView widthText, int pictureWidth,
                            int pictureHeight);
