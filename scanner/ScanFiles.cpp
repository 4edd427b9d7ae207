#include "scanner/ScanFiles.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>
#include <cmath>
#include <cstring>

namespace {

constexpr int kBmpHeaderBytes = 14 + 40;
constexpr int kStlHeaderBytes = 80;
constexpr int kStlTriangleBytes = 50;

void putLe16(QByteArray& out, int offset, quint16 value) {
    qToLittleEndian(value, out.data() + offset);
}
void putLe32(QByteArray& out, int offset, quint32 value) {
    qToLittleEndian(value, out.data() + offset);
}

QString number(double value) {
    return QString::number(value, 'g', 10);
}

struct Vertex {
    float x, y, z;
};

void putFloat(char*& out, float value) {
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    qToLittleEndian(bits, out);
    out += 4;
}

void putTriangle(char*& out, const Vertex& a, const Vertex& b, const Vertex& c) {
    // Normal of the triangle a → b → c (counter-clockwise seen from above).
    const float ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z;
    const float vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
    float nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
    const float length = std::sqrt(nx * nx + ny * ny + nz * nz);
    if (length > 0) {
        nx /= length;
        ny /= length;
        nz /= length;
    }
    for (const float value : {nx, ny, nz, a.x, a.y, a.z, b.x, b.y, b.z, c.x, c.y, c.z})
        putFloat(out, value);
    *out++ = 0;  // attribute byte count
    *out++ = 0;
}

}  // namespace

QByteArray ScanBmpBytes(const PixelBuffer& picture) {
    const int rowBytes = (picture.width * 3 + 3) / 4 * 4;
    const qint64 pixelBytes = qint64(rowBytes) * picture.height;
    QByteArray out(kBmpHeaderBytes + pixelBytes, '\0');
    out[0] = 'B';
    out[1] = 'M';
    putLe32(out, 2, quint32(out.size()));
    putLe32(out, 10, kBmpHeaderBytes);
    putLe32(out, 14, 40);
    putLe32(out, 18, quint32(picture.width));
    putLe32(out, 22, quint32(picture.height));  // positive: rows stored bottom-up
    putLe16(out, 26, 1);
    putLe16(out, 28, 24);
    putLe32(out, 30, 0);  // BI_RGB, uncompressed
    putLe32(out, 34, quint32(pixelBytes));
    putLe32(out, 38, 3780);  // 96 dots per inch
    putLe32(out, 42, 3780);
    for (int y = 1; y <= picture.height; ++y) {
        char* row = out.data() + kBmpHeaderBytes + qint64(picture.height - y) * rowBytes;
        for (int x = 1; x <= picture.width; ++x) {
            const std::uint8_t* p = picture.pixel(x, y);
            *row++ = char(p[0]);
            *row++ = char(p[1]);
            *row++ = char(p[2]);
        }
    }
    return out;
}

QString WriteFileAtomically(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    // Unbuffered, so that a short write (a full disk) shows here and the old file stays.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) ||
        file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return QStringLiteral("Не удалось записать файл %1: %2").arg(path, reason);
    }
    if (!file.commit())
        return QStringLiteral("Не удалось записать файл %1: %2").arg(path, file.errorString());
    return QString();
}

QString SaveScanImage(const PixelBuffer& picture, const QString& path) {
    return WriteFileAtomically(path, ScanBmpBytes(picture));
}

QByteArray ScanCsvBytes(const ScanRecord& record) {
    QString text = QStringLiteral("column,row,x_mm,y_mm,sample,value\n");
    for (int j = 1; j <= record.map.height; ++j) {
        for (int i = 1; i <= record.map.width; ++i) {
            text += QStringLiteral("%1,%2,%3,%4,%5,%6\n")
                        .arg(i)
                        .arg(j)
                        .arg(number((i - 1) * record.pitchXmm))
                        .arg(number((j - 1) * record.pitchYmm))
                        .arg(record.samples.at(i, j))
                        .arg(record.map.at(i, j));
        }
    }
    return text.toUtf8();
}

QByteArray ScanStlBytes(const ScanRecord& record, ImageExtent image, double fullHeightMm) {
    const InterpolatedImage heights = InterpolateImage(record.map, image);
    const qint64 triangles = 2 * qint64(heights.columns - 1) * (heights.rows - 1);
    QByteArray out(kStlHeaderBytes + 4 + triangles * kStlTriangleBytes, '\0');
    const QByteArray title = "cnc scan surface, millimetres";
    std::memcpy(out.data(), title.constData(), size_t(title.size()));
    putLe32(out, kStlHeaderBytes, quint32(triangles));
    const double spanX = (record.map.width - 1) * record.pitchXmm;
    const double spanY = (record.map.height - 1) * record.pitchYmm;
    const auto vertex = [&](int x, int y) {
        return Vertex{float(x * spanX / image.width), float(y * spanY / image.height),
                      float(heights.at(x, y) * fullHeightMm / 255)};
    };
    char* cursor = out.data() + kStlHeaderBytes + 4;
    for (int y = 0; y + 1 < heights.rows; ++y) {
        for (int x = 0; x + 1 < heights.columns; ++x) {
            const Vertex a = vertex(x, y), b = vertex(x + 1, y), c = vertex(x + 1, y + 1),
                         d = vertex(x, y + 1);
            putTriangle(cursor, a, b, c);
            putTriangle(cursor, a, c, d);
        }
    }
    return out;
}

QString ExportScan(const ScanRecord& record, int meshWidth, int meshHeight, ImageExtent image,
                   double fullHeightMm, const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (record.map.isEmpty()) return QStringLiteral("Сначала выполните сканирование.");
    if (suffix == u"csv") return WriteFileAtomically(path, ScanCsvBytes(record));
    if (suffix != u"stl")
        return QStringLiteral("Экспорт возможен в файл .csv или .stl: %1").arg(path);
    if (!(fullHeightMm > 0) || !std::isfinite(fullHeightMm))
        return QStringLiteral("Высота поверхности должна быть числом больше 0 (мм).");
    const QString refusal =
        InterpolationRefusal(record.map, meshWidth, meshHeight, image, QSize(1, 1));
    if (!refusal.isEmpty()) return refusal;
    return WriteFileAtomically(path, ScanStlBytes(record, image, fullHeightMm));
}
