#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "figures/FigureTables.h"

// The pair table of a parse as the boundaries between figures are met in scan order: every
// pair of touching figures is recorded once, in the orientation it was first met, at the end of
// the table (RecordPair). Checking whether a pair is known costs the same whatever the number
// of pairs: each figure keeps the list of its partners while it has few (most figures touch
// only their enclosing figure and a hole or two), and only pairs of two figures with many
// partners go to a hash set.
class PairSet {
public:
    // Takes over analysis.pairs and pairCount, reset to kInitialTableSize empty slots and 0.
    // Figure numbers passed later must lie in 1..analysis.figures.size().
    explicit PairSet(FigureAnalysis& analysis);

    // Records (Outer = left, Inner = right) unless the two figures are already a pair in
    // either orientation; the table doubles when full.
    void RecordPair(std::int32_t left, std::int32_t right);

private:
    static constexpr int kListed = 3;
    struct Partners {
        std::int32_t partner[kListed];
        std::int32_t count;  // partners listed; kOverflowed once there were more
        bool holds(std::int32_t n) const;
    };
    static constexpr std::int32_t kOverflowed = -1;

    void addPartner(std::int32_t owner, std::int32_t partner);
    static std::uint64_t keyOf(std::int32_t a, std::int32_t b);
    // The hash set of keys: open addressing with linear probing; key 0 marks an empty slot.
    bool containsKey(std::uint64_t key) const;
    void insertKey(std::uint64_t key);
    std::size_t home(std::uint64_t key) const;
    void resizeKeys(int bits);

    FigureAnalysis& m_analysis;
    std::vector<Partners> m_partners;  // indexed by figure number
    std::vector<std::uint64_t> m_keys;
    int m_bits = 0;
    std::size_t m_used = 0;
};
