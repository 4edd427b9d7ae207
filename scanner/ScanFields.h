#pragma once

#include <QPoint>
#include <QSize>
#include <QString>
#include <optional>

// The arithmetic of the scanner window's fields, kept apart from the widgets so that the window
// and the batch command share it. Texts are read with the program's number rule.

// The largest picture side ("Размеры изображения в пикселях") the window accepts, pixels.
inline constexpr int kLargestImageSide = 8000;
// Lengths of controls in twips per screen pixel.
inline constexpr int kScannerTwipsPerPixel = 15;
// A dragged picture side must exceed this many twips to be taken.
inline constexpr int kLeastDraggedTwips = 1000;

// The area height (Text9) that keeps AreaWidth : AreaHeight as ImageWidth : ImageHeight:
// round(ImageHeight × AreaWidth) ÷ ImageWidth as a whole number, integer division. Empty when
// ImageWidth is not a number above 0 (or its whole number is 0), or the others are not numbers.
QString DeriveAreaHeight(const QString& imageWidth, const QString& imageHeight,
                         const QString& areaWidth);
// The area width (Text8) from the area height, the same way with the axes swapped.
QString DeriveAreaWidth(const QString& imageWidth, const QString& imageHeight,
                        const QString& areaHeight);

// A grid count as the scanner reads it: a whole number, or nothing.
std::optional<int> GridCount(const QString& text);

// An image size (ImageWidth, ImageHeight) when the text is a whole number from 1 to
// kLargestImageSide; otherwise nothing.
std::optional<int> ImageSide(const QString& text);

// The corner handle's drag. Positions and lengths are twips; the picture's size is pixels.
struct GripDrag {
    double startLeft = 0;  // GripStartLeft: the handle's left edge at the last press
    int startTop = 0;      // GripStartTop

    // The press: remembers where the handle stood.
    void press(double handleLeft, double handleTop);

    struct Result {
        QSize picture;                 // the picture's new size in pixels
        std::optional<QString> width;  // the new ImageWidth text, when the width was taken
        std::optional<QString> height;
    };
    // A move of the mouse to (mouseX, mouseY), relative to the handle as it stood at the press:
    // a side longer than 1000 twips is taken, and the image side snapped to the grid's whole
    // cells, (count − 1) × ((pixels − 22) ÷ (count − 1)). A side not taken keeps `picture`'s;
    // a count below 2 takes the side but leaves its image text alone.
    Result move(double mouseX, double mouseY, QPoint pictureTopLeft, QSize picture, int meshWidth,
                int meshHeight) const;
};
