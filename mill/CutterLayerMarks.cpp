#include "mill/CutterLayerMarks.h"

#include <algorithm>

CutterLayerMarks::CutterLayerMarks(PixelBuffer& layer)
    : m_layer(layer),
      m_savedIn(std::size_t(std::max(layer.width, 0)) * std::size_t(std::max(layer.height, 0)), 0),
      m_savedByte(m_savedIn.size(), 0) {}

void CutterLayerMarks::beginFigure() {
    ++m_generation;
}

int CutterLayerMarks::level(QPoint pixel) const {
    if (!m_layer.contains(pixel.x(), pixel.y())) return 0;
    const std::size_t index =
        std::size_t(pixel.y() - 1) * std::size_t(m_layer.width) + std::size_t(pixel.x() - 1);
    const std::uint8_t first =
        m_savedIn[index] == m_generation ? m_savedByte[index] : m_layer.first(pixel.x(), pixel.y());
    return 255 - first;
}

QRect CutterLayerMarks::paint(QPoint center, const std::vector<QPoint>& offsets) {
    int left = m_layer.width + 1, right = 0, top = m_layer.height + 1, bottom = 0;
    for (const QPoint& offset : offsets) {
        const QPoint p = center + offset;
        if (!m_layer.contains(p.x(), p.y())) continue;
        const std::size_t index =
            std::size_t(p.y() - 1) * std::size_t(m_layer.width) + std::size_t(p.x() - 1);
        if (m_savedIn[index] != m_generation) {
            m_savedIn[index] = m_generation;
            m_savedByte[index] = m_layer.first(p.x(), p.y());
        }
        m_layer.paint(p.x(), p.y(), 0, 0, 255);
        left = std::min(left, p.x());
        right = std::max(right, p.x());
        top = std::min(top, p.y());
        bottom = std::max(bottom, p.y());
    }
    if (right < left) return {};
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

std::vector<QPoint> discOffsets(double radius, int reach) {
    std::vector<QPoint> offsets;
    for (int j = -reach; j <= reach; ++j) {
        for (int i = -reach; i <= reach; ++i) {
            if (double(i) * i + double(j) * j <= radius * radius) offsets.emplace_back(i, j);
        }
    }
    return offsets;
}
