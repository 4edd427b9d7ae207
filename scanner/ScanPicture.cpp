#include "scanner/ScanPicture.h"

#include <algorithm>

QSize CellSizeFor(QSize picture, int meshWidth, int meshHeight) {
    const int width = meshWidth < 2 ? 0 : (picture.width() - kPictureBorder) / (meshWidth - 1);
    const int height = meshHeight < 2 ? 0 : (picture.height() - kPictureBorder) / (meshHeight - 1);
    return {std::max(0, width), std::max(0, height)};
}

void ScanPicture::ResetScanPicture(QSize picture, int meshWidth, int meshHeight) {
    m_buffer = PixelBuffer::white(std::max(0, picture.width()), std::max(0, picture.height()));
    m_size = {m_buffer.width, m_buffer.height};
    const QSize cell = CellSizeFor(picture, meshWidth, meshHeight);
    if (cell.width() < 1 || cell.height() < 1) return;
    const QPoint last = GridPointPixel(meshWidth, meshHeight, cell);
    for (int r = 0; r < meshHeight; ++r) {
        const int py = r * cell.height() + kGridMargin;
        for (int px = kGridMargin; px <= last.x(); ++px) SetGreyPixel(px, py, kGridGrey);
    }
    for (int c = 0; c < meshWidth; ++c) {
        const int px = c * cell.width() + kGridMargin;
        for (int py = kGridMargin; py <= last.y(); ++py) SetGreyPixel(px, py, kGridGrey);
    }
    for (int c = 0; c < meshWidth; ++c)
        for (int r = 0; r < meshHeight; ++r)
            DrawCross(c * cell.width() + kGridMargin, r * cell.height() + kGridMargin, 0);
}

void ScanPicture::ResetUndrawnPicture(QSize picture) {
    m_buffer = PixelBuffer{};
    m_size = {std::max(0, picture.width()), std::max(0, picture.height())};
}

void ScanPicture::SetGreyPixel(int px, int py, int g) {
    if (!m_buffer.contains(px, py)) return;
    const auto grey = std::uint8_t(g);
    m_buffer.paint(px, py, grey, grey, grey);
}

void ScanPicture::DrawCross(int px, int py, int g) {
    SetGreyPixel(px - 1, py, g);
    SetGreyPixel(px, py - 1, g);
    SetGreyPixel(px + 1, py, g);
    SetGreyPixel(px, py + 1, g);
    SetGreyPixel(px, py, g);
}

QRect ScanPicture::DrawScanPoint(int i, int j, qint32 sample, int meshWidth, int meshHeight) {
    const QPoint centre = GridPointPixel(i, j, CellSizeFor(size(), meshWidth, meshHeight));
    DrawCross(centre.x(), centre.y(), std::clamp<qint32>(sample, 0, 255));
    return {centre.x() - 1, centre.y() - 1, 3, 3};
}
