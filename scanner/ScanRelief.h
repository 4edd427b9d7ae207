#pragma once

#include <QString>

#include "scanner/ScanInterpolation.h"

// "Сохранить рельеф": the interpolated surface alone (no margins, grid lines or crosses) as a
// greyscale picture of (ImageWidth + 1) × (ImageHeight + 1) pixels, its heights stretched so that
// the lowest point is black and the highest white (all grey 128 when the surface is flat). The
// milling window opens it as a picture, and "Резать 3D" cuts it as a relief. The scan moves its
// columns towards the machine's −X and a picture's x runs towards +X, so the relief is the
// scanner's picture mirrored left to right: milled, it is a copy of the object, not its mirror
// image.

// The relief's pixels: a 24-bit buffer, grey in all three colour bytes. The caller has checked
// InterpolationRefusal.
PixelBuffer ScanReliefPicture(const HeightMap& map, ImageExtent image);

// Writes the relief as a 24-bit BMP to `path`, refusing as InterpolationRefusal does. Returns an
// empty text, or the message for the user.
QString SaveScanRelief(const HeightMap& map, int meshWidth, int meshHeight, ImageExtent image,
                       const QString& path);
