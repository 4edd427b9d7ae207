#include "scanner/ScanFields.h"

#include <gtest/gtest.h>

namespace {

TEST(ScanFieldsTest, AreaFollowsThePictureProportion) {
    EXPECT_EQ(DeriveAreaHeight("200", "150", "120"), QStringLiteral("90"));
    EXPECT_EQ(DeriveAreaWidth("200", "150", "75"), QStringLiteral("100"));
    EXPECT_EQ(DeriveAreaHeight("200", "200", "100"), QStringLiteral("100"));
    EXPECT_EQ(DeriveAreaHeight("200", "150", "121"), QStringLiteral("90"));    // 18150 ÷ 200
    EXPECT_EQ(DeriveAreaHeight("200,6", "150", "120"), QStringLiteral("89"));  // 18000 ÷ 201
    for (const char* width : {"0", "", "abc", "0.4", "-5"}) {
        SCOPED_TRACE(width);
        EXPECT_TRUE(DeriveAreaHeight(QString::fromUtf8(width), "150", "120").isEmpty());
        EXPECT_TRUE(DeriveAreaWidth("150", QString::fromUtf8(width), "120").isEmpty());
    }
    EXPECT_TRUE(DeriveAreaHeight("200", "150", "x").isEmpty());
}

// Dragging the handle: twips, a side taken only beyond 1000 twips, the image snapped to whole
// cells of the grid.
TEST(ScanFieldsTest, DragSnapsTheImageToWholeCells) {
    const QPoint pictureTopLeft(150, 300);
    const QSize picture(222, 222);
    GripDrag drag;
    // The handle's centre on the picture's corner: left = 150 + 222 × 15 − 97.5.
    const double left = 150 + 222 * 15 - 97.5, top = 300 + 222 * 15 - 97.5;
    drag.press(left, top);
    EXPECT_EQ(drag.startTop, int(std::nearbyint(top)));
    // The mouse so that the new width is 300 pixels (4500 twips).
    const double x = 4500 - (left - 150), y = 0;
    GripDrag::Result result = drag.move(x, y, pictureTopLeft, picture, 6, 5);
    EXPECT_EQ(result.picture.width(), 300);
    EXPECT_EQ(result.width, QStringLiteral("275"));
    EXPECT_EQ(result.picture.height(), int(std::nearbyint(top) - 300) / 15);
    EXPECT_EQ(result.height, QString::number(4 * ((result.picture.height() - 22) / 4)));

    // 1000 twips is not taken, 1001 is.
    result =
        drag.move(1000 - (left - 150), 1000 - (drag.startTop - 300), pictureTopLeft, picture, 6, 5);
    EXPECT_EQ(result.picture, picture);
    EXPECT_FALSE(result.width.has_value() || result.height.has_value());
    result = drag.move(1001 - (left - 150), 0, pictureTopLeft, picture, 6, 5);
    EXPECT_EQ(result.picture.width(), 66);
    EXPECT_EQ(result.width, QStringLiteral("40"));  // 5 × ((66 − 22) ÷ 5)
    // Far beyond the largest picture: held at its largest side.
    result = drag.move(1e9, 0, pictureTopLeft, picture, 6, 5);
    EXPECT_EQ(result.picture.width(), kLargestImageSide + 22);
}

TEST(ScanFieldsTest, ImageSideIsAWholeNumberInRange) {
    EXPECT_EQ(ImageSide("200"), 200);
    EXPECT_EQ(ImageSide(" 8000 "), 8000);
    for (const char* text : {"0", "", "x", "8001", "-3", "0.4"}) EXPECT_FALSE(ImageSide(text));
}

}  // namespace
