#include "scanner/ScanFields.h"

#include <algorithm>
#include <cmath>

#include "app/config/NumberText.h"

namespace {

// round(a × b) ÷ whole(divisor), or empty when any is not a number or the divisor is not above 0.
QString proportional(const QString& divisor, const QString& a, const QString& b) {
    const std::optional<double> d = parseNumber(divisor);
    if (!d || !(*d > 0)) return QString();
    const std::optional<double> x = parseNumber(a);
    const std::optional<double> y = parseNumber(b);
    const std::optional<int> whole = parseWholeNumber(divisor);
    if (!x || !y || !whole || *whole == 0) return QString();
    const double product = roundHalfEven(*x * *y);
    return QString::number(std::trunc(product / *whole), 'f', 0);
}

int twipsToPixels(double twips) {
    return int(roundHalfEven(twips)) / kScannerTwipsPerPixel;
}

// The image side that fills whole cells of a picture side of `pixels`.
QString snappedSide(int pixels, int count) {
    const int cell = (pixels - 22) / (count - 1);
    return QString::number((count - 1) * cell);
}

}  // namespace

QString DeriveAreaHeight(const QString& imageWidth, const QString& imageHeight,
                         const QString& areaWidth) {
    return proportional(imageWidth, imageHeight, areaWidth);
}

QString DeriveAreaWidth(const QString& imageWidth, const QString& imageHeight,
                        const QString& areaHeight) {
    return proportional(imageHeight, imageWidth, areaHeight);
}

std::optional<int> GridCount(const QString& text) {
    return parseWholeNumber(text);
}

std::optional<int> ImageSide(const QString& text) {
    const std::optional<int> side = parseWholeNumber(text);
    if (!side || *side < 1 || *side > kLargestImageSide) return std::nullopt;
    return side;
}

void GripDrag::press(double handleLeft, double handleTop) {
    startLeft = handleLeft;
    startTop = int(roundHalfEven(handleTop));
}

GripDrag::Result GripDrag::move(double mouseX, double mouseY, QPoint pictureTopLeft, QSize picture,
                                int meshWidth, int meshHeight) const {
    Result result{picture, std::nullopt, std::nullopt};
    const double width = roundHalfEven(startLeft + mouseX - pictureTopLeft.x());
    const double height = roundHalfEven(mouseY + startTop - pictureTopLeft.y());
    const int largest = (kLargestImageSide + 22) * kScannerTwipsPerPixel;
    if (width > kLeastDraggedTwips) {
        result.picture.setWidth(twipsToPixels(std::min<double>(width, largest)));
        if (meshWidth >= 2) result.width = snappedSide(result.picture.width(), meshWidth);
    }
    if (height > kLeastDraggedTwips) {
        result.picture.setHeight(twipsToPixels(std::min<double>(height, largest)));
        if (meshHeight >= 2) result.height = snappedSide(result.picture.height(), meshHeight);
    }
    return result;
}
