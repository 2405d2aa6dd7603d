#pragma once

// How sure the placements of an assembly are.
#include "tiles/Assignment.h"

#include <QByteArray>
#include <QHash>

#include <cstdint>
#include <vector>

namespace tessera {

// Mean level difference per feature value.
double levelsOf(std::int64_t distance);

// 1 for a good fit, falling to 0 for no fit at all.
double fitOf(double levels);

// Plain slices (open sea) vary little across their feature cells: they fit any reference that has
// sea, so only the others tell whether the reference shows this map at all.
bool isPlain(const Feature& feature);

// The confidence of each placement of one matching: its fit in absolute terms, and its margin to
// the slice's best cell that looks different from the assigned one (more than `sameLevels` apart).
// Moving the slice there would move that cell's slice to the assigned cell, so what that costs
// counts too; exchanging two slices that look alike is no other answer.
class PlacementConfidence {
public:
    PlacementConfidence(const std::vector<const Feature*>& slices, const std::vector<const Feature*>& cells,
                        const std::vector<int>& match, double sameLevels);

    // 0 … 1 for slice `slice` in its matched cell; `candidates` are its nearest cells.
    double of(int slice, const std::vector<Candidate>& candidates);

private:
    bool differs(const Feature& a, const Feature& b) const;
    std::int64_t moveCost(const Feature& slice, int cost, int cell, const Feature& assigned) const;
    std::int64_t bestDifferent(const Feature& slice, const Feature& assigned);

    const std::vector<const Feature*>& slices_;
    const std::vector<const Feature*>& cells_;
    const std::vector<int>& match_;
    std::vector<int> owners_;
    int sameDistance_;
    QHash<QByteArray, std::int64_t> memo_;
};

}  // namespace tessera
