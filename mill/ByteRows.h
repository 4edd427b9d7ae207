#pragma once

#include <cstddef>
#include <cstdint>

// The byte loops of the gradient. They are built twice on x86-64, for AVX2 and for the
// baseline, and the machine picks one when the program starts.

// out[x] = max(in[x − shift], in[x + shift]) for x in first .. last − 1 (shift ≤ first).
void maxOfShifted(const std::uint8_t* in, std::uint8_t* out, int first, int last, int shift);

// out[x] = max(in[x − 1], in[x], in[x + 1]) for x in 1 .. length − 2.
void maxOfThree(const std::uint8_t* in, std::uint8_t* out, int length);

// out[i] = the largest of rows[r][i] over r < rowCount, for i < count; out may be rows[0].
void maxOfRows(const std::uint8_t* const* rows, int rowCount, std::uint8_t* out, std::size_t count);

// out[i] = the first byte of pixel i, for `count` pixels `bytesPerPixel` bytes apart.
void firstBytesOf(const std::uint8_t* pixels, int bytesPerPixel, std::uint8_t* out,
                  std::size_t count);

// out[i] = 255 − in[i] for i < count.
void invert(const std::uint8_t* in, std::uint8_t* out, std::size_t count);

// marks[i] = 1 when highest[i] exceeds levels[i] by more than `threshold`, or levels[i]
// exceeds 255 − inverseHighest[i] (the lowest level) by more than it; otherwise 0.
void markSteps(const std::uint8_t* levels, const std::uint8_t* highest,
               const std::uint8_t* inverseHighest, std::uint8_t threshold, std::uint8_t* marks,
               std::size_t count);
