#include <gtest/gtest.h>

#include "mill/SurfaceFollower.h"
#include "scanner/ScanFiles.h"
#include "scanner/ScanSurfaceMap.h"
#include "surface/SurfaceCsv.h"

namespace {

// 3 × 2 points, 2 mm apart, columns towards −X: heights 0 1 2 / 10 11 12.
SurfaceMap smallMap() {
    SurfaceMap map;
    map.columns = 3;
    map.rows = 2;
    map.spacingX = -2;
    map.spacingY = 2;
    map.heights = {0, 1, 2, 10, 11, 12};
    return map;
}

TEST(SurfaceMap, InterpolatesBilinearlyAndTakesTheEdgeOutsideSayingSo) {
    const SurfaceMap map = smallMap();
    struct Case {
        double x, y, height;
        bool outside;
    } const cases[] = {
        {0, 0, 0, false},    {-2, 0, 1, false},   {-4, 2, 12, false},
        {-1, 1, 5.5, false}, {-3, 0.5, 4, false}, {1, 0, 0, true},
        {-9, 1, 7, true},    {-2, 5, 11, true},   {-2, -1, 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << ", " << c.y);
        bool outside = false;
        EXPECT_DOUBLE_EQ(map.heightAt(c.x, c.y, &outside), c.height);
        EXPECT_EQ(outside, c.outside);
    }
    EXPECT_EQ(map.description(), QStringLiteral("скан, 3 × 2 точек, 4 × 2 мм"));
}

// A picture of 10 × 10 pixels of 0.5 mm starting at (−3, 0.5) on the map of x −4..0, y 0..2:
// pixels 1..7 across and 1..4 down lie on it; the surface's change between pixels, and the
// note that a job left the map.
TEST(SurfaceFollower, PlacesThePictureOnTheMapAndSaysWhenItLeavesIt) {
    const SurfaceMap map = smallMap();
    SurfaceFollower follower(map, {-3, 0.5}, {0.5, 0.5});
    EXPECT_EQ(follower.coveredPixels({10, 10}), QRect(QPoint(1, 1), QPoint(7, 4)));
    EXPECT_EQ(SurfaceFollower(map, {-3, 0.5}, {-0.5, 0.5}).coveredPixels({10, 10}),
              QRect(QPoint(1, 1), QPoint(3, 4)))
        << "pixels towards −X";
    EXPECT_TRUE(SurfaceFollower(map, {5, 0}, {0.5, 0.5}).coveredPixels({10, 10}).isEmpty());

    // The height is −x / 2 + 5 y: (−3, 0.5) has 4, (−2, 1) has 6; pixel 9 lies at x +1, beyond
    // the edge at x 0.
    EXPECT_DOUBLE_EQ(follower.change({1, 1}, {3, 2}), 6 - 4);
    EXPECT_FALSE(follower.leftMap());
    EXPECT_DOUBLE_EQ(follower.change({1, 1}, {9, 1}), 2.5 - 4);
    EXPECT_TRUE(follower.leftMap());
}

TEST(SurfaceCsv, ReadsTheScannersTableWithOrWithoutHeightsInMillimetres) {
    const QByteArray withHeights =
        "column,row,x_mm,y_mm,sample,value,z_mm\n"
        "1,1,0,0,7,0,0\n2,1,2,0,7,0,1\n3,1,4,0,7,0,2\n"
        "1,2,0,2,7,0,10\n2,2,2,2,7,0,11\n3,2,4,2,7,0,12\n";
    SurfaceCsvResult read = parseSurfaceCsv(withHeights, 0.5, QStringLiteral("/tmp/map.csv"));
    ASSERT_TRUE(read.map) << read.error.toStdString();
    SurfaceMap expected = smallMap();
    expected.source = QStringLiteral("/tmp/map.csv");
    EXPECT_EQ(*read.map, expected);
    EXPECT_EQ(read.map->description(), QStringLiteral("map.csv: 3 × 2 точек, 4 × 2 мм"));

    // Without z_mm the sample times the probe's scale; rows in any order.
    read = parseSurfaceCsv(
        "column,row,x_mm,y_mm,sample,value\n2,2,3,1,8,0\n1,1,0,0,2,0\n"
        "2,1,3,0,4,0\n1,2,0,1,6,0\n",
        0.5, {});
    ASSERT_TRUE(read.map) << read.error.toStdString();
    EXPECT_EQ(read.map->heights, (std::vector<double>{1, 2, 3, 4}));
    EXPECT_EQ(read.map->spacingX, -3);
    EXPECT_EQ(read.map->spacingY, 1);
}

TEST(SurfaceCsv, RefusesTablesThatAreNotACompleteRegularGrid) {
    const char* const head = "column,row,x_mm,y_mm,sample\n";
    const QByteArray square = "1,1,0,0,5\n2,1,2,0,5\n1,2,0,2,5\n";
    struct Case {
        QByteArray text;
        const char* says;
    } const cases[] = {
        {"", "пуст"},
        {"a,b,c\n1,2,3\n", "заголовка"},
        {head + square, "неполна"},
        {head + square + "1,2,0,2,5\n", "дважды"},
        {head + square + "2,2,2,2.5,5\n", "равномерной"},
        {head + square + "2,2,2,2,x\n", "Строка 5"},
        {QByteArray(head) + "1,1,0,0,5\n2,1,2,0,5\n", "2 × 2"},
        {QByteArray(head) + "1,1,0,0,5\n2,1,0,0,5\n1,2,0,0,5\n2,2,0,0,5\n", "нулю"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const SurfaceCsvResult read = parseSurfaceCsv(c.text, 1, {});
        EXPECT_FALSE(read.map);
        EXPECT_TRUE(read.error.contains(QString::fromUtf8(c.says))) << read.error.toStdString();
    }
}

// A live scan's map, and the same map read back from its CSV export.
TEST(SurfaceCsv, AScansExportReadsBackAsTheScansMap) {
    ScanRecord record;
    record.map = HeightMap::zeros(4, 3);
    record.samples = record.map;
    record.pitchXmm = 2.5;
    record.pitchYmm = 1.25;
    record.live = true;
    record.taken = 12;
    record.measured = 12;
    for (int k = 0; k < 12; ++k) record.heightsMm.push_back(0.25 * k * k - 3);
    const std::optional<SurfaceMap> scanned = SurfaceFromScan(record);
    ASSERT_TRUE(scanned);
    EXPECT_EQ(scanned->spacingX, -2.5) << "the scan moves its columns towards −X";
    SurfaceCsvResult read = parseSurfaceCsv(ScanCsvBytes(record), 99, {});
    ASSERT_TRUE(read.map) << read.error.toStdString();
    EXPECT_EQ(*read.map, *scanned);

    record.taken = 11;
    EXPECT_FALSE(SurfaceFromScan(record)) << "a stopped scan has no map";
    record.taken = 12;
    record.measured = 0;
    EXPECT_FALSE(SurfaceFromScan(record)) << "nor has a scan written to a G-code file";
    record.measured = 12;
    record.taken = 12;
    record.live = false;
    EXPECT_FALSE(SurfaceFromScan(record)) << "nor has a dry run";
}

}  // namespace
