#pragma once

#include <QByteArray>
#include <QString>

#include "figures/PixelBuffer.h"
#include "scanner/ScanInterpolation.h"
#include "scanner/ScanSurface.h"

// The files the scanner writes: the picture as a BMP, and the scan for CAD programs as a CSV
// table of the grid or an STL surface. Every file is written to a temporary file beside it and
// renamed over the old one, so a failure leaves the old file as it was.

// The picture's file "image.bmp" beside the program.
inline constexpr char kScanImageFile[] = "image.bmp";

// An uncompressed 24-bit Windows BMP of the whole buffer (rows bottom-up, padded to 4 bytes).
QByteArray ScanBmpBytes(const PixelBuffer& picture);

// "Сохранить в BMP": the picture as ScanBmpBytes to `path`. Returns an empty text, or the
// message for the user.
QString SaveScanImage(const PixelBuffer& picture, const QString& path);

// The grid as CSV, one line per point after a header: column, row, X and Y in millimetres from
// the first point (as the machine moved), the sample as the probe gave it and the map's value.
QByteArray ScanCsvBytes(const ScanRecord& record);

// Writes to `path` a binary STL surface of the interpolated heights over the scanned area: X
// and Y in millimetres from the first point (columns and rows of the grid), Z = height / 255 ×
// `fullHeightMm`; two triangles per image pixel, facing up. The triangles are made and written
// a row at a time, so memory stays the same whatever the size. The caller has checked
// InterpolationRefusal. Returns an empty text, or the message naming the file.
QString WriteScanStl(const ScanRecord& record, ImageExtent image, double fullHeightMm,
                     const QString& path);

// The size in bytes of the STL file of an image of this extent (at least 1 × 1 pixel).
qint64 ScanStlFileBytes(ImageExtent image);

// An STL export above this size is said before it is written (the batch needs --force).
inline constexpr qint64 kLargeExportBytes = 1'000'000'000;

// "Файл PATH займёт N ГБ." for an export of `bytes`.
QString LargeExportNote(const QString& path, qint64 bytes);

// The height in millimetres of grey level 255 in an STL export, unless the user gives another.
inline constexpr double kDefaultStlHeightMm = 10;

// "Экспорт…": by the file's extension, ".csv" the table and ".stl" the surface (which needs an
// interpolatable scan). Returns an empty text, or the message for the user.
QString ExportScan(const ScanRecord& record, int meshWidth, int meshHeight, ImageExtent image,
                   double fullHeightMm, const QString& path);
