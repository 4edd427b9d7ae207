#include <gtest/gtest.h>

#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "figures/PictureLayers.h"

// Pictures of every kind the windows open decode into the one 32-bit layout: BMP files at each
// bit depth, written byte by byte here, and real JPEG files, whose pixels must be exactly those
// of libjpeg's own default decoding (djpeg).

namespace {

struct Colour {
    std::uint8_t blue, green, red;
};

// A BMP file of `bits` per pixel (1, 4, 8 with a palette; 16 as 5-5-5, or as 5-6-5 bit fields
// when `fields565`; 24; 32), bottom-up, with rows padded to four bytes. `index(x, y)` is the
// palette index, or for 16, 24 and 32 bits the index of the colour in `palette` to store directly.
QByteArray bmpFile(int bits, int width, int height, const std::vector<Colour>& palette,
                   const std::function<int(int, int)>& index, bool fields565 = false) {
    const int rowBytes = (width * bits + 31) / 32 * 4;
    const int colours = bits <= 8 ? std::min(int(palette.size()), 1 << bits) : 0;
    const int paletteBytes = colours * 4;
    const int offset = 14 + 40 + paletteBytes + (fields565 ? 12 : 0);
    QByteArray file;
    QDataStream out(&file, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("BM", 2);
    out << quint32(offset + rowBytes * height) << quint32(0) << quint32(offset);
    out << quint32(40) << qint32(width) << qint32(height) << quint16(1) << quint16(bits)
        << quint32(fields565 ? 3 : 0) << quint32(rowBytes * height) << qint32(2835) << qint32(2835)
        << quint32(colours) << quint32(0);
    if (fields565) out << quint32(0xf800) << quint32(0x07e0) << quint32(0x001f);
    for (int i = 0; i < colours; ++i)
        out << palette[i].blue << palette[i].green << palette[i].red << quint8(0);
    for (int y = height - 1; y >= 0; --y) {
        QByteArray row(rowBytes, '\0');
        for (int x = 0; x < width; ++x) {
            const int i = index(x, y);
            const Colour& c = palette[i];
            switch (bits) {
                case 1:
                    row[x / 8] = char(row[x / 8] | (i << (7 - x % 8)));
                    break;
                case 4:
                    row[x / 2] = char(row[x / 2] | (i << (x % 2 == 0 ? 4 : 0)));
                    break;
                case 8:
                    row[x] = char(i);
                    break;
                case 16: {
                    const int v = fields565
                                      ? (c.red >> 3) << 11 | (c.green >> 2) << 5 | (c.blue >> 3)
                                      : (c.red >> 3) << 10 | (c.green >> 3) << 5 | (c.blue >> 3);
                    row[2 * x] = char(v & 0xff);
                    row[2 * x + 1] = char(v >> 8);
                    break;
                }
                default: {
                    const int bytes = bits / 8;
                    row[bytes * x] = char(c.blue);
                    row[bytes * x + 1] = char(c.green);
                    row[bytes * x + 2] = char(c.red);
                    break;
                }
            }
        }
        out.writeRawData(row.constData(), rowBytes);
    }
    return file;
}

class PictureDecodingTest : public testing::Test {
protected:
    QString write(const QString& name, const QByteArray& bytes) const {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }
    // Runs a libjpeg-turbo tool; a failure to run it fails the test.
    void runTool(const QString& tool, const QStringList& arguments) const {
        QProcess process;
        process.start(tool, arguments);
        ASSERT_TRUE(process.waitForFinished(30000)) << tool.toStdString() << " did not run";
        ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    }
    // The JPEG at `jpeg` decoded by us and, as a BMP, by djpeg: every byte of every pixel equal.
    void expectSameAsDjpeg(const QString& jpeg) const {
        const QString twin = dir.filePath(QFileInfo(jpeg).baseName() + "-twin.bmp");
        runTool("djpeg", {"-bmp", "-outfile", twin, jpeg});
        const PictureFileResult ours = loadPictureFile(jpeg);
        const PictureFileResult reference = loadPictureFile(twin);
        ASSERT_EQ(ours.status, PictureLoadStatus::Loaded);
        ASSERT_EQ(reference.status, PictureLoadStatus::Loaded);
        ASSERT_EQ(ours.picture.width, reference.picture.width);
        ASSERT_EQ(ours.picture.height, reference.picture.height);
        int differing = 0;
        for (int y = 1; y <= ours.picture.height; ++y)
            for (int x = 1; x <= ours.picture.width; ++x)
                for (int b = 0; b < 3; ++b)
                    differing += ours.picture.pixel(x, y)[b] != reference.picture.pixel(x, y)[b];
        EXPECT_EQ(differing, 0);
    }

    QTemporaryDir dir;
};

TEST_F(PictureDecodingTest, BmpOfEveryBitDepthGivesTheColoursInBlueGreenRed) {
    const std::vector<Colour> colours = {{0, 0, 0},   {255, 255, 255}, {255, 0, 0},
                                         {0, 255, 0}, {0, 0, 255},     {255, 255, 0}};
    const std::vector<Colour> greys = [] {
        std::vector<Colour> g;
        for (int v = 0; v < 256; v += 17)
            g.push_back({std::uint8_t(v), std::uint8_t(v), std::uint8_t(v)});
        return g;
    }();
    struct Case {
        int bits;
        const std::vector<Colour>* palette;
        int used;  // palette entries the pixels use
        bool fields565 = false;
    };
    // 16-bit pixels: full intensity must read as 255, or white would be burnt as light grey.
    for (const Case& c :
         {Case{1, &colours, 2}, Case{4, &greys, 16}, Case{8, &greys, 16}, Case{16, &colours, 6},
          Case{16, &colours, 6, true}, Case{24, &colours, 6}, Case{32, &colours, 6}}) {
        SCOPED_TRACE(testing::Message()
                     << c.bits << " bits per pixel" << (c.fields565 ? " 565" : ""));
        const int width = 13, height = 7;  // odd sizes: every row is padded
        auto index = [&](int x, int y) { return (x * 3 + y * 5) % c.used; };
        const QString path = write(QStringLiteral("b%1%2.bmp").arg(c.bits).arg(c.fields565),
                                   bmpFile(c.bits, width, height, *c.palette, index, c.fields565));
        const PictureFileResult loaded = loadPictureFile(path);
        ASSERT_EQ(loaded.status, PictureLoadStatus::Loaded);
        ASSERT_EQ(loaded.picture.width, width);
        ASSERT_EQ(loaded.picture.height, height);
        ASSERT_EQ(loaded.picture.bytesPerPixel, 4);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const Colour& want = (*c.palette)[index(x, y)];
                const std::uint8_t* got = loaded.picture.pixel(x + 1, y + 1);
                ASSERT_EQ(got[0], want.blue) << x << "," << y;
                ASSERT_EQ(got[1], want.green) << x << "," << y;
                ASSERT_EQ(got[2], want.red) << x << "," << y;
            }
    }
}

TEST_F(PictureDecodingTest, DefaultPictureDecodesAsLibjpegDoes) {
    const QString gepard = QStringLiteral(CNC_GEPARD_PATH);
    ASSERT_TRUE(QFile::exists(gepard));
    expectSameAsDjpeg(gepard);
    const PictureFileResult loaded = loadPictureFile(gepard);
    // A greyscale photo on a pure white ground, a few hundred pixels wide.
    EXPECT_GE(loaded.picture.width, 200);
    int white = 0, dark = 0;
    for (int y = 1; y <= loaded.picture.height; ++y)
        for (int x = 1; x <= loaded.picture.width; ++x) {
            const std::uint8_t* p = loaded.picture.pixel(x, y);
            EXPECT_TRUE(p[0] == p[1] && p[1] == p[2]) << "grey at " << x << "," << y;
            white += p[0] == 255;
            dark += p[0] < 64;
        }
    const int pixels = loaded.picture.width * loaded.picture.height;
    EXPECT_GT(white, pixels / 10);
    EXPECT_LT(white, pixels * 2 / 3);
    EXPECT_GT(dark, pixels / 50);
}

// Colour JPEGs with the chroma subsampled (the decoder's upsampling shows), and a progressive
// one, made by cjpeg from a picture drawn here.
TEST_F(PictureDecodingTest, ColourJpegDecodesAsLibjpegDoes) {
    QImage drawn(75, 53, QImage::Format_RGB888);
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x)
            drawn.setPixel(
                x, y, qRgb(int(127 + 127 * std::sin(x * 0.3)), (x * y) % 256, (y * 9 + x) % 256));
    const QString source = dir.filePath("drawn.ppm");
    ASSERT_TRUE(drawn.save(source, "PPM"));
    for (const QStringList& options :
         {QStringList{"-sample", "2x2"}, QStringList{"-sample", "2x1"},
          QStringList{"-sample", "1x1", "-quality", "40"}, QStringList{"-progressive"}}) {
        SCOPED_TRACE(options.join(' ').toStdString());
        const QString jpeg = dir.filePath(options.join("").remove('-') + ".jpg");
        runTool("cjpeg", options + QStringList{"-outfile", jpeg, source});
        expectSameAsDjpeg(jpeg);
    }
}

}  // namespace
