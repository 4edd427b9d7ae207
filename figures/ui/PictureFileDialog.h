#pragma once

#include <QString>
#include <functional>

class QWidget;

// The file dialog in which the picture windows choose a picture.

// "Открыть картинку"
extern const QString kOpenPictureTitle;
// "Pictures (*.bmp;*.jpg;*.jpeg;)" for BMP and JPEG files, then "All Files (*.*)".
extern const QString kPictureFilter;

// Asks for a picture file; returns its path, or an empty text when cancelled.
using OpenFileFunction = std::function<QString(QWidget* owner, const QString& title,
                                               const QString& directory, const QString& filter)>;

// The program's dialog for OpenFileFunction.
QString openPictureFile(QWidget* owner, const QString& title, const QString& directory,
                        const QString& filter);
