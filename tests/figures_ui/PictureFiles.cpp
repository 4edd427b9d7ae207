#include "tests/figures_ui/PictureFiles.h"

#include <QFile>
#include <QPainter>

namespace {

const QColor kDark(0, 0, 0);
const QColor kLight(255, 255, 255);

}  // namespace

QImage PictureFiles::ringPicture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(kLight);
    const int side = std::min(width, height);
    const QPoint centre(width / 2, height / 2);
    const auto square = [&](int half) {
        return QRect(centre - QPoint(half, half), centre + QPoint(half, half));
    };
    QPainter painter(&image);
    painter.fillRect(square(side * 3 / 8), kDark);
    painter.fillRect(square(side / 4), kLight);
    painter.fillRect(square(side / 10), kDark);
    return image;
}

QImage PictureFiles::tiledRings(int size, int cell) {
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(kLight);
    QPainter painter(&image);
    for (int y = 0; y + cell <= size; y += cell) {
        for (int x = 0; x + cell <= size; x += cell) {
            painter.fillRect(x + 1, y + 1, cell - 2, cell - 2, kDark);
            painter.fillRect(x + 3, y + 3, cell - 6, cell - 6, kLight);
        }
    }
    return image;
}

QString PictureFiles::write(const QString& name, const QImage& image) const {
    const QString file = path(name);
    image.save(file);
    return file;
}

QString PictureFiles::writeGarbage(const QString& name) const {
    const QString file = path(name);
    QFile out(file);
    if (out.open(QIODevice::WriteOnly)) out.write("this is not a picture\n");
    return file;
}
