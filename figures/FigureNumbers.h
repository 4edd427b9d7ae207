#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "figures/FigureTables.h"

// The figure numbers of a parse as they are handed out and merged, without rewriting the label
// grid at every merge. Each number handed out gets an allocation record; the records of
// numbers that were merged form one set, whose root carries the number that every cell of the
// set shows at that moment. Merging frees the number of one set and links it under the other,
// at the same moment and with the same effect on the free slots as rewriting the grid would
// have, so every later number comes out the same.

// A set of slot numbers 1..n that finds its lowest member in a few word operations: one bit per
// number, and above it levels of summary words whose bits tell which words below are not
// empty.
class LowestFreeSlots {
public:
    // Adds number (1 or more); the set grows as needed.
    void insert(std::int32_t number);
    // Removes number, which must be a member.
    void erase(std::int32_t number);
    bool empty() const { return m_levels.empty() || m_levels.back()[0] == 0; }
    // The lowest member; the set must not be empty.
    std::int32_t lowest() {
        if (m_lowest == 0) m_lowest = findLowest();
        return m_lowest;
    }

private:
    void growFor(std::size_t bit);
    std::int32_t findLowest() const;
    // m_levels[0] holds one bit per number, each level above one bit per word of the level
    // below; the top level is a single word.
    std::vector<std::vector<std::uint64_t>> m_levels;
    std::int32_t m_lowest = 0;  // the lowest member once known, 0 while unknown
};

// The figure table with the slot rules of AllocateLabel: lowest free slot first, the table
// doubled when every slot is taken.
class FigureSlots {
public:
    // Takes over figures and resets it to kInitialTableSize free slots.
    explicit FigureSlots(std::vector<FigureRecord>& figures);

    // The lowest free slot, marked in use with the given Color; the table doubles if no slot is
    // free.
    std::int32_t AllocateLabel(std::int16_t color);

    // Frees the slot of a figure in use; its Color stays until the slot is handed out again.
    void release(std::int32_t number);

    // AllocateLabel(color) followed at once by release of the same number: the table keeps
    // only the Color in that slot (and its growth, if no slot was free).
    void allocateAndRelease(std::int16_t color);

private:
    std::vector<FigureRecord>& m_figures;
    // Every freed slot lies below m_nextUnused, so the lowest free slot is the smallest freed
    // one, or m_nextUnused when none is freed.
    LowestFreeSlots m_freed;
    std::int32_t m_nextUnused = 1;
};

// Allocation records joined by merges (a union-find with path halving).
class LabelRecords {
public:
    // expectedRecords: a capacity hint.
    LabelRecords(FigureSlots& table, std::size_t expectedRecords);

    // A new record with a new number from AllocateLabel(color); returns the record.
    std::int32_t allocate(std::int16_t color);

    // A number handed out and merged away into an existing figure before anything else
    // happens: only its trace in the figure table remains, no record is made.
    void allocateAndMergeAway(std::int16_t color) { m_table.allocateAndRelease(color); }

    // The root record of record's set.
    std::int32_t find(std::int32_t record) {
        while (m_nodes[std::size_t(record)].parent != record) {
            std::int32_t& parent = m_nodes[std::size_t(record)].parent;
            parent = m_nodes[std::size_t(parent)].parent;
            record = parent;
        }
        return record;
    }

    // fromRoot and intoRoot are roots of different sets: from's number is freed and its set
    // joins into's, keeping into's number.
    void MergeLabels(std::int32_t fromRoot, std::int32_t intoRoot);

    // The final figure number of every record, indexed by record.
    std::vector<std::int32_t> resolveNumbers();

private:
    struct Node {
        std::int32_t parent;
        std::int32_t number;  // meaningful at roots only
    };
    FigureSlots& m_table;
    std::vector<Node> m_nodes;
};
