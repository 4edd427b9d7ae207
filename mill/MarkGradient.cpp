#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "mill/ByteRows.h"
#include "mill/DiscFold.h"
#include "mill/RasterArea.h"
#include "mill/RasterOps.h"

namespace {

struct ByteLanes {
    using Value = std::uint8_t;

    static void widen(const Value* narrow, Value* wide, int length, ChordStep step) {
        if (step.from == 0) {
            maxOfThree(narrow, wide, length);
        } else {
            maxOfShifted(narrow, wide, step.to, length - step.to, step.to - step.from);
        }
    }
    static void maxOfRows(const Value* const* rows, int rowCount, Value* out, std::size_t count) {
        ::maxOfRows(rows, rowCount, out, count);
    }
};

// Output columns are swept in vertical strips, so that on wide pictures what a strip keeps per
// column (pending output rows, batch chords and input levels) stays within about the size of a
// core's second-level cache; wide discs get wider strips, so that widening the margins of a
// strip stays a small part of the work.
constexpr std::size_t kStripBytes = 512 * 1024;

int stripWidth(int reach, std::size_t groupCount, int columns) {
    constexpr int kBatch = DiscFold<ByteLanes>::kBatch;
    const std::size_t perColumn =
        3 * std::size_t(2 * reach + kBatch) + 2 * std::size_t(kBatch) * groupCount;
    const int fitting = int(std::min(kStripBytes / perColumn, std::size_t(columns)));
    return std::min(columns, std::max({fitting, 4 * reach, 64}));
}

// Paints the pixels of one output row whose marks are set; reports whether a first byte
// changed. Marks are scanned eight at a time, since most rows have few.
bool paintMarked(std::uint8_t* pixels, int bytesPerPixel, const std::uint8_t* marks, int count) {
    bool changed = false;
    for (int start = 0; start < count; start += 8) {
        const int end = std::min(start + 8, count);
        std::uint64_t eight = 0;
        std::memcpy(&eight, marks + start, std::size_t(end - start));
        if (eight == 0) continue;
        for (int i = start; i < end; ++i) {
            if (marks[i] == 0) continue;
            changed =
                paintPixelWhite(pixels + std::size_t(i) * bytesPerPixel, bytesPerPixel) || changed;
        }
    }
    return changed;
}

// Paints the gradient of output columns xBegin .. xEnd − 1 (0-based) on every processed row.
// The maximum of the levels and the maximum of their inverses (255 − level, so 255 minus the
// minimum) are swept together; the levels of the latest input rows are kept, so that each
// output row finds its own levels among them.
bool markStrip(const PixelBuffer& source, PixelBuffer& work, const std::vector<ChordGroup>& groups,
               int reach, int xBegin, int xEnd) {
    constexpr int kBatch = DiscFold<ByteLanes>::kBatch;
    const int count = xEnd - xBegin;
    const std::size_t length = std::size_t(count + 2 * reach);
    const int bpp = source.bytesPerPixel;
    const int ringRows = 2 * reach + kBatch;
    const int height = source.height;
    DiscFold<ByteLanes> highest(groups, reach, int(length), reach, count, reach, height - reach);
    DiscFold<ByteLanes> inverseHighest(groups, reach, int(length), reach, count, reach,
                                       height - reach);
    std::vector<std::uint8_t> levels(std::size_t(ringRows) * length, 0);
    std::vector<std::uint8_t> inverses(std::size_t(kBatch) * length, 0);
    std::vector<std::uint8_t> marks(std::size_t(count), 0);
    bool changed = false;
    for (int j0 = 0; j0 < height; j0 += kBatch) {
        const int n = std::min(kBatch, height - j0);
        const std::uint8_t* levelRows[kBatch];
        const std::uint8_t* inverseRows[kBatch];
        for (int b = 0; b < n; ++b) {
            const int j = j0 + b;
            std::uint8_t* rowLevels = levels.data() + std::size_t(j % ringRows) * length;
            std::uint8_t* rowInverses = inverses.data() + std::size_t(b) * length;
            firstBytesOf(source.bytes.data() + std::size_t(j) * source.rowBytes +
                             std::size_t(xBegin - reach) * bpp,
                         bpp, rowLevels, length);
            invert(rowLevels, rowInverses, length);
            levelRows[b] = rowLevels;
            inverseRows[b] = rowInverses;
        }
        highest.fold(levelRows, j0, n);
        inverseHighest.fold(inverseRows, j0, n);
        for (int y = std::max(j0 - reach, reach); y < j0 + n - reach; ++y) {
            const std::uint8_t* centre = levels.data() + std::size_t(y % ringRows) * length + reach;
            markSteps(centre, highest.row(y), inverseHighest.row(y), kGradientThreshold,
                      marks.data(), marks.size());
            std::uint8_t* out =
                work.bytes.data() + std::size_t(y) * work.rowBytes + std::size_t(xBegin) * bpp;
            changed = paintMarked(out, bpp, marks.data(), count) || changed;
        }
    }
    return changed;
}

// Copies bytes begin .. end − 1 of every row of `source` into `work`, which has its layout.
void copyColumns(const PixelBuffer& source, PixelBuffer& work, std::size_t begin, std::size_t end) {
    for (int y = 0; y < source.height; ++y) {
        const std::size_t row = std::size_t(y) * source.rowBytes;
        std::memcpy(work.bytes.data() + row + begin, source.bytes.data() + row + begin,
                    end - begin);
    }
}

bool sameLayout(const PixelBuffer& a, const PixelBuffer& b) {
    return a.width == b.width && a.height == b.height && a.bytesPerPixel == b.bytesPerPixel &&
           a.rowBytes == b.rowBytes && a.bytes.size() == b.bytes.size();
}

}  // namespace

bool MarkGradient(const PixelBuffer& source, PixelBuffer& work, double radius, int reach) {
    if (&source == &work) {
        const PixelBuffer unchanged = source;
        return MarkGradient(unchanged, work, radius, reach);
    }
    if (!hasProcessedPixels(source, reach)) {
        work = source;
        return false;
    }
    // A work layer of the same layout is refilled by the threads, each copying the columns of
    // its own strips (and the margins beside them) before painting there.
    const bool refill = sameLayout(source, work);
    if (!refill) work = source;
    const std::vector<ChordGroup> groups = chordGroups(DiscChords(radius, reach));
    const int columns = source.width - 2 * reach;
    const bool parallel = worthSplitting(source, reach);
    // Strips of equal width, an even number of them when both threads share the work.
    const int widest = stripWidth(reach, groups.size(), columns);
    int strips = (columns + widest - 1) / widest;
    if (parallel && strips % 2 != 0 && strips < columns) ++strips;
    const int width = (columns + strips - 1) / strips;
    const auto stripStart = [&](int s) { return std::min(reach + s * width, reach + columns); };
    return splitInTwo(0, strips, parallel, [&](int first, int last) {
        if (refill) {
            const std::size_t bpp = std::size_t(source.bytesPerPixel);
            copyColumns(source, work, first == 0 ? 0 : stripStart(first) * bpp,
                        last == strips ? std::size_t(source.rowBytes) : stripStart(last) * bpp);
        }
        bool changed = false;
        for (int s = first; s < last; ++s) {
            if (stripStart(s) < stripStart(s + 1)) {
                changed =
                    markStrip(source, work, groups, reach, stripStart(s), stripStart(s + 1)) ||
                    changed;
            }
        }
        return changed;
    });
}
