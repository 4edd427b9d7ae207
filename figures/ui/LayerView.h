#pragma once

#include <QRect>
#include <QSize>
#include <QWidget>
#include <functional>

#include "figures/PixelBuffer.h"

// A picture box (Pict, Pict1, Pict2, Pict3): shows one picture layer stretched to the draw
// size from the box's top-left corner. It only paints from its paint event, so a job that
// changes a few pixels asks for a repaint of just that part and the window repaints when it
// next runs its events.
class LayerView : public QWidget {
    Q_OBJECT
public:
    LayerView(const char* name, QWidget* parent);

    // The layer to show; it must outlive the view or be replaced by another (nullptr shows
    // nothing). Repaints the whole box.
    void setLayer(const PixelBuffer* layer);
    const PixelBuffer* layer() const { return m_layer; }

    // The size in screen pixels at which the whole layer is drawn. Repaints when it changes.
    void setDrawSize(QSize size);
    QSize drawSize() const { return m_drawSize; }

    // Repaints the part of the box that shows `changed` (picture pixels, 1-based, x to the
    // right and y down); an empty rectangle repaints the whole box.
    void redraw(const QRect& changed);

    // The part of the box, in widget pixels, that shows `changed` (picture pixels, 1-based),
    // widened by a pixel on each side for the smoothing of a reduced picture; empty when nothing
    // is drawn.
    QRect boxRectOf(const QRect& changed) const;

    // A part of the picture shaded over the layer (picture pixels, 1-based), asked for at every
    // paint; an empty rectangle, or no function, shades nothing.
    void setShade(std::function<QRect()> shade) { m_shade = std::move(shade); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const PixelBuffer* m_layer = nullptr;
    QSize m_drawSize;
    std::function<QRect()> m_shade;
};
