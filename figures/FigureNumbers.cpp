#include "figures/FigureNumbers.h"

#include <algorithm>
#include <bit>
#include <utility>

void LowestFreeSlots::growFor(std::size_t bit) {
    std::size_t words = bit / 64 + 1;
    if (!m_levels.empty() && m_levels[0].size() >= words) return;
    // Rebuild with room for twice the bits; the summaries are recomputed from level 0.
    std::vector<std::uint64_t> bits =
        m_levels.empty() ? std::vector<std::uint64_t>{} : std::move(m_levels[0]);
    bits.resize(std::max(words, 2 * bits.size()), 0);
    m_levels.clear();
    m_levels.push_back(std::move(bits));
    while (m_levels.back().size() > 1) {
        const std::vector<std::uint64_t>& below = m_levels.back();
        std::vector<std::uint64_t> summary((below.size() + 63) / 64, 0);
        for (std::size_t w = 0; w < below.size(); ++w) {
            if (below[w] != 0) summary[w / 64] |= std::uint64_t(1) << (w % 64);
        }
        m_levels.push_back(std::move(summary));
    }
}

void LowestFreeSlots::insert(std::int32_t number) {
    if (m_lowest != 0 && number < m_lowest) m_lowest = number;
    std::size_t bit = std::size_t(number);
    growFor(bit);
    for (std::vector<std::uint64_t>& level : m_levels) {
        std::uint64_t& word = level[bit / 64];
        const bool wasEmpty = word == 0;
        word |= std::uint64_t(1) << (bit % 64);
        if (!wasEmpty) break;
        bit /= 64;
    }
}

void LowestFreeSlots::erase(std::int32_t number) {
    if (number == m_lowest) m_lowest = 0;
    std::size_t bit = std::size_t(number);
    for (std::vector<std::uint64_t>& level : m_levels) {
        std::uint64_t& word = level[bit / 64];
        word &= ~(std::uint64_t(1) << (bit % 64));
        if (word != 0) break;
        bit /= 64;
    }
}

std::int32_t LowestFreeSlots::findLowest() const {
    std::size_t index = 0;
    for (auto level = m_levels.rbegin(); level != m_levels.rend(); ++level) {
        index = index * 64 + std::size_t(std::countr_zero((*level)[index]));
    }
    return std::int32_t(index);
}

FigureSlots::FigureSlots(std::vector<FigureRecord>& figures) : m_figures(figures) {
    m_figures.assign(kInitialTableSize, FigureRecord{});
}

std::int32_t FigureSlots::AllocateLabel(std::int16_t color) {
    std::int32_t number;
    if (!m_freed.empty()) {
        number = m_freed.lowest();
        m_freed.erase(number);
    } else {
        number = m_nextUnused++;
        if (std::size_t(number) > m_figures.size()) m_figures.resize(m_figures.size() * 2);
    }
    FigureRecord& record = m_figures[std::size_t(number) - 1];
    record.State = kInUse;
    record.Color = color;
    return number;
}

void FigureSlots::release(std::int32_t number) {
    m_figures[std::size_t(number) - 1].State = kFreeSlot;
    m_freed.insert(number);
}

void FigureSlots::allocateAndRelease(std::int16_t color) {
    if (m_freed.empty()) {
        release(AllocateLabel(color));
    } else {
        m_figures[std::size_t(m_freed.lowest()) - 1].Color = color;
    }
}

LabelRecords::LabelRecords(FigureSlots& table, std::size_t expectedRecords) : m_table(table) {
    m_nodes.reserve(expectedRecords);
}

std::int32_t LabelRecords::allocate(std::int16_t color) {
    const auto record = std::int32_t(m_nodes.size());
    m_nodes.push_back({record, m_table.AllocateLabel(color)});
    return record;
}

void LabelRecords::MergeLabels(std::int32_t fromRoot, std::int32_t intoRoot) {
    m_table.release(m_nodes[std::size_t(fromRoot)].number);
    m_nodes[std::size_t(fromRoot)].parent = intoRoot;
}

std::vector<std::int32_t> LabelRecords::resolveNumbers() {
    std::vector<std::int32_t> numbers(m_nodes.size());
    for (std::size_t r = 0; r < numbers.size(); ++r) {
        numbers[r] = m_nodes[std::size_t(find(std::int32_t(r)))].number;
    }
    return numbers;
}
