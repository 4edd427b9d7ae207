#include <gtest/gtest.h>

#include <tuple>

#include "mill/CutterGeometry.h"

namespace {

TEST(CutterGeometry, ThreeMillimetreCutterOnATwoHundredPixelPicture) {
    const CutterSizeResult cutter = cutterSize(u"3", u"200", 200, 100);
    ASSERT_TRUE(cutter.size);
    EXPECT_EQ(*cutter.size, (CutterSize{1.5, 2}));
    const CutterSizeResult offset = offsetSize(u"3", u"200", 200, 100);
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
        const CutterSizeResult result = cutterSize(diameter, u"100", 100, 100);
        ASSERT_TRUE(result.size) << result.error.toStdString();
        EXPECT_EQ(*result.size, (CutterSize{radius, reach}));
    }
}

// Both sizes refuse the same fields with a message naming the problem.
TEST(CutterGeometry, RefusedFieldsGiveAMessageAndNoSize) {
    for (const auto& [diameter, width, expectedWord] :
         {std::tuple{u"3", u"abc", "«Ширина»."}, std::tuple{u"x", u"y", "«Ширина»."},
          std::tuple{u"3", u"0", "больше нуля"}, std::tuple{u"3", u"-200", "больше нуля"},
          std::tuple{u"3 мм", u"200", "«Диаметр, мм»"}, std::tuple{u"-3", u"200", "отрицательным"},
          std::tuple{u"1e300", u"1e-300", "слишком велик"},
          std::tuple{u"1e12", u"1", "слишком велик"}}) {
        SCOPED_TRACE(QStringLiteral("diameter %1, width %2")
                         .arg(QStringView(diameter), QStringView(width))
                         .toStdString());
        for (const CutterSizeResult& result :
             {cutterSize(diameter, width, 200, 150), offsetSize(diameter, width, 200, 150)}) {
            EXPECT_FALSE(result.size);
            EXPECT_TRUE(result.error.contains(QString::fromUtf8(expectedWord)))
                << result.error.toStdString();
            EXPECT_EQ(result.field,
                      result.error.contains(u"Ширин") && !result.error.contains(u"Фреза")
                          ? JobField::FinishedWidth
                          : JobField::Diameter);
        }
    }
}

// A cutter whose radius reaches past the picture's diagonal covers the whole picture from
// anywhere: refused before anything allocates its disc, for the gradient, the offset (whose
// radius is the whole diameter) and the jobs alike. A 3 × 4 pixel picture 3 mm wide has a
// diagonal of 5 mm.
TEST(CutterGeometry, ACutterBeyondThePicturesDiagonalIsRefused) {
    for (const auto& size : {cutterSize(u"10", u"3", 3, 4), offsetSize(u"10", u"3", 3, 4)}) {
        EXPECT_TRUE(size.size) << "radius 5 mm, the diagonal itself";
    }
    EXPECT_EQ(*cutterSize(u"10", u"3", 3, 4).size, (CutterSize{5, 5}));
    EXPECT_EQ(*offsetSize(u"10", u"3", 3, 4).size, (CutterSize{10, 10}));
    for (const auto& size : {cutterSize(u"10,01", u"3", 3, 4), offsetSize(u"10,01", u"3", 3, 4)}) {
        EXPECT_FALSE(size.size);
        EXPECT_EQ(size.error,
                  "Фреза слишком велика для этой картинки: радиус фрезы (5,01 мм) больше "
                  "диагонали готового изображения (5 мм). Проверьте поля «Диаметр, мм» и "
                  "«Ширина».");
    }
    // The command line's case: a 3 mm cutter on a 480 × 336 picture 0.0001 mm wide.
    const CutterSizeResult tiny = cutterSize(u"3", u"0.0001", 480, 336);
    EXPECT_FALSE(tiny.size);
    EXPECT_TRUE(
        tiny.error.contains(u"(1,5 мм) больше диагонали готового изображения "
                            u"(0,000122 мм)"))
        << tiny.error.toStdString();
}

}  // namespace
