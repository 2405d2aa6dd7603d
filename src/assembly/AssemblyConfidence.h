#pragma once

// How sure the placements of an assembly are, and why a doubtful one is doubtful.
#include "assembly/Assignment.h"
#include "assembly/AutoAssembly.h"

#include <QByteArray>
#include <QHash>
#include <QMutex>

#include <cstdint>
#include <vector>

namespace tessera {

// Mean level difference per feature value.
double levelsOf(std::int64_t distance);

// Plain slices (open sea) vary little across their feature cells: they fit any reference that has
// sea, so only the others tell whether the reference shows this map at all.
bool isPlain(const Feature& feature);

// How a placement fits, in units of the map's noise (the typical fit of its slices): `fit`, the
// slice's distance to its cell, and `separation`, how much more the best other answer costs.
struct PlacementScore {
    double fit = 0;
    double separation = 1e9;  // also when there is no other answer
    int other = -1;           // the cell of the best other answer
    bool unseen = false;      // the reference shows less than half of the cell
};

// A placement's confidence (0 … 1; below kDoubtfulConfidence exactly when doubtful) and its doubt.
struct Confidence {
    double value = 1;
    DoubtKind doubt = DoubtKind::None;
};
// `overall` (0 … 1) caps every placement of a map: a reference of another map.
Confidence confidenceOf(const PlacementScore& score, double overall);

// The cap for a whole map from the separations of its slices that are not plain and the typical
// fit in mean levels: a reference of another map leaves most slices without a clear best cell.
double overallConfidence(std::vector<double> separations, double typicalLevels);

// Scores the placements of one matching. The other answers for a slice are its nearest cells but
// its own: moving it there moves that cell's slice to its cell, so what that costs counts too.
// Exchanging two slices that look alike is no other answer, nor a free cell that looks like the
// assigned one (closer than the noise).
class PlacementConfidence {
public:
    // `colours` are the slices' plain colours (see averageFeature); `noise` the map's typical fit
    // as a distance.
    PlacementConfidence(const std::vector<const Feature*>& slices, const std::vector<const Feature*>& colours,
                        const MatchCells& cells, const std::vector<int>& match, double noise);

    // Slice `slice` in its matched cell; `candidates` are its nearest cells. Thread-safe.
    PlacementScore score(int slice, const std::vector<Candidate>& candidates);

private:
    std::int64_t moveCost(int slice, int cost, int cell, int assigned) const;
    Candidate bestOther(int slice, int cell);

    const std::vector<const Feature*>& slices_;
    const std::vector<const Feature*>& colours_;
    const MatchCells& cells_;
    const std::vector<int>& match_;
    std::vector<int> owners_;
    std::vector<int> ownerFits_;  // the fit of each cell's slice there, 0 when free
    double noise_;
    QMutex memoLock_;
    QHash<QByteArray, Candidate> memo_;
};

}  // namespace tessera
