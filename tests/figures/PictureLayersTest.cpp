#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "TestPictures.h"
#include "figures/FigureAnalysis.h"
#include "figures/PictureLayers.h"

// Loading a picture into the four layers, the finished-size arithmetic and the highlight.

namespace {

class PictureFiles : public testing::Test {
protected:
    QString path(const QString& name) const { return m_dir.filePath(name); }

    // A 7 × 3 picture, light with one dark pixel at (3, 2) and a red one at (7, 3).
    QImage drawing() const {
        QImage image(7, 3, QImage::Format_RGB888);
        image.fill(Qt::white);
        image.setPixel(2, 1, qRgb(0, 0, 0));
        image.setPixel(6, 2, qRgb(255, 0, 0));
        return image;
    }

    QTemporaryDir m_dir;
};

TEST_F(PictureFiles, BmpLoadsIntoFourEqualIndependentLayers) {
    ASSERT_TRUE(drawing().save(path("odd.bmp"), "BMP"));
    PictureLoadResult result = loadPictureLayers(path("odd.bmp"));
    ASSERT_EQ(result.status, PictureLoadStatus::Loaded);
    EXPECT_TRUE(result.message.isEmpty());
    PictureLayers& layers = result.layers;
    ASSERT_TRUE(layers.isLoaded());
    EXPECT_EQ(layers.width(), 7);
    EXPECT_EQ(layers.height(), 3);
    EXPECT_EQ(layers.SourceLayer.first(3, 2), 0);
    EXPECT_EQ(layers.SourceLayer.first(7, 3), 0);  // blue byte of red
    EXPECT_EQ(layers.SourceLayer.pixel(7, 3)[2], 255);
    for (int i = 1; i < PictureLayers::kLayerCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(layers.layer(i), layers.SourceLayer);
    }
    layers.WorkLayer.paint(1, 1, 1, 2, 3);
    EXPECT_EQ(layers.SourceLayer.first(1, 1), 255);
    EXPECT_EQ(layers.SelectionLayer.first(1, 1), 255);
    EXPECT_EQ(layers.CutterLayer.first(1, 1), 255);
    EXPECT_EQ(&layers.layer(1), &layers.WorkLayer);
    EXPECT_EQ(&layers.layer(3), &layers.CutterLayer);
}

TEST_F(PictureFiles, JpegAndPalettePicturesLoad) {
    QImage big(40, 30, QImage::Format_RGB32);
    big.fill(Qt::white);
    for (int y = 10; y < 20; ++y) {
        for (int x = 10; x < 30; ++x) big.setPixel(x, y, qRgb(0, 0, 0));
    }
    ASSERT_TRUE(big.save(path("shape.jpg"), "JPEG", 95));
    ASSERT_TRUE(big.convertToFormat(QImage::Format_Indexed8).save(path("palette.bmp"), "BMP"));
    for (const char* name : {"shape.jpg", "palette.bmp"}) {
        SCOPED_TRACE(name);
        const PictureLoadResult result = loadPictureLayers(path(name));
        ASSERT_EQ(result.status, PictureLoadStatus::Loaded);
        EXPECT_LT(result.layers.WorkLayer.first(15, 15), 50);
        EXPECT_GT(result.layers.WorkLayer.first(3, 3), 200);
    }
}

TEST_F(PictureFiles, MissingFileOrFolderIsNotFoundWithTheProgramsMessage) {
    for (const QString& missing : {path("absent.bmp"), m_dir.path()}) {
        const PictureLoadResult result = loadPictureLayers(missing);
        EXPECT_EQ(result.status, PictureLoadStatus::FileNotFound);
        EXPECT_EQ(result.message, QStringLiteral("Файл ") + missing +
                                      QStringLiteral(" не найден!\r\nВыберите другой файл!"));
        EXPECT_FALSE(result.layers.isLoaded());
    }
}

TEST_F(PictureFiles, FileThatIsNoPictureCannotBeOpened) {
    QFile file(path("notes.bmp"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("BM this is not a bitmap");
    file.close();
    const PictureLoadResult result = loadPictureLayers(path("notes.bmp"));
    EXPECT_EQ(result.status, PictureLoadStatus::CannotDecode);
    EXPECT_EQ(result.message, QStringLiteral("Ошибка открытия файла!"));
    EXPECT_FALSE(result.layers.isLoaded());
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
    if (c.expected == nullptr) {
        EXPECT_FALSE(height.has_value()) << height->toStdString();
    } else {
        ASSERT_TRUE(height.has_value());
        EXPECT_EQ(height->toStdString(), c.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, FinishedHeight,
    testing::Values(ProportionCase{"200", 640, 480, "150"},
                    ProportionCase{"100.5", 640, 480, "75"},  // 48240 / 640 = 75.375
                    ProportionCase{"100,5", 640, 480, "75"},
                    ProportionCase{" 200 ", 300, 300, "200"},
                    ProportionCase{"-200", 640, 480, "-150"},  // the division truncates
                    ProportionCase{"2,5", 2, 1, "1"},          // 2.5 rounds to 2
                    ProportionCase{"3,5", 2, 1, "2"},          // 3.5 rounds to 4
                    ProportionCase{"1", 3, 2, "0"},
                    ProportionCase{"200", 0, 480, nullptr},  // no picture width
                    ProportionCase{"abc", 640, 480, nullptr}, ProportionCase{"", 640, 480, nullptr},
                    ProportionCase{"1e12", 640, 480, nullptr}));  // product beyond 32 bits

TEST(FinishedWidth, IsTheMirrorImage) {
    EXPECT_EQ(finishedWidthText(u"150", 640, 480), QStringLiteral("200"));
    EXPECT_EQ(finishedWidthText(u"75", 640, 480), QStringLiteral("100"));
    EXPECT_FALSE(finishedWidthText(u"75", 640, 0).has_value());
    EXPECT_FALSE(finishedWidthText(u"x", 640, 480).has_value());
}

TEST(HighlightFigure, PaintsOneFigureGreenOnACopyOfTheWorkLayer) {
    const PixelBuffer work = pictureFromRows({
        "......",
        ".##.#.",
        ".##.#.",
        "......",
    });
    const FigureAnalysis analysis = ParseFigures(work);
    const std::int32_t left = analysis.labels.at(2, 2);
    const std::int32_t right = analysis.labels.at(5, 2);
    ASSERT_NE(left, right);

    const PixelBuffer first = HighlightFigure(work, analysis.labels, left);
    const PixelBuffer second = HighlightFigure(work, analysis.labels, right);
    for (int y = 1; y <= work.height; ++y) {
        for (int x = 1; x <= work.width; ++x) {
            SCOPED_TRACE(testing::Message() << x << "," << y);
            const bool inLeft = analysis.labels.at(x, y) == left;
            const bool inRight = analysis.labels.at(x, y) == right;
            const std::uint8_t* a = first.pixel(x, y);
            const std::uint8_t* b = second.pixel(x, y);
            EXPECT_EQ(a[0] == 0 && a[1] == 255 && a[2] == 0, inLeft);
            // The second highlight starts again from the work layer: the first one is gone.
            EXPECT_EQ(b[0] == 0 && b[1] == 255 && b[2] == 0, inRight);
            EXPECT_EQ(a[3], work.pixel(x, y)[3]);
        }
    }
}

TEST(HighlightFigure, ReadsOnlyWhereTheGridAndThePictureOverlap) {
    const PixelBuffer work = pictureFromRows({"....", "....", "...."});
    const FigureAnalysis small = ParseFigures(pictureFromRows({"..", ".."}));
    const PixelBuffer painted = HighlightFigure(work, small.labels, 1);
    EXPECT_EQ(painted.pixel(2, 2)[1], 255);
    EXPECT_EQ(painted.pixel(2, 2)[0], 0);
    EXPECT_EQ(painted.pixel(3, 3)[0], 255);  // outside the grid: as in the work layer

    const FigureAnalysis large =
        ParseFigures(pictureFromRows({"......", "......", "......", "......"}));
    const PixelBuffer all = HighlightFigure(work, large.labels, 1);
    EXPECT_EQ(all.pixel(4, 3)[0], 0);
    EXPECT_EQ(HighlightFigure(work, LabelGrid{}, 1), work);
}

}  // namespace
