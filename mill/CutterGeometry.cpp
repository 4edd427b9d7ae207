#include "mill/CutterGeometry.h"

#include <cmath>
#include <limits>

#include "app/NumberText.h"

namespace {

// The fields are read width first, so a bad width is the one reported when both are bad.
CutterSizeResult sizeFromFields(QStringView diameterText, QStringView widthText, int pictureWidth,
                                double divisor) {
    const std::optional<double> width = parseNumber(widthText);
    if (!width) return {std::nullopt, QStringLiteral("Введите число в поле «Ширина:».")};
    // A width of 0 divides by zero; a negative one gives a negative reach, which would put the
    // processed area outside the picture.
    if (*width <= 0) {
        return {std::nullopt,
                QStringLiteral("Ширина готового изображения должна быть больше нуля.")};
    }
    const std::optional<double> diameter = parseNumber(diameterText);
    if (!diameter) return {std::nullopt, QStringLiteral("Введите число в поле «Диаметр, мм».")};
    if (*diameter < 0) {
        return {std::nullopt, QStringLiteral("Диаметр фрезы не может быть отрицательным.")};
    }
    const double radius = *diameter * pictureWidth / divisor / *width;
    const double reach = roundUp(radius);
    if (!std::isfinite(radius) || reach > double(std::numeric_limits<std::int32_t>::max())) {
        return {std::nullopt,
                QStringLiteral("Диаметр фрезы слишком велик для такой ширины изображения.")};
    }
    return {CutterSize{radius, std::int32_t(reach)}, QString()};
}

}  // namespace

CutterSizeResult cutterSize(QStringView diameterText, QStringView widthText, int pictureWidth) {
    return sizeFromFields(diameterText, widthText, pictureWidth, 2);
}

CutterSizeResult offsetSize(QStringView diameterText, QStringView widthText, int pictureWidth) {
    return sizeFromFields(diameterText, widthText, pictureWidth, 1);
}
