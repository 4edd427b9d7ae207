#include "mill/BorderStarts.h"

#include <unordered_set>

BorderStarts::BorderStarts(const LabelGrid& labels) {
    for (int y = 1; y <= labels.height() - 1; ++y) {
        std::int32_t previous = 0;
        for (int x = 1; x <= labels.width(); ++x) {
            const std::int32_t figure = labels.at(x, y);
            // Within a run of one figure only the run's first cell can be its first pixel.
            if (figure != previous) m_outer.try_emplace(figure, x, y);
            previous = figure;
            const std::int32_t below = labels.at(x, y + 1);
            if (below != figure) m_aroundChild.try_emplace(key(figure, below), x, y);
        }
    }
}

std::optional<QPoint> BorderStarts::outer(std::int32_t figure) const {
    const auto found = m_outer.find(figure);
    if (found == m_outer.end()) return std::nullopt;
    return found->second;
}

std::optional<QPoint> BorderStarts::aroundChild(std::int32_t figure, std::int32_t child) const {
    const auto found = m_aroundChild.find(key(figure, child));
    if (found == m_aroundChild.end()) return std::nullopt;
    return found->second;
}

std::vector<std::int32_t> figuresInScanOrder(const LabelGrid& labels) {
    std::vector<std::int32_t> order;
    std::unordered_set<std::int32_t> seen;
    for (int y = 1; y <= labels.height(); ++y) {
        std::int32_t previous = 0;
        for (int x = 1; x <= labels.width(); ++x) {
            const std::int32_t figure = labels.at(x, y);
            if (figure == previous) continue;  // runs of one figure need no lookup
            previous = figure;
            if (seen.insert(figure).second) order.push_back(figure);
        }
    }
    return order;
}
