#include "mill/ByteRows.h"

#include <algorithm>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define CNC_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define CNC_VECTOR_CLONES
#endif

CNC_VECTOR_CLONES
void maxOfShifted(const std::uint8_t* __restrict in, std::uint8_t* __restrict out, int first,
                  int last, int shift) {
    for (int x = first; x < last; ++x) out[x] = std::max(in[x - shift], in[x + shift]);
}

CNC_VECTOR_CLONES
void maxOfThree(const std::uint8_t* __restrict in, std::uint8_t* __restrict out, int length) {
    for (int x = 1; x < length - 1; ++x) {
        out[x] = std::max(std::max(in[x - 1], in[x]), in[x + 1]);
    }
}

// Blocks of 32 positions keep their running maximum in a register while the rows pass;
// the last block may overlap the one before, which the maximum does not mind.
using Block = std::uint8_t __attribute__((vector_size(32)));
using LooseBlock = std::uint8_t __attribute__((vector_size(32), aligned(1), may_alias));

CNC_VECTOR_CLONES
void maxOfRows(const std::uint8_t* const* rows, int rowCount, std::uint8_t* out,
               std::size_t count) {
    if (count < sizeof(Block)) {
        for (std::size_t i = 0; i < count; ++i) {
            std::uint8_t highest = rows[0][i];
            for (int r = 1; r < rowCount; ++r) highest = std::max(highest, rows[r][i]);
            out[i] = highest;
        }
        return;
    }
    for (std::size_t i = 0;; i += sizeof(Block)) {
        const std::size_t at = std::min(i, count - sizeof(Block));
        Block highest = *reinterpret_cast<const LooseBlock*>(rows[0] + at);
        for (int r = 1; r < rowCount; ++r) {
            const Block next = *reinterpret_cast<const LooseBlock*>(rows[r] + at);
            highest = highest > next ? highest : next;
        }
        *reinterpret_cast<LooseBlock*>(out + at) = highest;
        if (at + sizeof(Block) >= count) return;
    }
}

// The common pixel sizes get loops of their own, which the compiler can vectorise.
CNC_VECTOR_CLONES
void firstBytesOf(const std::uint8_t* __restrict pixels, int bytesPerPixel,
                  std::uint8_t* __restrict out, std::size_t count) {
    switch (bytesPerPixel) {
        case 4:
            for (std::size_t i = 0; i < count; ++i) out[i] = pixels[4 * i];
            return;
        case 3:
            for (std::size_t i = 0; i < count; ++i) out[i] = pixels[3 * i];
            return;
        default:
            for (std::size_t i = 0; i < count; ++i) out[i] = pixels[i * bytesPerPixel];
    }
}

CNC_VECTOR_CLONES
void invert(const std::uint8_t* __restrict in, std::uint8_t* __restrict out, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) out[i] = std::uint8_t(255 - in[i]);
}

// max(a, b) − b is a − b when a is the larger and 0 otherwise, all within a byte.
CNC_VECTOR_CLONES
void markSteps(const std::uint8_t* __restrict levels, const std::uint8_t* __restrict highest,
               const std::uint8_t* __restrict inverseHighest, std::uint8_t threshold,
               std::uint8_t* __restrict marks, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t level = levels[i];
        const std::uint8_t inverse = std::uint8_t(255 - level);
        const std::uint8_t rise = std::uint8_t(std::max(highest[i], level) - level);
        const std::uint8_t fall = std::uint8_t(std::max(inverseHighest[i], inverse) - inverse);
        marks[i] = std::uint8_t((rise > threshold) | (fall > threshold));
    }
}
