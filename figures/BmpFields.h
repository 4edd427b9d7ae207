#pragma once

#include <QByteArray>

// The fields of a BMP file's header that the program reads itself, beside the platform's reader.

// The BMP compressions whose pixels the program understands: plain RGB and bit-field masks.
inline constexpr quint32 kBmpPlainRgb = 0;
inline constexpr quint32 kBmpBitFields = 3;
inline constexpr quint32 kBmpAlphaBitFields = 6;

// The little-endian field of `size` bytes (2 or 4) at `offset`; the caller has checked that
// `bytes` holds it. Read byte by byte, so that the compiler cannot mistake the header for Qt's
// shared empty array.
inline quint32 readBmpField(const QByteArray& bytes, int offset, int size) {
    quint32 value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | quint8(bytes.at(offset + i));
    return value;
}
