#include "figures/PictureLayout.h"

#include <cstdint>

#include "app/config/NumberText.h"

namespace {

int rounded(double value) {
    return int(roundHalfEven(value));
}

// Shortens the relatively longer side of size to the proportion of picture: if size is
// relatively wider than the picture its width becomes height × W / H, else its height becomes
// width × H / W, rounded half to even.
QSize fitProportion(QSize size, QSize picture) {
    const std::int64_t w = size.width(), h = size.height();
    const std::int64_t pw = picture.width(), ph = picture.height();
    if (w * ph >= pw * h) return {rounded(double(h * pw) / double(ph)), size.height()};
    return {size.width(), rounded(double(w * ph) / double(pw))};
}

bool hasArea(QSize size) {
    return size.width() >= 1 && size.height() >= 1;
}

}  // namespace

QSize FitPictureSize(QSize cell, QSize picture, int twipsPerPixelX, int twipsPerPixelY) {
    if (!hasArea(cell) || !hasArea(picture)) return {0, 0};
    const QSize fitted = fitProportion(cell, picture);
    if (std::int64_t(twipsPerPixelX) * picture.width() < fitted.width()) {
        return {twipsPerPixelX * picture.width(), twipsPerPixelY * picture.height()};
    }
    return fitted;
}

PictureLayout computePictureLayout(const PictureLayoutInput& input) {
    PictureLayout layout;
    if (input.window.width() < kMinLayoutWidthTwips ||
        input.window.height() < kMinLayoutHeightTwips || !hasArea(input.picture)) {
        return layout;
    }
    layout.tabStrip = {input.window.width() - input.frame2Width - kTabStripWidthMarginTwips,
                       input.window.height() - kTabStripHeightMarginTwips};
    const int left = input.tabStripLeft;
    const int tabWidth = layout.tabStrip.width();
    const int tabHeight = layout.tabStrip.height();

    if (tabWidth > kFourViewMinimumTwips && tabHeight > kFourViewMinimumTwips) {
        layout.kind = PictureLayoutKind::FourViews;
        const QSize cell{rounded(tabWidth / 2.0 - kBoxMarginTwips),
                         rounded(tabHeight / 2.0 - kBoxMarginTwips)};
        const QSize box =
            FitPictureSize(cell, input.picture, input.twipsPerPixelX, input.twipsPerPixelY);
        const int secondLeft = left + box.width() + kSecondBoxOffsetTwips;
        const int secondTop = box.height() + kSecondBoxOffsetTwips;
        layout.boxes = {QRect{QPoint{left + kBoxMarginTwips, kBoxMarginTwips}, box},
                        QRect{QPoint{secondLeft, kBoxMarginTwips}, box},
                        QRect{QPoint{left + kBoxMarginTwips, secondTop}, box},
                        QRect{QPoint{secondLeft, secondTop}, box}};
    } else {
        layout.kind = PictureLayoutKind::Tabs;
        const QSize cell{tabWidth - kTabCellWidthMarginTwips,
                         tabHeight - kTabCellHeightMarginTwips};
        const QSize box =
            FitPictureSize(cell, input.picture, input.twipsPerPixelX, input.twipsPerPixelY);
        const QRect rect{QPoint{left + kBoxMarginTwips, kTabBoxTopTwips}, box};
        layout.boxes = {rect, rect, rect, rect};
    }

    const QSize box = layout.boxes[0].size();
    const QSize pixels{rounded(double(box.width()) / input.twipsPerPixelX),
                       rounded(double(box.height()) / input.twipsPerPixelY)};
    layout.drawSize = hasArea(pixels) ? fitProportion(pixels, input.picture) : QSize{0, 0};
    return layout;
}

QRect twipsToPixels(const QRect& twips, int twipsPerPixelX, int twipsPerPixelY) {
    return {rounded(double(twips.x()) / twipsPerPixelX),
            rounded(double(twips.y()) / twipsPerPixelY),
            rounded(double(twips.width()) / twipsPerPixelX),
            rounded(double(twips.height()) / twipsPerPixelY)};
}
