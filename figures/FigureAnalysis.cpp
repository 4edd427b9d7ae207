#include "figures/FigureAnalysis.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "figures/FigureNumbers.h"
#include "figures/LargePages.h"
#include "figures/NestingTree.h"
#include "figures/PairSet.h"

// The labelling pass works on runs: maximal stretches of one tone within a row of the label
// grid. Within a run every cell takes its left neighbour's number, so the whole run shares the
// number its first cell takes, and the merges happen where the run lies under upper cells of
// its own tone, once for each such upper run, in the order of x. Handling runs in row order and
// those events in x order replays the allocations and merges of the cell-by-cell procedure in
// the same order, so the figure numbers come out the same (see FigureNumbers.h).

static_assert(std::endian::native == std::endian::little, "tone bytes are scanned by words");

namespace {

constexpr std::uint8_t kDarkLimit = 100;  // a blue byte above this is light
constexpr std::uint8_t kLightTone = 1;
constexpr std::uint8_t kDarkTone = 0;
constexpr std::size_t kWord = sizeof(std::uint64_t);

// A run of one row: its first column and the record of its figure. The runs of a row alternate
// in tone, starting with a light one that holds the frame cell x = 0.
struct Run {
    std::int32_t start;
    std::int32_t record;
};

bool isLightRun(std::size_t indexInRow) {
    return indexInRow % 2 == 0;
}

// The runs of every row y = 0..H, one vector per row: rows of moderate size come from and go
// back to the heap's free lists, so parsing again does not fault in fresh pages.
using RunRows = std::vector<std::vector<Run>>;

// Reads row y's tones into tones[1..W] (1 light, 0 dark) behind the light frame cell tones[0]
// (the bytes after column W are 0), and writes the first column of each run into starts.
void findRuns(const PixelBuffer& work, int y, std::vector<std::uint8_t>& tones,
              std::vector<std::int32_t>& starts) {
    const std::size_t width = std::size_t(work.width);
    const std::uint8_t* pixel = work.bytes.data() + work.offset(1, y);
    // Through plain pointers: a byte store through the vector could alias its own fields and
    // keep the compiler from handling several pixels at once.
    std::uint8_t* tone = tones.data() + 1;
    if (work.bytesPerPixel == 4) {
        for (std::size_t i = 0; i < width; ++i) tone[i] = pixel[4 * i] > kDarkLimit;
    } else {
        const std::size_t step = std::size_t(work.bytesPerPixel);
        for (std::size_t i = 0; i < width; ++i) tone[i] = pixel[step * i] > kDarkLimit;
    }

    // A run starts at column 0 and wherever the tone differs from the column before: compare
    // eight columns at a time, gather the eight 0/1 differences into the bits of one byte, and
    // take the set bits in order.
    starts.clear();
    starts.push_back(0);
    for (std::size_t x = 1; x <= width; x += kWord) {
        std::uint64_t here, before;
        std::memcpy(&here, tones.data() + x, kWord);
        std::memcpy(&before, tones.data() + x - 1, kWord);
        auto changes = unsigned((((here ^ before) * 0x0102040810204080ull) >> 56) & 0xff);
        while (changes != 0) {
            const std::size_t column = x + std::size_t(std::countr_zero(changes));
            if (column > width) break;
            starts.push_back(std::int32_t(column));
            changes &= changes - 1;
        }
    }
}

// Labels the runs of one row (first columns in starts) under the runs of the row above.
void labelRow(const std::vector<std::int32_t>& starts, const std::vector<Run>& upper,
              std::int32_t width, std::int32_t frame, LabelRecords& records,
              std::vector<Run>& out) {
    const Run* up = upper.data();
    const std::size_t upCount = upper.size();
    const auto upEnd = [&](std::size_t k) { return k + 1 < upCount ? up[k + 1].start - 1 : width; };
    std::size_t j = 0;  // the upper run above the current run's first cell
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const std::int32_t first = starts[i];
        const std::int32_t last = i + 1 < starts.size() ? starts[i + 1] - 1 : width;
        const bool light = isLightRun(i);
        while (j + 1 < upCount && up[j + 1].start <= first) ++j;

        std::int32_t record;
        std::int32_t from = first;  // first column that compares itself with its upper cell
        std::size_t k = j;          // the upper runs from here on may merge with this run
        if (i == 0) {
            record = frame;  // the frame cell; the light pixels after it take its number
            from = 1;
        } else if (isLightRun(j) == light) {
            record = up[j].record;  // upper neighbour
        } else if (up[j].start == first) {
            record = up[j - 1].record;  // upper-left neighbour, of the other tone than up[j]
        } else if (j + 1 < upCount && up[j + 1].start <= last) {
            // A new number that the merge with the next upper run takes away at once, as on
            // the upper-left side of every rounded shape: that run's figure goes on.
            records.allocateAndMergeAway(light ? kLight : kDark);
            k = j + 1;
            record = up[k].record;
        } else {
            record = records.allocate(light ? kLight : kDark);
        }

        for (; k < upCount && up[k].start <= last; ++k) {
            if (isLightRun(k) != light || upEnd(k) < from || up[k].record == record) continue;
            const std::int32_t own = records.find(record);
            const std::int32_t upper = records.find(up[k].record);
            if (own != upper) records.MergeLabels(own, upper);
            record = upper;
        }
        out.push_back({first, record});
    }
}

