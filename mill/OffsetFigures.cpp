#include <algorithm>
#include <bit>
#include <cstdint>
#include <vector>

#include "mill/DiscFold.h"
#include "mill/RasterArea.h"
#include "mill/RasterOps.h"

namespace {

// One bit per pixel, pixel x at bit x % 64 of word x / 64: the maximum of bits is their or,
// and a row shifts by whole words and bits.
struct BitLanes {
    using Value = std::uint64_t;

    static void maxOfRows(const Value* const* rows, int rowCount, Value* out, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            Value any = rows[0][i];
            for (int r = 1; r < rowCount; ++r) any |= rows[r][i];
            out[i] = any;
        }
    }

    static void widen(const Value* __restrict narrow, Value* __restrict wide, int length,
                      ChordStep step) {
        if (step.from == 0) {
            for (int i = 0; i < length; ++i) {
                wide[i] =
                    narrow[i] | towardHigher(narrow, i, 1) | towardLower(narrow, length, i, 1);
            }
            return;
        }
        const int shift = step.to - step.from;
        for (int i = 0; i < length; ++i) {
            wide[i] = towardHigher(narrow, i, shift) | towardLower(narrow, length, i, shift);
        }
    }

    // Word i of the row moved `shift` pixels toward higher x (bit p takes bit p − shift).
    static Value towardHigher(const Value* row, int i, int shift) {
        const int word = i - shift / 64;
        const int bits = shift % 64;
        Value value = word >= 0 ? row[word] << bits : 0;
        if (bits != 0 && word >= 1) value |= row[word - 1] >> (64 - bits);
        return value;
    }

    // Word i of the row moved `shift` pixels toward lower x (bit p takes bit p + shift).
    static Value towardLower(const Value* row, int length, int i, int shift) {
        const int word = i + shift / 64;
        const int bits = shift % 64;
        Value value = word < length ? row[word] >> bits : 0;
        if (bits != 0 && word + 1 < length) value |= row[word + 1] << (64 - bits);
        return value;
    }
};

// Paints the processed pixels of row y (0-based) whose bit is set.
bool paintSpread(PixelBuffer& work, int y, const std::uint64_t* bits, int reach) {
    const int end = work.width - reach;
    std::uint8_t* row = work.bytes.data() + std::size_t(y) * work.rowBytes;
    bool changed = false;
    for (int i = reach / 64; i <= (end - 1) / 64; ++i) {
        for (std::uint64_t word = bits[i]; word != 0; word &= word - 1) {
            const int x = i * 64 + std::countr_zero(word);
            if (x < reach) continue;
            if (x >= end) break;
            changed =
                paintPixelWhite(row + std::size_t(x) * work.bytesPerPixel, work.bytesPerPixel) ||
                changed;
        }
    }
    return changed;
}

}  // namespace

bool OffsetFigures(PixelBuffer& work, double radius, int reach) {
    if (!hasProcessedPixels(work, reach)) return false;
    const bool parallel = worthSplitting(work, reach);
    // Which pixels are pure white, read in full before any pixel is painted.
    const int words = (work.width + 63) / 64;
    std::vector<std::uint64_t> white(std::size_t(words) * work.height, 0);
    splitInTwo(0, work.height, parallel, [&](int first, int last) {
        for (int y = first; y < last; ++y) {
            const std::uint8_t* in = work.bytes.data() + std::size_t(y) * work.rowBytes;
            std::uint64_t* bits = white.data() + std::size_t(y) * words;
            for (int x = 0; x < work.width; ++x) {
                if (in[std::size_t(x) * work.bytesPerPixel] == 255) {
                    bits[x / 64] |= std::uint64_t(1) << (x % 64);
                }
            }
        }
        return false;
    });
    const std::vector<ChordGroup> groups = chordGroups(DiscChords(radius, reach));
    return splitInTwo(reach, work.height - reach, parallel, [&](int yBegin, int yEnd) {
        DiscFold<BitLanes> fold(groups, reach, words, 0, words, yBegin, yEnd);
        constexpr int kBatch = DiscFold<BitLanes>::kBatch;
        bool changed = false;
        for (int j0 = yBegin - reach; j0 < yEnd + reach; j0 += kBatch) {
            const int n = std::min(kBatch, yEnd + reach - j0);
            const std::uint64_t* rows[kBatch];
            for (int b = 0; b < n; ++b) rows[b] = white.data() + std::size_t(j0 + b) * words;
            fold.fold(rows, j0, n);
            for (int y = std::max(j0 - reach, yBegin); y < j0 + n - reach; ++y) {
                changed = paintSpread(work, y, fold.row(y), reach) || changed;
            }
        }
        return changed;
    });
}
