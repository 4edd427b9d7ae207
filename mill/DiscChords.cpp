#include "mill/DiscChords.h"

#include <algorithm>

DiscChords::DiscChords(double radius, int reach)
    : m_reach(reach), m_halfWidths(std::size_t(2 * reach + 1), -1) {
    const double radiusSquared = radius * radius;
    const auto inDisc = [radiusSquared](int dx, int dy) {
        return double(dx) * double(dx) + double(dy) * double(dy) <= radiusSquared;
    };
    // Chords only narrow away from the centre row, so each row's search starts at the last one.
    int h = reach;
    for (int dy = 0; dy <= reach; ++dy) {
        while (h >= 0 && !inDisc(h, dy)) --h;
        m_halfWidths[std::size_t(reach + dy)] = h;
        m_halfWidths[std::size_t(reach - dy)] = h;
    }
}

std::vector<ChordGroup> chordGroups(const DiscChords& disc) {
    std::vector<ChordGroup> groups;
    for (int dy = 0; dy <= disc.reach(); ++dy) {
        const int h = disc.halfWidth(dy);
        if (h < 0) continue;
        auto group = std::find_if(groups.begin(), groups.end(),
                                  [h](const ChordGroup& g) { return g.halfWidth == h; });
        if (group == groups.end()) group = groups.insert(groups.end(), ChordGroup{h, {}, {}});
        group->rows.push_back(dy);
    }
    std::sort(groups.begin(), groups.end(),
              [](const ChordGroup& a, const ChordGroup& b) { return a.halfWidth < b.halfWidth; });
    int h = 0;
    for (ChordGroup& group : groups) {
        while (h < group.halfWidth) {
            const int next = h == 0 ? 1 : std::min(group.halfWidth, 2 * h);
            group.steps.push_back({h, next});
            h = next;
        }
    }
    return groups;
}
