#pragma once

#include <QByteArray>
#include <QtEndian>
#include <array>
#include <cstring>
#include <optional>
#include <vector>

// A small reader of binary STL files for the tests: the triangles' three vertices, or nothing
// when the file's size does not match its triangle count.
struct StlTriangle {
    std::array<float, 3> normal;
    std::array<std::array<float, 3>, 3> vertex;
};

inline std::optional<std::vector<StlTriangle>> readBinaryStl(const QByteArray& bytes) {
    if (bytes.size() < 84) return std::nullopt;
    const quint32 count = qFromLittleEndian<quint32>(bytes.constData() + 80);
    if (qint64(bytes.size()) != 84 + qint64(count) * 50) return std::nullopt;
    const auto number = [&](qsizetype offset) {
        const quint32 bits = qFromLittleEndian<quint32>(bytes.constData() + offset);
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    };
    std::vector<StlTriangle> triangles(count);
    for (quint32 t = 0; t < count; ++t) {
        const qsizetype at = 84 + qsizetype(t) * 50;
        for (int k = 0; k < 3; ++k) triangles[t].normal[k] = number(at + 4 * k);
        for (int v = 0; v < 3; ++v)
            for (int k = 0; k < 3; ++k)
                triangles[t].vertex[v][k] = number(at + 12 + 12 * v + 4 * k);
    }
    return triangles;
}
