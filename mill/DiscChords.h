#pragma once

#include <cstddef>
#include <vector>

// The cutter's disc as the raster operations search it: the offsets (dx, dy) with
// |dx| ≤ reach, |dy| ≤ reach and dx² + dy², computed as a double, not above radius². For a
// fixed dy the offsets that pass form one run dx = −h .. h, since dx² + dy² grows with |dx|, so
// the disc is one horizontal chord per row.
class DiscChords {
public:
    // reach must not be negative.
    DiscChords(double radius, int reach);

    int reach() const { return m_reach; }
    // The largest dx of row dy (−reach ≤ dy ≤ reach), or −1 when no offset of that row passes.
    int halfWidth(int dy) const { return m_halfWidths[std::size_t(dy + m_reach)]; }

private:
    int m_reach = 0;
    std::vector<int> m_halfWidths;
};

// One widening of a row's running maximum from half-width `from` to half-width `to`: either
// 0 to 1, or from ≥ 1 to to ≤ 2 × from, where the window of half-width `to` around x is the
// union of the two overlapping windows of half-width `from` around x − (to − from) and
// x + (to − from).
struct ChordStep {
    int from = 0;
    int to = 0;
};

// The disc's chords grouped by half-width, narrowest first. `steps` widen the previous group's
// running maximum (the row itself before the first group) to this group's half-width; `rows`
// lists the dy ≥ 0 whose chord has that half-width, each standing for dy and −dy (the disc is
// symmetric).
struct ChordGroup {
    int halfWidth = 0;
    std::vector<ChordStep> steps;
    std::vector<int> rows;
};

// The plan for sweeping `disc`: its non-empty chords grouped as above, each row dy ≥ 0 once.
std::vector<ChordGroup> chordGroups(const DiscChords& disc);
