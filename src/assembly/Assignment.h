#pragma once

// Matching slices to cells by their features: each slice's nearest cells, then a minimum-cost
// one-to-one assignment over those candidates.
#include "assembly/SliceFeatures.h"

#include <cstdint>
#include <vector>

namespace tessera {

class Progress;

struct Candidate {
    int cell = 0;
    int cost = 0;
};

// The cells of the reference to match against: their features, and for each the bytes of its
// features that the reference shows (a cell the reference cuts off shows only a part).
struct MatchCells {
    std::vector<const Feature*> features;
    std::vector<const Feature*> masks;  // 0xFF where shown
    std::vector<int> shown;             // how many bytes are shown

    std::size_t size() const { return features.size(); }
    bool empty() const { return features.empty(); }
    // The robust distance of `slice` to cell `j`, over the bytes shown, scaled to the whole
    // feature; -1 when nothing of the cell is shown.
    int cost(const Feature& slice, std::size_t j) const
    {
        const int n = shown[j];
        if (n == kFeatureBytes)
            return robustDistance(slice, *features[j]);
        if (n == 0)
            return -1;
        return static_cast<int>(static_cast<std::int64_t>(robustDistance(slice, *features[j], *masks[j])) * kFeatureBytes / n);
    }
};

// The `k` cells nearest to every slice by the robust distance, among its 2·k nearest by the plain
// one (fewer when there are fewer cells; a cell nothing of which is shown costs as much as the worst
// fit), nearest first; ties are broken differently for every slice, so that identical slices get
// different identical cells.
// Runs on every core, advancing `progress` by one per slice. Empty when cancelled.
std::vector<std::vector<Candidate>> nearestCells(const std::vector<const Feature*>& slices,
                                                 const MatchCells& cells, int k, Progress& progress);

// A minimum-cost matching of slices to cells: slices are added in the given order (best fitting
// first), each through a shortest augmenting path over the candidate edges; a slice without one
// gets edges to as many of the nearest free cells (found as nearestCells finds its cells). Once the cells are all taken, the remaining slices stay
// unmatched. Returns each slice's cell, or -1.
std::vector<int> matchSlices(const std::vector<const Feature*>& slices, const MatchCells& cells,
                             const std::vector<std::vector<Candidate>>& candidates, const std::vector<int>& order);

}  // namespace tessera
