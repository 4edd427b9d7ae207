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

QRect CutterLayerMarks::paint(QPoint center, const DiscChords& disc) {
    // Only the rows and columns of the disc that fall inside the picture are visited, so a
    // cutter larger than the picture costs no more than the picture.
    const int reach = disc.reach();
    const int top = std::max(1, center.y() - reach);
    const int bottom = std::min(m_layer.height, center.y() + reach);
    int left = m_layer.width + 1, right = 0;
    int paintedTop = 0, paintedBottom = -1;
    for (int y = top; y <= bottom; ++y) {
        const int h = disc.halfWidth(y - center.y());
        if (h < 0) continue;
        const int from = std::max(1, center.x() - h);
        const int to = std::min(m_layer.width, center.x() + h);
        if (from > to) continue;
        const std::size_t row = std::size_t(y - 1) * std::size_t(m_layer.width);
        for (int x = from; x <= to; ++x) {
            const std::size_t index = row + std::size_t(x - 1);
            if (m_savedIn[index] != m_generation) {
                m_savedIn[index] = m_generation;
                m_savedByte[index] = m_layer.first(x, y);
            }
            m_layer.paint(x, y, 0, 0, 255);
        }
        left = std::min(left, from);
        right = std::max(right, to);
        if (paintedBottom < paintedTop) paintedTop = y;
        paintedBottom = y;
    }
    if (right < left) return {};
    return QRect(QPoint(left, paintedTop), QPoint(right, paintedBottom));
}
