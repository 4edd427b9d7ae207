#pragma once

#include <algorithm>
#include <cstdint>
#include <future>

#include "figures/PixelBuffer.h"

// What the gradient and the offset share: the processed area, how a pixel is painted, and how
// the work is split between the machine's two cores.

// Planes with at least this many pixels to process are split between two threads.
inline constexpr std::int64_t kParallelMinimumPixels = 1 << 18;

// Whether the buffer's bytes cover its pixels and some pixel lies at least `reach` from every
// edge (0-based reach ≤ x < width − reach, the same for y).
inline bool hasProcessedPixels(const PixelBuffer& buffer, int reach) {
    if (buffer.bytesPerPixel < 1 || buffer.width < 1 || buffer.height < 1) return false;
    if (std::int64_t(buffer.rowBytes) < std::int64_t(buffer.width) * buffer.bytesPerPixel ||
        buffer.bytes.size() < std::size_t(buffer.rowBytes) * std::size_t(buffer.height)) {
        return false;
    }
    return reach >= 0 && reach <= (buffer.width - 1) / 2 && reach <= (buffer.height - 1) / 2;
}

// Whether the processed area is large enough to be worth a second thread.
inline bool worthSplitting(const PixelBuffer& buffer, int reach) {
    return std::int64_t(buffer.width - 2 * reach) * (buffer.height - 2 * reach) >=
           kParallelMinimumPixels;
}

// Sets the pixel's first three bytes (all of them when it has fewer) to 255; reports whether
// the first byte changed.
inline bool paintPixelWhite(std::uint8_t* pixel, int bytesPerPixel) {
    const bool changed = pixel[0] != 255;
    std::fill_n(pixel, std::min(bytesPerPixel, 3), std::uint8_t(255));
    return changed;
}

// Runs work(begin, end), or with `parallel` work(begin, middle) on a second thread and
// work(middle, end) on this one; returns the results or-ed. The halves must not write anything
// the other reads.
template <typename Work>
bool splitInTwo(int begin, int end, bool parallel, const Work& work) {
    if (!parallel || end - begin < 2) return work(begin, end);
    const int middle = begin + (end - begin) / 2;
    auto first = std::async(std::launch::async, [&] { return work(begin, middle); });
    const bool second = work(middle, end);
    return first.get() || second;
}
