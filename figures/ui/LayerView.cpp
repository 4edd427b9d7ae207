#include "figures/ui/LayerView.h"

#include <QPainter>
#include <cmath>

LayerView::LayerView(const char* name, QWidget* parent) : QWidget(parent) {
    setObjectName(QLatin1String(name));
    // The box clears its background before drawing, so nothing of an earlier, larger drawing
    // stays visible after the window shrinks.
    setAutoFillBackground(true);
}

void LayerView::setLayer(const PixelBuffer* layer) {
    m_layer = layer;
    update();
}

void LayerView::setDrawSize(QSize size) {
    if (size == m_drawSize) return;
    m_drawSize = size;
    update();
}

void LayerView::redraw(const QRect& changed) {
    if (changed.isEmpty()) {
        update();
        return;
    }
    const QRect box = boxRectOf(changed);
    if (!box.isEmpty()) update(box);
}

QRect LayerView::boxRectOf(const QRect& changed) const {
    if (!m_layer || m_layer->isEmpty() || m_drawSize.isEmpty()) return {};
    const double sx = double(m_drawSize.width()) / m_layer->width;
    const double sy = double(m_drawSize.height()) / m_layer->height;
    // Pixel x (1-based) covers [x - 1, x) of the picture, [(x - 1) × sx, x × sx) of the box.
    const int left = int(std::floor((changed.left() - 1) * sx)) - 1;
    const int top = int(std::floor((changed.top() - 1) * sy)) - 1;
    const int right = int(std::ceil((changed.right()) * sx)) + 1;
    const int bottom = int(std::ceil((changed.bottom()) * sy)) + 1;
    return QRect(QPoint(left, top), QPoint(right, bottom)).intersected(QRect({0, 0}, m_drawSize));
}

void LayerView::paintEvent(QPaintEvent*) {
    if (!m_layer || m_drawSize.isEmpty()) return;
    const QImage image = imageView(*m_layer);
    if (image.isNull()) return;
    QPainter painter(this);
    // A reduced picture is smoothed so that thin lines do not drop out; at one to one it is
    // copied as it is. The painter is clipped to the part being repainted, and only that part
    // of the stretched picture is computed.
    painter.setRenderHint(QPainter::SmoothPixmapTransform,
                          m_drawSize != QSize(image.width(), image.height()));
    painter.drawImage(QRect({0, 0}, m_drawSize), image);
    if (const QRect shade = m_shade ? m_shade() : QRect(); !shade.isEmpty()) {
        const QRect box = boxRectOf(shade);
        painter.fillRect(box, QColor(0, 120, 255, 48));
        painter.setPen(QColor(0, 90, 200));
        painter.drawRect(box.adjusted(0, 0, -1, -1));
    }
}
