#include "scanner/ScanRelief.h"

#include <algorithm>

#include "app/config/NumberText.h"
#include "scanner/ScanFiles.h"

PixelBuffer ScanReliefPicture(const HeightMap& map, ImageExtent image) {
    const InterpolatedImage heights = InterpolateImage(map, image);
    PixelBuffer picture = PixelBuffer::white(heights.columns, heights.rows, 3);
    if (heights.heights.empty()) return picture;
    const auto [lo, hi] = std::minmax_element(heights.heights.begin(), heights.heights.end());
    const int low = *lo, span = *hi - *lo;
    for (int y = 0; y < heights.rows; ++y) {
        for (int x = 0; x < heights.columns; ++x) {
            const int height = heights.at(x, y);
            const auto grey = std::uint8_t(
                span == 0 ? 128 : int(roundHalfEven(double(height - low) * 255 / span)));
            std::uint8_t* pixel = picture.pixel(heights.columns - x, y + 1);
            pixel[0] = pixel[1] = pixel[2] = grey;
        }
    }
    return picture;
}

QString SaveScanRelief(const HeightMap& map, int meshWidth, int meshHeight, ImageExtent image,
                       const QString& path) {
    const QString refusal = InterpolationRefusal(map, meshWidth, meshHeight, image, QSize(1, 1));
    if (!refusal.isEmpty()) return refusal;
    return SaveScanImage(ScanReliefPicture(map, image), path);
}
