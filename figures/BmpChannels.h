#pragma once

#include <QByteArray>
#include <array>
#include <optional>

#include "figures/PixelBuffer.h"

// BMP files whose pixels hold fewer than 8 bits per colour (16-bit pixels, or bit-field masks):
// the platform's reader shifts such a channel up to 8 bits without filling the low bits, so the
// brightest 5-bit value 31 reads as 248 instead of 255, and a white picture would be burnt as a
// light grey. These routines spread those channels over the whole range 0..255.

// How much of a BMP file shortBmpChannels needs.
inline constexpr int kBmpHeaderBytes = 66;

// The bit widths of blue, green and red of the BMP file that starts with `header` (its first
// 66 bytes or more) when one of them lies between 1 and 7 bits; nothing for any other file.
std::optional<std::array<int, 3>> shortBmpChannels(const QByteArray& header);

// Every pixel's blue, green and red, read as the reader gives them (value << (8 - bits)),
// becomes value × 255 / (2^bits − 1), rounded. Channels of 8 or more bits are left alone.
void expandShortChannels(PixelBuffer& picture, const std::array<int, 3>& bits);
