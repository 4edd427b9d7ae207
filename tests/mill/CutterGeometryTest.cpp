#include <gtest/gtest.h>

#include <tuple>

#include "mill/CutterGeometry.h"

namespace {

TEST(CutterGeometry, ThreeMillimetreCutterOnATwoHundredPixelPicture) {
    const CutterSizeResult cutter = cutterSize(u"3", u"200", 200);
    ASSERT_TRUE(cutter.size);
    EXPECT_EQ(cutter.size->radius, 1.5);
    EXPECT_EQ(cutter.size->reach, 2);
    const CutterSizeResult offset = offsetSize(u"3", u"200", 200);
    ASSERT_TRUE(offset.size);
    EXPECT_EQ(offset.size->radius, 3.0);
    EXPECT_EQ(offset.size->reach, 3);
}

class CutterReach : public testing::TestWithParam<std::tuple<const char16_t*, double, int>> {};

// The reach is the ceiling of the radius, halves included (2.5 gives 3, not the even 2).
TEST_P(CutterReach, IsTheSmallestWholeNumberNotBelowTheRadius) {
    const auto [diameter, radius, reach] = GetParam();
    const CutterSizeResult result = cutterSize(diameter, u"100", 100);
    ASSERT_TRUE(result.size) << result.error.toStdString();
    EXPECT_EQ(result.size->radius, radius);
    EXPECT_EQ(result.size->reach, reach);
}

INSTANTIATE_TEST_SUITE_P(Diameters, CutterReach,
                         testing::Values(std::tuple{u"0", 0.0, 0}, std::tuple{u"1", 0.5, 1},
                                         std::tuple{u"4", 2.0, 2}, std::tuple{u"5", 2.5, 3},
                                         std::tuple{u"7", 3.5, 4}, std::tuple{u"4,2", 2.1, 3},
                                         std::tuple{u" 0.02 ", 0.01, 1}));

class RefusedFields
    : public testing::TestWithParam<std::tuple<const char16_t*, const char16_t*, const char*>> {};

TEST_P(RefusedFields, GiveAMessageNamingTheProblemAndNoSize) {
    const auto [diameter, width, expectedWord] = GetParam();
    for (const CutterSizeResult& result :
         {cutterSize(diameter, width, 200), offsetSize(diameter, width, 200)}) {
        EXPECT_FALSE(result.size);
        EXPECT_TRUE(result.error.contains(QString::fromUtf8(expectedWord)))
            << result.error.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, RefusedFields,
    testing::Values(std::tuple{u"3", u"abc", "«Ширина:»"}, std::tuple{u"3", u"", "«Ширина:»"},
                    std::tuple{u"x", u"y", "«Ширина:»"},  // the width is read first
                    std::tuple{u"3", u"0", "больше нуля"}, std::tuple{u"3", u"0,0", "больше нуля"},
                    std::tuple{u"3", u"-200", "больше нуля"},
                    std::tuple{u"3 мм", u"200", "«Диаметр, мм»"},
                    std::tuple{u"", u"200", "«Диаметр, мм»"},
                    std::tuple{u"-3", u"200", "отрицательным"},
                    std::tuple{u"1e300", u"1e-300", "слишком велик"},
                    std::tuple{u"1e12", u"1", "слишком велик"}));

}  // namespace
