#pragma once

#include <QLabel>
#include <QWidget>

class ScanPicture;

// The picture box Pict: shows the scan picture at one screen pixel per picture pixel.
class ScanPictureView : public QWidget {
    Q_OBJECT
public:
    // `picture` outlives the view.
    ScanPictureView(const ScanPicture& picture, QWidget* parent);

    // The picture was rebuilt at a new size: the view takes it and repaints.
    void pictureReset();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const ScanPicture& m_picture;
};

// The corner handle Label12 (and the square Label13 that stands in for it during a drag): a
// small square that reports the mouse to its window, positions relative to itself in pixels.
class CornerHandle : public QLabel {
    Q_OBJECT
public:
    explicit CornerHandle(const char* name, QWidget* parent);

signals:
    void pressed(QPointF position);
    void moved(Qt::MouseButtons buttons, QPointF position);
    void released();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};
