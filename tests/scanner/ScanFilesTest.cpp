#include "scanner/ScanFiles.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "StlReader.h"

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

ScanRecord ridgeRecord() {
    ScanRecord record;
    record.samples = HeightMap::zeros(6, 5);
    for (int j = 1; j <= 5; ++j)
        for (int i = 1; i <= 6; ++i) record.samples.at(i, j) = 10 * i + j;
    record.map = record.samples;
    RescaleHeightMap(record.map);
    record.pitchXmm = 20;
    record.pitchYmm = 25;
    return record;
}

// The saved picture is an uncompressed 24-bit BMP that reads back pixel for pixel, with odd
// widths padded; saving twice replaces the file.
TEST(ScanFilesTest, BmpReadsBackAsTheScanPicture) {
    QTemporaryDir dir;
    for (const QSize size : {QSize(222, 222), QSize(223, 31), QSize(25, 24)}) {
        ScanPicture picture;
        picture.ResetScanPicture(size, 2, 3);
        picture.DrawScanPoint(2, 3, 77, 2, 3);
        const QString path = dir.filePath(QStringLiteral("image.bmp"));
        for (int round = 0; round < 2; ++round)
            ASSERT_EQ(SaveScanImage(picture.buffer(), path), "");
        const QByteArray bytes = readAll(path);
        ASSERT_GE(bytes.size(), 54);
        EXPECT_EQ(qFromLittleEndian<quint16>(bytes.constData() + 28), 24);  // bits per pixel
        EXPECT_EQ(qFromLittleEndian<quint32>(bytes.constData() + 30), 0u);  // uncompressed
        EXPECT_EQ(bytes.size(), 54 + (size.width() * 3 + 3) / 4 * 4 * size.height());
        const QImage back(path);
        ASSERT_EQ(back.size(), size);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                ASSERT_EQ(qGray(back.pixel(x, y)), picture.greyAt(x + 1, y + 1)) << x << "," << y;
    }
    EXPECT_FALSE(
        SaveScanImage(PixelBuffer::white(3, 3), dir.filePath("no/such/dir/image.bmp")).isEmpty());
}

TEST(ScanFilesTest, CsvListsEveryPointInMillimetres) {
    const ScanRecord record = ridgeRecord();
    const QList<QByteArray> lines = ScanCsvBytes(record).split('\n');
    ASSERT_EQ(lines.size(), 1 + 30 + 1);
    EXPECT_EQ(lines[0], "column,row,x_mm,y_mm,sample,value");
    EXPECT_EQ(lines[1], "1,1,0,0,11,0");
    EXPECT_EQ(lines[30], "6,5,100,100,65,255");
    EXPECT_EQ(lines[8], "2,2,20,25,22,52");  // (22 − 11) × 255 / 54 = 51.9
}

// The STL surface: two triangles a pixel, facing up, spanning the scanned area, heights of the
// interpolation scaled so that 255 is the given millimetres.
TEST(ScanFilesTest, StlSurfaceReadsBack) {
    QTemporaryDir dir;
    const ScanRecord record = ridgeRecord();
    const ImageExtent image{50, 40};
    const QString path = dir.filePath("surface.stl");
    ASSERT_EQ(WriteScanStl(record, image, 10, path), "");
    const QByteArray bytes = readAll(path);
    EXPECT_EQ(bytes.size(), ScanStlFileBytes(image));
    const auto triangles = readBinaryStl(bytes);
    ASSERT_TRUE(triangles.has_value());
    ASSERT_EQ(triangles->size(), 2u * 50 * 40);
    const InterpolatedImage heights = InterpolateImage(record.map, image);
    float maxX = 0, maxY = 0;
    for (const StlTriangle& t : *triangles) {
        ASSERT_GT(t.normal[2], 0);
        for (const auto& v : t.vertex) {
            maxX = std::max(maxX, v[0]);
            maxY = std::max(maxY, v[1]);
            const int x = int(std::lround(v[0] / 100 * 50)), y = int(std::lround(v[1] / 100 * 40));
            ASSERT_NEAR(v[2], heights.at(x, y) * 10.0 / 255, 1e-4);
        }
    }
    EXPECT_FLOAT_EQ(maxX, 100);
    EXPECT_FLOAT_EQ(maxY, 100);
    // At a grid point the surface stands at the map's value: (6, 5) is 255, 10 mm.
    EXPECT_FLOAT_EQ(triangles->back().vertex[1][2], 10);
}

TEST(ScanFilesTest, ExportRefusals) {
    QTemporaryDir dir;
    const ScanRecord record = ridgeRecord();
    EXPECT_FALSE(ExportScan(ScanRecord{}, 6, 5, {200, 200}, 10, dir.filePath("a.csv")).isEmpty());
    EXPECT_FALSE(ExportScan(record, 6, 5, {200, 200}, 10, dir.filePath("a.txt")).isEmpty());
    EXPECT_FALSE(ExportScan(record, 8, 5, {200, 200}, 10, dir.filePath("a.stl")).isEmpty());
    EXPECT_FALSE(ExportScan(record, 6, 5, {200, 200}, 0, dir.filePath("a.stl")).isEmpty());
    EXPECT_FALSE(QFile::exists(dir.filePath("a.stl")));
    EXPECT_EQ(ExportScan(record, 6, 5, {200, 200}, 10, dir.filePath("a.STL")), "");
    EXPECT_EQ(ExportScan(record, 6, 5, {200, 200}, 10, dir.filePath("a.csv")), "");
    EXPECT_EQ(readAll(dir.filePath("a.csv")), ScanCsvBytes(record));
    EXPECT_EQ(ExportScan(record, 6, 5, {200, 200}, 10, dir.filePath("no/such/dir/a.stl")),
              QStringLiteral("Не удалось записать файл %1: No such file or directory")
                  .arg(dir.filePath("no/such/dir/a.stl")));
}

TEST(ScanFilesTest, LargeExportNoteSaysTheSizeInGigabytes) {
    EXPECT_EQ(ScanStlFileBytes({8000, 8000}), 84 + 2LL * 8000 * 8000 * 50);
    EXPECT_EQ(LargeExportNote("s.stl", ScanStlFileBytes({8000, 8000})),
              "Файл s.stl займёт 6,4 ГБ.");
}

}  // namespace
