#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

#include "mill/DiscChords.h"

// The running maximum over a disc, swept down a picture a few input rows at a time, at a cost
// per pixel that grows with the disc's reach rather than its area.
//
// Each input row is widened group by group along the chord plan, keeping each group's chord.
// Output row y takes row dy's chord from input row y + dy, so every output row still pending
// takes, in one pass, the chords that the rows of a batch hold for it. An output row is
// complete once the input row `reach` below it has been folded; 2 × reach + kBatch rows are
// kept, the pending ones and the batch just completed.
//
// Lanes supplies the element type (value-initialised to the smallest value) and two
// operations on rows of it:
//   static void widen(const Value* narrow, Value* wide, int length, ChordStep step);
//   static void maxOfRows(const Value* const* rows, int rowCount, Value* out, std::size_t count);
// widen turns the running maximum of half-width step.from into that of half-width step.to; it
// has to be right wherever the wider window lies inside the row, and may leave anything
// elsewhere. maxOfRows writes the maximum of the rows, position by position, into `out`, which
// may be the first of the rows.
template <typename Lanes>
class DiscFold {
public:
    using Value = typename Lanes::Value;
    static constexpr int kBatch = 8;

    // Input rows hold `length` values; each output row keeps `count` values taken from position
    // `first` of the widened rows, and those whose disc lies inside the row are the disc's
    // maxima. Output rows are yBegin .. yEnd − 1, each at least `reach` from the first and the
    // last input row.
    DiscFold(const std::vector<ChordGroup>& groups, int reach, int length, int first, int count,
             int yBegin, int yEnd)
        : m_groups(groups),
          m_reach(reach),
          m_length(length),
          m_first(first),
          m_count(std::size_t(count)),
          m_yBegin(yBegin),
          m_yEnd(yEnd),
          m_groupOfRow(std::size_t(reach + 1), -1),
          m_pending(std::size_t(2 * reach + kBatch) * m_count),
          m_chords(std::size_t(kBatch) * groups.size() * m_count),
          m_wideA(std::size_t(length)),
          m_wideB(std::size_t(length)) {
        for (std::size_t k = 0; k < groups.size(); ++k) {
            for (const int dy : groups[k].rows) m_groupOfRow[std::size_t(dy)] = int(k);
        }
    }

    // Folds input rows j0 .. j0 + n − 1 (rows[b] is row j0 + b, n ≤ kBatch); call with j0
    // running from yBegin − reach to yEnd + reach − 1 without gaps.
    void fold(const Value* const* rows, int j0, int n) {
        for (int b = 0; b < n; ++b) {
            if (isOutput(j0 + b + m_reach)) {
                std::fill_n(pendingRow(j0 + b + m_reach), m_count, Value{});
            }
            keepChords(rows[b], b);
        }
        const Value* sources[kBatch + 1];
        for (int y = std::max(j0 - m_reach, m_yBegin); y < std::min(j0 + n + m_reach, m_yEnd);
             ++y) {
            Value* out = pendingRow(y);
            int sourceCount = 0;
            sources[sourceCount++] = out;
            for (int b = 0; b < n; ++b) {
                const int dy = j0 + b - y;
                if (dy < -m_reach || dy > m_reach) continue;
                const int group = m_groupOfRow[std::size_t(dy < 0 ? -dy : dy)];
                if (group >= 0) sources[sourceCount++] = chord(b, std::size_t(group));
            }
            if (sourceCount > 1) Lanes::maxOfRows(sources, sourceCount, out, m_count);
        }
    }

    // The values of output row y; complete once input row y + reach has been folded, and
    // valid until the next fold.
    const Value* row(int y) const { return m_pending.data() + slot(y); }

private:
    bool isOutput(int y) const { return y >= m_yBegin && y < m_yEnd; }
    std::size_t slot(int y) const { return std::size_t(y % (2 * m_reach + kBatch)) * m_count; }
    Value* pendingRow(int y) { return m_pending.data() + slot(y); }
    Value* chord(int b, std::size_t group) {
        return m_chords.data() + (std::size_t(b) * m_groups.size() + group) * m_count;
    }

    // Widens an input row along the chord plan and keeps each group's chord as batch row b.
    void keepChords(const Value* input, int b) {
        const Value* current = input;
        for (std::size_t k = 0; k < m_groups.size(); ++k) {
            for (const ChordStep step : m_groups[k].steps) {
                Value* wide = current == m_wideA.data() ? m_wideB.data() : m_wideA.data();
                Lanes::widen(current, wide, m_length, step);
                current = wide;
            }
            std::copy_n(current + m_first, m_count, chord(b, k));
        }
    }

    const std::vector<ChordGroup>& m_groups;
    int m_reach;
    int m_length;
    int m_first;
    std::size_t m_count;
    int m_yBegin;
    int m_yEnd;
    std::vector<int> m_groupOfRow;  // the group of chord row |dy|, or −1 for an empty row
    std::vector<Value> m_pending;
    std::vector<Value> m_chords;
    std::vector<Value> m_wideA;
    std::vector<Value> m_wideB;
};