RunRows labelRuns(const PixelBuffer& work, LabelRecords& records) {
    const std::size_t width = std::size_t(work.width);
    RunRows rows(std::size_t(work.height) + 1);
    const std::int32_t frame = records.allocate(kLight);
    rows[0].push_back({0, frame});  // row 0: all frame

    std::vector<std::uint8_t> tones(width + 1 + kWord, kDarkTone);
    tones[0] = kLightTone;
    std::vector<std::int32_t> starts;
    for (std::size_t y = 1; y < rows.size(); ++y) {
        findRuns(work, int(y), tones, starts);
        rows[y].reserve(starts.size());
        labelRow(starts, rows[y - 1], std::int32_t(width), frame, records, rows[y]);
    }
    return rows;
}

// Writes every run's final number into the grid and records the pairs met at the boundaries
// between columns 1..W (the frame column takes no part), row by row in scan order.
void writeLabelsAndPairs(const RunRows& rows, const std::vector<std::int32_t>& numbers,
                         FigureAnalysis& analysis) {
    LabelGrid& labels = analysis.labels;
    const std::size_t stride = std::size_t(labels.width()) + 1;
    PairSet pairs(analysis);
    // The boundaries of the row above, (left, right) in order of x. A figure's boundaries
    // mostly repeat row after row; one seen among the next few boundaries of the row above was
    // recorded then, and needs no look-up now.
    std::vector<NestingPair> above, here;
    for (std::size_t y = 0; y < rows.size(); ++y) {
        std::int32_t* cells = labels.cells().data() + y * stride;
        const std::vector<Run>& runs = rows[y];
        here.clear();
        std::size_t match = 0;  // the boundaries of the row above before this one are passed
        std::int32_t left = 0;
        for (std::size_t r = 0; r < runs.size(); ++r) {
            const std::size_t first = std::size_t(runs[r].start);
            const std::size_t stop = r + 1 < runs.size() ? std::size_t(runs[r + 1].start) : stride;
            const std::int32_t number = numbers[std::size_t(runs[r].record)];
            std::fill(cells + first, cells + stop, number);
            if (first >= 2) {
                const NestingPair boundary{number, left};
                bool seen = false;
                for (std::size_t q = match; q < std::min(match + 3, above.size()); ++q) {
                    if (above[q] == boundary) {
                        seen = true;
                        match = q + 1;
                        break;
                    }
                }
                if (!seen) pairs.RecordPair(left, number);
                here.push_back(boundary);
            }
            left = number;
        }
        above.swap(here);
    }
}

// A zeroed grid for a picture of the given size, on large pages where the system offers them.
LabelGrid freshLabelGrid(int width, int height) {
    const std::size_t count = std::size_t(width + 1) * std::size_t(height + 1);
    std::vector<std::int32_t> cells;
    reserveOnLargePages(cells, count);
    cells.resize(count);
    return LabelGrid(width, height, std::move(cells));
}

}  // namespace

void ParseFigures(const PixelBuffer& work, FigureAnalysis& analysis) {
    analysis.tree.clear();
    if (work.isEmpty()) {
        analysis = FigureAnalysis{};
        return;
    }
    if (analysis.labels.width() != work.width || analysis.labels.height() != work.height) {
        analysis.labels = freshLabelGrid(work.width, work.height);
    }
    FigureSlots table(analysis.figures);
    LabelRecords records(table, std::size_t(work.height) * 4);
    const RunRows rows = labelRuns(work, records);
    writeLabelsAndPairs(rows, records.resolveNumbers(), analysis);
    BuildNestingTree(analysis);
}

FigureAnalysis ParseFigures(const PixelBuffer& work) {
    FigureAnalysis analysis;
    ParseFigures(work, analysis);
    return analysis;
}
