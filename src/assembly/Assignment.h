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

// The `k` cells nearest to every slice (fewer when there are fewer cells), nearest first; ties are
// broken differently for every slice, so that identical slices get different identical cells.
// Runs on every core, advancing `progress` by one per slice. Empty when cancelled.
std::vector<std::vector<Candidate>> nearestCells(const std::vector<const Feature*>& slices,
                                                 const std::vector<const Feature*>& cells, int k, Progress& progress);

// A minimum-cost matching of slices to cells: slices are added in the given order (best fitting
// first), each through a shortest augmenting path over the candidate edges; a slice without one
// gets edges to every free cell. Once the cells are all taken, the remaining slices stay
// unmatched. Returns each slice's cell, or -1.
std::vector<int> matchSlices(const std::vector<const Feature*>& slices, const std::vector<const Feature*>& cells,
                             const std::vector<std::vector<Candidate>>& candidates, const std::vector<int>& order);

}  // namespace tessera
