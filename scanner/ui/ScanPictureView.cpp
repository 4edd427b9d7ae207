#include "scanner/ui/ScanPictureView.h"

#include <QMouseEvent>
#include <QPainter>

#include "scanner/ScanPicture.h"

namespace {

// The handle is 13 × 13 pixels, 195 × 195 twips.
constexpr int kHandleSide = 13;

}  // namespace

ScanPictureView::ScanPictureView(const ScanPicture& picture, QWidget* parent)
    : QWidget(parent), m_picture(picture) {
    setObjectName(QStringLiteral("Pict"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ScanPictureView::pictureReset() {
    resize(m_picture.size());
    update();
}

void ScanPictureView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect area = event->rect();
    painter.fillRect(area, palette().window());
    painter.drawImage(area, m_picture.image(), area);
}

CornerHandle::CornerHandle(const char* name, QWidget* parent) : QLabel(parent) {
    setObjectName(QLatin1String(name));
    setFixedSize(kHandleSide, kHandleSide);
    setCursor(Qt::SizeFDiagCursor);
}

void CornerHandle::mousePressEvent(QMouseEvent* event) {
    emit pressed(event->position());
}

void CornerHandle::mouseMoveEvent(QMouseEvent* event) {
    emit moved(event->buttons(), event->position());
}

void CornerHandle::mouseReleaseEvent(QMouseEvent*) {
    emit released();
}
