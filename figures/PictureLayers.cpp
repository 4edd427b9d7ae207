#include "figures/PictureLayers.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <algorithm>
#include <utility>

#include "app/config/NumberText.h"
#include "figures/BmpChannels.h"
#include "figures/LargePages.h"
#include "figures/PictureDamage.h"

PixelBuffer& PictureLayers::layer(int index) {
    return const_cast<PixelBuffer&>(std::as_const(*this).layer(index));
}

const PixelBuffer& PictureLayers::layer(int index) const {
    switch (index) {
        case 0:
            return SourceLayer;
        case 1:
            return WorkLayer;
        case 2:
            return SelectionLayer;
        default:
            return CutterLayer;
    }
}

QString fileNotFoundMessage(const QString& path) {
    return QStringLiteral("Файл ") + path + QStringLiteral(" не найден!") + QStringLiteral("\r\n") +
           QStringLiteral("Выберите другой файл!");
}

QString cannotOpenFileMessage(const QString& path, const QString& reason) {
    return QStringLiteral("Ошибка открытия файла!\r\n") + QFileInfo(path).fileName() +
           QStringLiteral(": ") + reason;
}

namespace {

// Why the decoder gave no picture, in the user's words.
QString decodeFailure(const QString& path, const QImageReader& reader) {
    if (!QFileInfo(path).isReadable()) return QStringLiteral("нет прав на чтение файла.");
    switch (reader.error()) {
        case QImageReader::UnsupportedFormatError:
            return QStringLiteral("это не картинка BMP или JPEG (формат не распознан).");
        case QImageReader::InvalidDataError:
            return QStringLiteral(
                "данные картинки повреждены, обрезаны или картинка слишком "
                "велика.");
        case QImageReader::DeviceError:
        case QImageReader::FileNotFoundError:
            return QStringLiteral("файл не удалось прочитать.");
        default:
            return reader.errorString() + u'.';
    }
}

// A copy of a layer; large layers are copied often (every load, every highlight).
PixelBuffer copyOnLargePages(const PixelBuffer& source) {
    PixelBuffer copy;
    copy.width = source.width;
    copy.height = source.height;
    copy.bytesPerPixel = source.bytesPerPixel;
    copy.rowBytes = source.rowBytes;
    reserveOnLargePages(copy.bytes, source.bytes.size());
    copy.bytes.assign(source.bytes.begin(), source.bytes.end());
    return copy;
}

}  // namespace

PictureFileResult loadPictureFile(const QString& path) {
    PictureFileResult result;
    const QFileInfo info(path);
    const auto refuse = [&](const QString& reason) {
        result.status = PictureLoadStatus::CannotDecode;
        result.message = cannotOpenFileMessage(path, reason);
        return result;
    };
    if (info.isDir()) return refuse(QStringLiteral("это каталог, а не файл картинки."));
    if (!info.isFile()) {
        result.status = PictureLoadStatus::FileNotFound;
        result.message = fileNotFoundMessage(path);
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return refuse(info.isReadable() ? file.errorString() + u'.'
                                        : QStringLiteral("нет прав на чтение файла."));
    }
    const QByteArray header = file.read(std::max(kBmpHeaderBytes, kBmpCheckBytes));
    QImageReader reader(&file);
    file.seek(0);
    const QByteArray format = reader.format();
    QImage image;
    QStringList damage;
    {
        const DecoderWarnings warnings;
        image = reader.read();
        damage = warnings.damage();
    }
    if (image.isNull()) return refuse(decodeFailure(path, reader));
    if (!damage.isEmpty()) {
        return refuse(QStringLiteral("картинка обрезана или повреждена (декодер: %1).")
                          .arg(damage.join(QStringLiteral("; "))));
    }
    if (format == "bmp") {
        if (const QString why = bmpDamage(header, file.size()); !why.isEmpty()) return refuse(why);
    }
    result.status = PictureLoadStatus::Loaded;
    result.picture = pixelBufferFromImage(image);
    if (format == "bmp") {
        if (const auto bits = shortBmpChannels(header)) expandShortChannels(result.picture, *bits);
    }
    return result;
}

PictureLoadResult loadPictureLayers(const QString& path) {
    PictureFileResult file = loadPictureFile(path);
    PictureLoadResult result;
    result.status = file.status;
    result.message = std::move(file.message);
    if (file.status != PictureLoadStatus::Loaded) return result;
    PictureLayers& layers = result.layers;
    layers.SourceLayer = std::move(file.picture);
    for (int i = 1; i < PictureLayers::kLayerCount; ++i) {
        layers.layer(i) = copyOnLargePages(layers.SourceLayer);
    }
    return result;
}

namespace {

// (size × numerator, rounded half to even) integer-divided by denominator, as text.
std::optional<QString> proportionalText(QStringView sizeText, int numerator, int denominator) {
    if (denominator < 1) return std::nullopt;
    const std::optional<double> size = parseNumber(sizeText);
    if (!size) return std::nullopt;
    const std::optional<int> product = toInt32(*size * numerator);
    if (!product) return std::nullopt;
    return QString::number(*product / denominator);
}

}  // namespace

std::optional<QString> finishedHeightText(QStringView widthText, int pictureWidth,
                                          int pictureHeight) {
    return proportionalText(widthText, pictureHeight, pictureWidth);
}

std::optional<QString> finishedWidthText(QStringView heightText, int pictureWidth,
                                         int pictureHeight) {
    return proportionalText(heightText, pictureWidth, pictureHeight);
}

PixelBuffer HighlightFigure(const PixelBuffer& work, const LabelGrid& labels, std::int32_t figure) {
    PixelBuffer selection = copyOnLargePages(work);
    const int width = std::min(work.width, labels.width());
    const int height = std::min(work.height, labels.height());
    for (int y = 1; y <= height; ++y) {
        for (int x = 1; x <= width; ++x) {
            if (labels.at(x, y) == figure) selection.paint(x, y, 0, 255, 0);
        }
    }
    return selection;
}
