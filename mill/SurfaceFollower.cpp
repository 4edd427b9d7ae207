#include "mill/SurfaceFollower.h"

QPointF SurfaceFollower::positionOf(QPoint pixel) const {
    return {m_start.x() + (pixel.x() - 1) * m_pixel.x(), m_start.y() + (pixel.y() - 1) * m_pixel.y()};
}

double SurfaceFollower::change(QPoint from, QPoint to) {
    if (from == to) return 0;
    const QPointF a = positionOf(from), b = positionOf(to);
    return m_map.heightAt(b.x(), b.y(), &m_leftMap) - m_map.heightAt(a.x(), a.y(), &m_leftMap);
}

QString leftMapNote() {
    return QStringLiteral(
        "Работа вышла за карту высот: там взята высота ближайшего края карты.");
}
