#include "tests/support/DamagedPictures.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QtEndian>

namespace {

constexpr int kPixelDataOffsetField = 10;

QImage drawing() {
    QImage image(160, 120, QImage::Format_RGB888);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) image.setPixel(x, y, qRgb(255, 255, 255));
    QPainter painter(&image);
    painter.setPen(Qt::NoPen);
    for (int x = 0; x < 140; ++x) painter.fillRect(10 + x, 100, 1, 12, QColor(x, x, x));
    painter.setBrush(Qt::black);
    painter.drawEllipse(20, 15, 50, 50);
    painter.drawEllipse(95, 20, 40, 60);
    return image;
}

QByteArray encoded(const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    drawing().save(&buffer, format, 90);
    return bytes;
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(bytes);
}

}  // namespace

QList<DamagedPicture> writeDamagedPictures(const QString& folder) {
    const QDir dir(folder);
    QList<DamagedPicture> pictures;
    const QByteArray bmp = encoded("BMP");
    const quint32 offset = qFromLittleEndian<quint32>(bmp.constData() + kPixelDataOffsetField);

    const QByteArray half = bmp.left(offset + (bmp.size() - offset) / 2);
    pictures.append({"half.bmp", dir.filePath("half.bmp"), "файл обрезан"});
    writeBytes(pictures.last().path, half);

    QByteArray pastEnd = bmp;
    qToLittleEndian<quint32>(quint32(bmp.size() + 100), pastEnd.data() + kPixelDataOffsetField);
    pictures.append({"offset.bmp", dir.filePath("offset.bmp"), "за концом файла"});
    writeBytes(pictures.last().path, pastEnd);

    const QByteArray jpeg = encoded("JPG");
    pictures.append({"third.jpg", dir.filePath("third.jpg"), "обрезана или повреждена"});
    writeBytes(pictures.last().path, jpeg.left(jpeg.size() / 3));

    pictures.append({"folder.jpg", dir.filePath("folder.jpg"), "это каталог"});
    dir.mkpath(QStringLiteral("folder.jpg"));
    return pictures;
}

QString writeWholePicture(const QString& folder, const QString& name) {
    const QString path = QDir(folder).filePath(name);
    writeBytes(path, encoded(name.endsWith(QStringLiteral(".jpg")) ? "JPG" : "BMP"));
    return path;
}
