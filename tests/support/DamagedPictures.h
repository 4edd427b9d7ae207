#pragma once

#include <QList>
#include <QString>

// Pictures damaged the ways a cut download or a bad disk damages them, made by the test in a
// folder of its own: every one decodes "successfully" in the platform's decoder, the missing
// part black or grey.
struct DamagedPicture {
    QString name;  // the file's name, which every message must show
    QString path;
    QString reason;  // a part of the reason the program gives
};

// Writes into `folder` the same drawing (dark discs on a light ground with a grey ramp) as:
// "half.bmp", a 24-bit BMP holding half of its pixel data; "offset.bmp", a whole BMP whose
// pixel-data offset points past the end of the file; "third.jpg", a JPEG cut to a third of its
// length; and "folder.jpg", a directory. Returns them in that order.
QList<DamagedPicture> writeDamagedPictures(const QString& folder);

// The same drawing, whole, as `name` (".bmp" or ".jpg") in `folder`; returns its path.
QString writeWholePicture(const QString& folder, const QString& name);
