#include "tests/support/ReferenceParse.h"

#include <cstddef>
#include <cstdint>

namespace {

class Reference {
public:
    explicit Reference(FigureAnalysis& a) : m_a(a) {}

    void run(const PixelBuffer& work) {
        const int w = work.width;
        const int h = work.height;
        m_a.figures.assign(kInitialTableSize, FigureRecord{});
        m_a.pairs.assign(kInitialTableSize, NestingPair{});
        m_a.pairCount = 0;
        m_a.labels = LabelGrid(w, h);
        LabelGrid& grid = m_a.labels;

        const std::int32_t frame = AllocateLabel(kLight);
        grid.at(0, 0) = frame;
        for (int y = 1; y <= h; ++y) grid.at(0, y) = frame;
        for (int x = 1; x <= w; ++x) grid.at(x, 0) = frame;

        for (int y = 1; y <= h; ++y) {
            for (int x = 1; x <= w; ++x) {
                const std::int16_t c = work.first(x, y) > 100 ? kLight : kDark;
                std::int32_t own;
                if (color(grid.at(x - 1, y)) == c) {
                    own = grid.at(x - 1, y);
                } else if (color(grid.at(x, y - 1)) == c) {
                    own = grid.at(x, y - 1);
                } else if (color(grid.at(x - 1, y - 1)) == c) {
                    own = grid.at(x - 1, y - 1);
                } else {
                    own = AllocateLabel(c);
                }
                grid.at(x, y) = own;
                const std::int32_t upper = grid.at(x, y - 1);
                if (upper != own && color(upper) == color(own)) MergeLabels(own, upper);
            }
        }

        for (int y = 1; y <= h; ++y) {
            for (int x = 2; x <= w; ++x) {
                if (grid.at(x - 1, y) != grid.at(x, y))
                    RecordPair(grid.at(x - 1, y), grid.at(x, y));
            }
        }

        m_a.tree.clear();
        for (std::int32_t k = 1; k <= m_a.pairCount; ++k) {
            const std::int32_t candidate = pair(k).Outer;
            bool isInner = false;
            for (std::int32_t j = 1; j <= m_a.pairCount; ++j) {
                if (pair(j).Inner == candidate) isInner = true;
            }
            if (!isInner) {
                record(candidate).Depth = 0;
                m_a.tree.push_back({candidate, 0});
                AddChildNodes(candidate, 1);
                break;
            }
        }
    }

private:
    FigureRecord& record(std::int32_t n) { return m_a.figures[std::size_t(n) - 1]; }
    NestingPair& pair(std::int32_t k) { return m_a.pairs[std::size_t(k) - 1]; }
    std::int16_t color(std::int32_t n) { return record(n).Color; }

    std::int32_t AllocateLabel(std::int16_t c) {
        for (std::size_t i = 0; i < m_a.figures.size(); ++i) {
            if (m_a.figures[i].State == kFreeSlot) {
                m_a.figures[i].State = kInUse;
                m_a.figures[i].Color = c;
                return std::int32_t(i + 1);
            }
        }
        const std::size_t old = m_a.figures.size();
        m_a.figures.resize(old * 2);
        m_a.figures[old].State = kInUse;
        m_a.figures[old].Color = c;
        return std::int32_t(old + 1);
    }

    void MergeLabels(std::int32_t from, std::int32_t into) {
        record(from).State = kFreeSlot;
        for (std::int32_t& cell : m_a.labels.cells()) {
            if (cell == from) cell = into;
        }
    }

    void RecordPair(std::int32_t left, std::int32_t right) {
        for (std::int32_t k = 1; k <= m_a.pairCount; ++k) {
            const NestingPair& p = pair(k);
            if ((p.Outer == left && p.Inner == right) || (p.Outer == right && p.Inner == left)) {
                return;
            }
        }
        ++m_a.pairCount;
        if (std::size_t(m_a.pairCount) > m_a.pairs.size()) m_a.pairs.resize(m_a.pairs.size() * 2);
        pair(m_a.pairCount) = NestingPair{right, left};
    }

    void AddChildNodes(std::int32_t parent, std::int32_t depth) {
        const std::int32_t n = m_a.pairCount;
        for (std::int32_t k = 1; k <= n; ++k) {
            if (pair(k).Outer != parent) continue;
            const std::int32_t child = pair(k).Inner;
            record(child).Depth = depth;
            m_a.tree.push_back({child, parent});
            AddChildNodes(child, depth + 1);
        }
    }

    FigureAnalysis& m_a;
};

}  // namespace

FigureAnalysis ReferenceParse(const PixelBuffer& work) {
    FigureAnalysis analysis;
    if (work.isEmpty()) return analysis;
    Reference(analysis).run(work);
    return analysis;
}
