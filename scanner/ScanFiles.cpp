#include "scanner/ScanFiles.h"

#include <QFileInfo>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "app/config/AtomicFile.h"
#include "app/config/NumberText.h"

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

QString SaveScanImage(const PixelBuffer& picture, const QString& path) {
    return writeFileAtomically(path, ScanBmpBytes(picture));
}

QByteArray ScanCsvBytes(const ScanRecord& record) {
    // The heights in millimetres follow as a last column when the scan measured them.
    const bool heights = record.heightsMm.size() == record.map.values.size();
    QString text = QStringLiteral("column,row,x_mm,y_mm,sample,value");
    text += heights ? QStringLiteral(",z_mm\n") : QStringLiteral("\n");
    for (int j = 1; j <= record.map.height; ++j) {
        for (int i = 1; i <= record.map.width; ++i) {
            text += QStringLiteral("%1,%2,%3,%4,%5,%6")
                        .arg(i)
                        .arg(j)
                        .arg(number((i - 1) * record.pitchXmm))
                        .arg(number((j - 1) * record.pitchYmm))
                        .arg(record.samples.at(i, j))
                        .arg(record.map.at(i, j));
            if (heights) {
                text += u',' + number(record.heightsMm[std::size_t(j - 1) * record.map.width +
                                                       std::size_t(i - 1)]);
            }
            text += u'\n';
        }
    }
    return text.toUtf8();
}

qint64 ScanStlFileBytes(ImageExtent image) {
    const qint64 columns = qint64(roundHalfEven(image.width));
    const qint64 rows = qint64(roundHalfEven(image.height));
    return kStlHeaderBytes + 4 + 2 * columns * rows * kStlTriangleBytes;
}

QString LargeExportNote(const QString& path, qint64 bytes) {
    return QStringLiteral("Файл %1 займёт %2 ГБ.")
        .arg(path, formatGeneral(std::round(double(bytes) / 1e8) / 10));
}

QString WriteScanStl(const ScanRecord& record, ImageExtent image, double fullHeightMm,
                     const QString& path) {
    const InterpolatedRows heights(record.map, image);
    const qint64 triangles = 2 * qint64(heights.columns() - 1) * (heights.rows() - 1);
    AtomicFile file(path);
    if (!file.open()) return file.errorMessage();
    QByteArray head(kStlHeaderBytes + 4, '\0');
    const QByteArray title = "cnc scan surface, millimetres";
    std::memcpy(head.data(), title.constData(), size_t(title.size()));
    // More triangles than the count field holds: the count says its largest value.
    putLe32(head, kStlHeaderBytes, quint32(std::min<qint64>(triangles, 0xFFFFFFFF)));
    file.write(head);

    const double spanX = (record.map.width - 1) * record.pitchXmm;
    const double spanY = (record.map.height - 1) * record.pitchYmm;
    std::vector<std::uint8_t> upper(std::size_t(heights.columns()));
    std::vector<std::uint8_t> lower(upper.size());
    const auto vertex = [&](int x, int y, const std::vector<std::uint8_t>& row) {
        return Vertex{float(x * spanX / image.width), float(y * spanY / image.height),
                      float(row[std::size_t(x)] * fullHeightMm / 255)};
    };
    QByteArray strip(qint64(heights.columns() - 1) * 2 * kStlTriangleBytes, '\0');
    heights.row(0, upper.data());
    for (int y = 0; y + 1 < heights.rows(); ++y) {
        heights.row(y + 1, lower.data());
        char* cursor = strip.data();
        for (int x = 0; x + 1 < heights.columns(); ++x) {
            const Vertex a = vertex(x, y, upper), b = vertex(x + 1, y, upper),
                         c = vertex(x + 1, y + 1, lower), d = vertex(x, y + 1, lower);
            putTriangle(cursor, a, b, c);
            putTriangle(cursor, a, c, d);
        }
        if (!file.write(strip)) break;
        upper.swap(lower);
    }
    return file.commit() ? QString() : file.errorMessage();
}

QString ExportScan(const ScanRecord& record, int meshWidth, int meshHeight, ImageExtent image,
                   double fullHeightMm, const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (record.map.isEmpty()) return QStringLiteral("Сначала выполните сканирование.");
    if (suffix == u"csv") return writeFileAtomically(path, ScanCsvBytes(record));
    if (suffix != u"stl")
        return QStringLiteral("Экспорт возможен в файл .csv или .stl: %1").arg(path);
    if (!(fullHeightMm > 0) || !std::isfinite(fullHeightMm))
        return QStringLiteral("Высота поверхности должна быть числом больше 0 (мм).");
    const QString refusal =
        InterpolationRefusal(record.map, meshWidth, meshHeight, image, QSize(1, 1));
    if (!refusal.isEmpty()) return refusal;
    return WriteScanStl(record, image, fullHeightMm, path);
}
