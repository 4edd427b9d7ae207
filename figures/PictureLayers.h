#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>

#include "figures/FigureTables.h"
#include "figures/PixelBuffer.h"

// The picture of the milling and outlining windows, held as four layers of one size.
struct PictureLayers {
    PixelBuffer SourceLayer;     // as decoded from the file; never written
    PixelBuffer WorkLayer;       // rewritten by the raster operations; the one that is parsed
    PixelBuffer SelectionLayer;  // the work layer with the selected figure painted green
    PixelBuffer CutterLayer;     // drawn on by the jobs

    static constexpr int kLayerCount = 4;

    // A picture is loaded when the source layer holds one.
    bool isLoaded() const { return !SourceLayer.isEmpty(); }
    int width() const { return SourceLayer.width; }
    int height() const { return SourceLayer.height; }

    // Layer 0..3 in the order above (the order of the tabs); index must lie in 0..3.
    PixelBuffer& layer(int index);
    const PixelBuffer& layer(int index) const;
};

enum class PictureLoadStatus {
    Loaded,
    FileNotFound,  // no file at the path
    CannotDecode,  // a file that is not a BMP or JPEG picture the decoder reads
};

struct PictureLoadResult {
    PictureLoadStatus status = PictureLoadStatus::FileNotFound;
    PictureLayers layers;  // four equal, independent copies when loaded; empty otherwise
    QString message;       // the message box text when not loaded; empty when loaded
};

struct PictureFileResult {
    PictureLoadStatus status = PictureLoadStatus::FileNotFound;
    PixelBuffer picture;  // 32-bit pixels when loaded; empty otherwise
    QString message;      // the message box text when not loaded; empty when loaded
};

// Decodes the picture file at path (BMP or JPEG at any bit depth, and whatever else the decoder
// reads) into 32-bit pixels; a palette or greyscale picture gives its grey in the first byte.
// JPEG pixels are those of libjpeg's default decoding. A path that is not an existing file
// gives FileNotFound with fileNotFoundMessage(path); a file that cannot be decoded gives
// CannotDecode with cannotOpenFileMessage(path, why it failed).
PictureFileResult loadPictureFile(const QString& path);

// As loadPictureFile, into four equal layers.
PictureLoadResult loadPictureLayers(const QString& path);

// "Файл " + path + " не найден!" + CR LF + "Выберите другой файл!"
QString fileNotFoundMessage(const QString& path);
// "Ошибка открытия файла!", then on a second line (CR LF) the file's name and `reason`.
QString cannotOpenFileMessage(const QString& path, const QString& reason);

// Leaving the width field (Text6): the height text for the width text, keeping the picture's
// proportion: (width × H, rounded half to even) integer-divided by W, truncating. Nothing when
// W < 1, when the text is not a number, or when the product does not fit 32 bits.
std::optional<QString> finishedHeightText(QStringView widthText, int pictureWidth,
                                          int pictureHeight);
// Leaving the height field (Text7): the mirror image, (height × W) integer-divided by H.
std::optional<QString> finishedWidthText(QStringView heightText, int pictureWidth,
                                         int pictureHeight);

// The selection layer for figure: a copy of work in which every pixel whose label-grid cell
// holds figure is painted blue 0, green 255, red 0. Only pixels that lie in both the work layer
// and the grid are compared, so a grid of another picture's size cannot be read outside.
PixelBuffer HighlightFigure(const PixelBuffer& work, const LabelGrid& labels, std::int32_t figure);
