#include <gtest/gtest.h>

#include <QRect>
#include <cmath>

#include "mill/CutterLayerMarks.h"

namespace {

// The disc painted after a step is exactly the pixels the literal predicate names, clipped to
// the picture, and the rectangle reported covers them all and nothing more; a cutter larger
// than the picture paints the picture and no further.
TEST(CutterLayerMarks, PaintsTheLiteralDiscClippedToThePicture) {
    constexpr int kWidth = 9, kHeight = 7;
    for (const double radius : {0.0, 0.5, 1.0, 1.5, 2.2, 3.0, 4.9, 20.0}) {
        const int reach = int(std::ceil(radius));
        for (const QPoint center : {QPoint(5, 4), QPoint(1, 1), QPoint(9, 7), QPoint(0, 4),
                                    QPoint(12, -2), QPoint(-30, 4)}) {
            SCOPED_TRACE(QStringLiteral("radius %1 at (%2, %3)")
                             .arg(radius)
                             .arg(center.x())
                             .arg(center.y())
                             .toStdString());
            PixelBuffer layer = PixelBuffer::white(kWidth, kHeight);
            CutterLayerMarks marks(layer);
            const QRect changed = marks.paint(center, DiscChords(radius, reach));
            QRect expected;
            for (int y = 1; y <= kHeight; ++y) {
                for (int x = 1; x <= kWidth; ++x) {
                    const int i = x - center.x(), j = y - center.y();
                    const bool inDisc = std::abs(i) <= reach && std::abs(j) <= reach &&
                                        double(i) * i + double(j) * j <= radius * radius;
                    if (inDisc) expected |= QRect(x, y, 1, 1);
                    EXPECT_EQ(layer.first(x, y), inDisc ? 0 : 255) << x << "," << y;
                }
            }
            EXPECT_EQ(changed, expected);
        }
    }
}

}  // namespace
