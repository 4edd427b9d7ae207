#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <tuple>

#include "figures/FigureAnalysis.h"
#include "figures/PictureLayers.h"
#include "tests/support/FigurePictures.h"

// Decoding into the pixel buffer, loading a picture, the finished-size arithmetic and the
// highlight. The windows' own tests load good pictures and check the layers they show.

namespace {

TEST(PixelBuffer, RowsArePaddedToAnEvenByteCount) {
    EXPECT_EQ(PixelBuffer::rowBytesFor(5, 3), 16);
    EXPECT_EQ(PixelBuffer::rowBytesFor(4, 3), 12);
    EXPECT_EQ(PixelBuffer::bytesPerPixelFor(24), 3);
    EXPECT_EQ(PixelBuffer::bytesPerPixelFor(4), 0);   // 0.5 rounds to even
    EXPECT_EQ(PixelBuffer::bytesPerPixelFor(12), 2);  // 1.5 rounds to even
}

TEST(PixelBuffer, DecodedPixelsAreBlueGreenRedFromTheTopLeft) {
    QImage image(3, 2, QImage::Format_RGB888);
    image.fill(Qt::white);
    image.setPixel(1, 0, qRgb(10, 20, 30));  // pixel (2, 1)
    image.setPixel(2, 1, qRgb(40, 50, 60));  // pixel (3, 2)
    const PixelBuffer buffer = pixelBufferFromImage(image);
    ASSERT_EQ(buffer.width, 3);
    ASSERT_EQ(buffer.height, 2);
    EXPECT_EQ(buffer.rowBytes, 12);
    EXPECT_EQ(buffer.offset(2, 1), 4u);
    const std::uint8_t* p = buffer.pixel(2, 1);
    EXPECT_EQ(p[0], 30);
    EXPECT_EQ(p[1], 20);
    EXPECT_EQ(p[2], 10);
    EXPECT_EQ(buffer.first(3, 2), 60);
}

TEST(PixelBuffer, MonochromePictureBecomesThirtyTwoBit) {
    QImage mono(9, 3, QImage::Format_Mono);
    mono.setColor(0, qRgb(0, 0, 0));
    mono.setColor(1, qRgb(255, 255, 255));
    mono.fill(1);
    mono.setPixel(8, 2, 0);
    const PixelBuffer buffer = pixelBufferFromImage(mono);
    EXPECT_EQ(buffer.bytesPerPixel, 4);
    EXPECT_EQ(buffer.first(9, 3), 0);
    EXPECT_EQ(buffer.first(8, 3), 255);
}

TEST(PixelBuffer, ImageViewShowsTheBlueGreenRedBytes) {
    PixelBuffer buffer = PixelBuffer::white(4, 4);
    buffer.paint(2, 3, 0, 0, 255);
    const QImage view = imageView(buffer);
    EXPECT_EQ(view.pixel(1, 2), qRgb(255, 0, 0));
    EXPECT_EQ(view.pixel(0, 0), qRgb(255, 255, 255));
}

TEST(LoadPictureLayers, MissingOrUndecodableFileGivesTheProgramsMessage) {
    QTemporaryDir dir;
    const QString missing = dir.filePath("absent.bmp");
    const PictureLoadResult result = loadPictureLayers(missing);
    EXPECT_EQ(result.status, PictureLoadStatus::FileNotFound);
    EXPECT_EQ(result.message, QStringLiteral("Файл ") + missing +
                                  QStringLiteral(" не найден!\r\nВыберите другой файл!"));
    EXPECT_FALSE(result.layers.isLoaded());
    // The second line of the message names the file and says what is wrong with it.
    for (const auto& [name, content, reason] :
         {std::tuple{"notes.bmp", "this is not a picture", "это не картинка BMP или JPEG"},
          std::tuple{"cut.bmp", "BM this is not a bitmap", "данные картинки повреждены"}}) {
        SCOPED_TRACE(name);
        QFile file(dir.filePath(QString::fromUtf8(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        const PictureLoadResult result = loadPictureLayers(file.fileName());
        EXPECT_EQ(result.status, PictureLoadStatus::CannotDecode);
        EXPECT_TRUE(result.message.startsWith(QStringLiteral("Ошибка открытия файла!\r\n") +
                                              QString::fromUtf8(name) + QStringLiteral(": ") +
                                              QString::fromUtf8(reason)))
            << result.message.toStdString();
        EXPECT_FALSE(result.layers.isLoaded());
    }
}

struct ProportionCase {
    const char* text;
    int width;
    int height;
    const char* expected;  // nullptr: the other field stays as it is
};

class FinishedHeight : public testing::TestWithParam<ProportionCase> {};

TEST_P(FinishedHeight, KeepsThePictureProportion) {
    const ProportionCase& c = GetParam();
    const std::optional<QString> height =
        finishedHeightText(QString::fromUtf8(c.text), c.width, c.height);
    EXPECT_EQ(height.has_value(), c.expected != nullptr);
    if (height && c.expected) {
        EXPECT_EQ(height->toStdString(), c.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, FinishedHeight,
    testing::Values(ProportionCase{"100,5", 640, 480, "75"},   // 48240 / 640 = 75.375
                    ProportionCase{"-200", 640, 480, "-150"},  // the division truncates
                    ProportionCase{"2,5", 2, 1, "1"},          // 2.5 rounds to 2
                    ProportionCase{"3,5", 2, 1, "2"},          // 3.5 rounds to 4
                    ProportionCase{"200", 0, 480, nullptr},    // no picture width
                    ProportionCase{"abc", 640, 480, nullptr},
                    ProportionCase{"1e12", 640, 480, nullptr}));  // product beyond 32 bits

TEST(FinishedWidth, IsTheMirrorImage) {
    EXPECT_EQ(finishedWidthText(u"75", 640, 480), QStringLiteral("100"));
    EXPECT_FALSE(finishedWidthText(u"75", 640, 0).has_value());
}

// A grid of another picture's size (one parsed before a new picture was loaded) is read only
// where it overlaps the picture.
TEST(HighlightFigure, ReadsOnlyWhereTheGridAndThePictureOverlap) {
    const PixelBuffer work = pictureFromRows({"....", "....", "...."});
    const FigureAnalysis small = ParseFigures(pictureFromRows({"..", ".."}));
    const PixelBuffer painted = HighlightFigure(work, small.labels, 1);
    EXPECT_EQ(painted.pixel(2, 2)[1], 255);
    EXPECT_EQ(painted.pixel(2, 2)[0], 0);
    EXPECT_EQ(painted.pixel(3, 3)[0], 255);  // outside the grid: as in the work layer
    const FigureAnalysis large =
        ParseFigures(pictureFromRows({"......", "......", "......", "......"}));
    EXPECT_EQ(HighlightFigure(work, large.labels, 1).pixel(4, 3)[0], 0);
    EXPECT_EQ(HighlightFigure(work, LabelGrid{}, 1), work);
}

}  // namespace
