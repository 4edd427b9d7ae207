#include "figures/PairSet.h"

#include <algorithm>

PairSet::PairSet(FigureAnalysis& analysis)
    : m_analysis(analysis), m_partners(analysis.figures.size() + 1, Partners{{0, 0, 0}, 0}) {
    m_analysis.pairs.assign(kInitialTableSize, NestingPair{});
    m_analysis.pairCount = 0;
    resizeKeys(10);
}

bool PairSet::Partners::holds(std::int32_t n) const {
    for (std::int32_t i = 0; i < count; ++i) {
        if (partner[i] == n) return true;
    }
    return false;
}

void PairSet::RecordPair(std::int32_t left, std::int32_t right) {
    // Every pair is listed by each of its figures that still lists its partners, and is in the
    // hash set when neither does; so one listing figure answers exactly.
    const Partners& a = m_partners[std::size_t(left)];
    const Partners& b = m_partners[std::size_t(right)];
    bool known;
    if (a.count != kOverflowed) {
        known = a.holds(right);
    } else if (b.count != kOverflowed) {
        known = b.holds(left);
    } else {
        known = containsKey(keyOf(left, right));
    }
    if (known) return;

    addPartner(left, right);
    addPartner(right, left);
    if (a.count == kOverflowed && b.count == kOverflowed) insertKey(keyOf(left, right));
    std::vector<NestingPair>& pairs = m_analysis.pairs;
    const std::size_t count = std::size_t(++m_analysis.pairCount);
    if (count > pairs.size()) pairs.resize(pairs.size() * 2);
    pairs[count - 1] = NestingPair{right, left};
}

void PairSet::addPartner(std::int32_t owner, std::int32_t partner) {
    Partners& list = m_partners[std::size_t(owner)];
    if (list.count == kOverflowed) return;
    if (list.count < kListed) {
        list.partner[list.count++] = partner;
        return;
    }
    // The owner's list is dropped: a pair with a partner that still lists the owner stays
    // known through that partner, the others move to the hash set.
    for (const std::int32_t listed : list.partner) {
        if (m_partners[std::size_t(listed)].count == kOverflowed) insertKey(keyOf(owner, listed));
    }
    list.count = kOverflowed;
}

std::uint64_t PairSet::keyOf(std::int32_t a, std::int32_t b) {
    const auto low = std::uint32_t(std::min(a, b));
    const auto high = std::uint32_t(std::max(a, b));
    return std::uint64_t(low) << 32 | high;
}

std::size_t PairSet::home(std::uint64_t key) const {
    // The top bits of a multiplicative hash: they depend on every bit of the key.
    return std::size_t((key * 0x9E3779B97F4A7C15ull) >> (64 - m_bits));
}

bool PairSet::containsKey(std::uint64_t key) const {
    const std::size_t mask = m_keys.size() - 1;
    for (std::size_t i = home(key);; i = (i + 1) & mask) {
        if (m_keys[i] == key) return true;
        if (m_keys[i] == 0) return false;
    }
}

void PairSet::insertKey(std::uint64_t key) {
    const std::size_t mask = m_keys.size() - 1;
    std::size_t i = home(key);
    while (m_keys[i] != 0) {
        if (m_keys[i] == key) return;
        i = (i + 1) & mask;
    }
    m_keys[i] = key;
    if (++m_used * 2 > m_keys.size()) resizeKeys(m_bits + 1);
}

void PairSet::resizeKeys(int bits) {
    std::vector<std::uint64_t> old(std::size_t(1) << bits, 0);
    old.swap(m_keys);
    m_bits = bits;
    const std::size_t mask = m_keys.size() - 1;
    for (const std::uint64_t key : old) {
        if (key == 0) continue;
        std::size_t i = home(key);
        while (m_keys[i] != 0) i = (i + 1) & mask;
        m_keys[i] = key;
    }
}
