#include "mill/CutterGeometry.h"

#include <cmath>
#include <limits>

#include "app/config/NumberText.h"

namespace {

// A positive length to three significant digits, rounded up or down: the cutter's radius is
// shown rounded up and the diagonal rounded down, so the user never reads two equal numbers in
// a message that says one is larger.
QString shortMillimetres(double value, bool roundUpwards) {
    if (!std::isfinite(value) || value <= 0) return formatGeneral(value);
    const double scale = std::pow(10.0, 2 - std::floor(std::log10(value)));
    // Lengths far below a micrometre (a width of 1e-308 mm) have no finite scale.
    if (!std::isfinite(scale)) return formatGeneral(value);
    const double digits = roundUpwards ? std::ceil(value * scale) : std::floor(value * scale);
    return formatGeneral(digits / scale);
}

// The fields are read width first, so a bad width is the one reported when both are bad.
CutterSizeResult sizeFromFields(QStringView diameterText, QStringView widthText, int pictureWidth,
                                int pictureHeight, double divisor) {
    const std::optional<double> width = parseNumber(widthText);
    if (!width) {
        return {std::nullopt, QStringLiteral("Введите число в поле «Ширина»."),
                JobField::FinishedWidth};
    }
    // A width of 0 divides by zero; a negative one gives a negative reach, which would put the
    // processed area outside the picture.
    if (*width <= 0) {
        return {std::nullopt,
                QStringLiteral("Ширина готового изображения должна быть больше нуля."),
                JobField::FinishedWidth};
    }
    const std::optional<double> diameter = parseNumber(diameterText);
    if (!diameter) {
        return {std::nullopt, QStringLiteral("Введите число в поле «Диаметр, мм»."),
                JobField::Diameter};
    }
    if (*diameter < 0) {
        return {std::nullopt, QStringLiteral("Диаметр фрезы не может быть отрицательным."),
                JobField::Diameter};
    }
    // The bound is on the cutter itself (half the diameter), so that the gradient, the offset
    // and the jobs refuse the same cutter.
    const double cutterRadius = *diameter * pictureWidth / 2 / *width;
    const double diagonal = std::hypot(double(pictureWidth), double(pictureHeight));
    const double radius = *diameter * pictureWidth / divisor / *width;
    const double reach = roundUp(radius);
    if (!(cutterRadius <= diagonal) || !std::isfinite(radius) ||
        reach > double(std::numeric_limits<std::int32_t>::max())) {
        const double millimetresPerPixel = pictureWidth > 0 ? *width / pictureWidth : 0;
        return {std::nullopt,
                QStringLiteral("Фреза слишком велика для этой картинки: радиус фрезы (%1 мм) "
                               "больше диагонали готового изображения (%2 мм). Проверьте поля "
                               "«Диаметр, мм» и «Ширина».")
                    .arg(shortMillimetres(*diameter / 2, true),
                         shortMillimetres(diagonal * millimetresPerPixel, false)),
                JobField::Diameter};
    }
    return {CutterSize{radius, std::int32_t(reach)}, QString(), JobField::Diameter};
}

}  // namespace

CutterSizeResult cutterSize(QStringView diameterText, QStringView widthText, int pictureWidth,
                            int pictureHeight) {
    return sizeFromFields(diameterText, widthText, pictureWidth, pictureHeight, 2);
}

CutterSizeResult offsetSize(QStringView diameterText, QStringView widthText, int pictureWidth,
                            int pictureHeight) {
    return sizeFromFields(diameterText, widthText, pictureWidth, pictureHeight, 1);
}
