#pragma once

// How sure the placements of an assembly are.
#include "assembly/Assignment.h"

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

// How a placement fits: `fit` in absolute terms (1 good … 0 none), and `margin`, the relative
// margin to the best other answer (at most 1, which is also given when there is none).
struct PlacementScore {
    double fit = 1;
    double margin = 1;
};

// The placement's confidence, 0 … 1; `overall` caps every placement of a map.
double confidenceOf(const PlacementScore& score, double overall);

// The cap for a whole map from the margins of its slices that are not plain: a reference of another
// map leaves most of them without a clear best cell.
double overallConfidence(std::vector<double> margins);

// Scores the placements of one matching. The other answers for a slice are its nearest cells but
// its own: moving it there moves that cell's slice to its cell, so what that costs counts too.
// Exchanging two slices that look alike is no other answer, nor a free cell that looks like the
// assigned one (closer than `sameLevels`).
class PlacementConfidence {
public:
    // `colours` are the slices' plain colours (see averageFeature).
    PlacementConfidence(const std::vector<const Feature*>& slices, const std::vector<const Feature*>& colours,
                        const std::vector<const Feature*>& cells, const std::vector<int>& match, double sameLevels);

    // Slice `slice` in its matched cell; `candidates` are its nearest cells.
    PlacementScore score(int slice, const std::vector<Candidate>& candidates);

private:
    std::int64_t moveCost(int slice, int cost, int cell, const Feature& assigned) const;
    std::int64_t bestOther(int slice, int cell);

    const std::vector<const Feature*>& slices_;
    const std::vector<const Feature*>& colours_;
    const std::vector<const Feature*>& cells_;
    const std::vector<int>& match_;
    std::vector<int> owners_;
    int sameDistance_;
    QHash<QByteArray, std::int64_t> memo_;
};

}  // namespace tessera
