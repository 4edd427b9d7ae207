#pragma once

#include <QImage>
#include <QString>
#include <QTemporaryDir>

// Picture files drawn in code and written to a temporary directory, for the tests that load
// pictures the way the user does.
class PictureFiles {
public:
    // Light ground, a dark square ring, a light hole in it and a dark dot in the hole: figures
    // 1 (ground), 2 (ring), 3 (hole), 4 (dot), nested in that order.
    static QImage ringPicture(int width, int height);
    // Rows of small dark rings on a light ground, cell pixels apart: many figures.
    static QImage tiledRings(int size, int cell);

    // Writes image as name (the format follows the extension); returns the full path.
    QString write(const QString& name, const QImage& image) const;
    // A file of the given name holding text that no picture decoder reads.
    QString writeGarbage(const QString& name) const;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};
