#include <gtest/gtest.h>

#include <tuple>

#include "mill/CutterGeometry.h"

namespace {

TEST(CutterGeometry, ThreeMillimetreCutterOnATwoHundredPixelPicture) {
    const CutterSizeResult cutter = cutterSize(u"3", u"200", 200);
    ASSERT_TRUE(cutter.size);
    EXPECT_EQ(*cutter.size, (CutterSize{1.5, 2}));
    const CutterSizeResult offset = offsetSize(u"3", u"200", 200);
    ASSERT_TRUE(offset.size);
    EXPECT_EQ(*offset.size, (CutterSize{3, 3}));
}

// The reach is the ceiling of the radius: whole radii stay, halves go up (2.5 gives 3, not the
// even 2), a diameter of 0 reaches nothing.
TEST(CutterGeometry, TheReachIsTheSmallestWholeNumberNotBelowTheRadius) {
    for (const auto& [diameter, radius, reach] :
         {std::tuple{u"0", 0.0, 0}, std::tuple{u"1", 0.5, 1}, std::tuple{u"4", 2.0, 2},
          std::tuple{u"5", 2.5, 3}, std::tuple{u"4,2", 2.1, 3}}) {
        SCOPED_TRACE(radius);
        const CutterSizeResult result = cutterSize(diameter, u"100", 100);
        ASSERT_TRUE(result.size) << result.error.toStdString();
        EXPECT_EQ(*result.size, (CutterSize{radius, reach}));
    }
}

// Both sizes refuse the same fields with a message naming the problem.
TEST(CutterGeometry, RefusedFieldsGiveAMessageAndNoSize) {
    for (const auto& [diameter, width, expectedWord] :
         {std::tuple{u"3", u"abc", "«Ширина:»"}, std::tuple{u"x", u"y", "«Ширина:»"},
          std::tuple{u"3", u"0", "больше нуля"}, std::tuple{u"3", u"-200", "больше нуля"},
          std::tuple{u"3 мм", u"200", "«Диаметр, мм»"}, std::tuple{u"-3", u"200", "отрицательным"},
          std::tuple{u"1e300", u"1e-300", "слишком велик"},
          std::tuple{u"1e12", u"1", "слишком велик"}}) {
        SCOPED_TRACE(QStringLiteral("diameter %1, width %2")
                         .arg(QStringView(diameter), QStringView(width))
                         .toStdString());
        for (const CutterSizeResult& result :
             {cutterSize(diameter, width, 200), offsetSize(diameter, width, 200)}) {
            EXPECT_FALSE(result.size);
            EXPECT_TRUE(result.error.contains(QString::fromUtf8(expectedWord)))
                << result.error.toStdString();
        }
    }
}

}  // namespace
