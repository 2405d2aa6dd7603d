#pragma once

// Where the map lies in its reference picture, and the reference's cells there: a reference may
// have a frame, be cut at a side, be scaled a little differently across and down, or be brighter,
// darker or of another contrast than the slices.
#include "assembly/AssemblyGridGuess.h"
#include "assembly/Assignment.h"
#include "assembly/SliceFeatures.h"

#include <QRectF>

#include <vector>

namespace tessera {

class Progress;

// The features of every cell of a grid, row by row, as the reference shows them.
struct ReferenceCells {
    std::vector<Feature> features;
    std::vector<Feature> masks;  // 0xFF where the reference shows the feature cell
    std::vector<int> shown;      // bytes shown per cell

    // The cells of `indices` (row-major) to match against.
    MatchCells select(const std::vector<int>& indices) const;
};

// The cells of `grid` with the whole map lying on `frame` (in the reference's full pixels; it may
// reach beyond the picture). Empty when cancelled.
ReferenceCells referenceCells(const ReducedPicture& reference, const QRectF& frame, AssemblyGrid grid,
                              const SliceShapes& shapes, Progress& progress);

// A slice placed in a cell (row-major index) by a first matching.
struct PlacedSample {
    const Feature* slice;
    int cell;
};

// The frame near `start` on which the placed slices fit their cells best: a search of the four
// edges, coarse to fine. Returns `start` when no move improves the fit.
QRectF registerFrame(const ReducedPicture& reference, const QRectF& start, AssemblyGrid grid, const SliceShapes& shapes,
                     const std::vector<PlacedSample>& samples);

// The frame near `start` (each edge within a few percent) on which `samples` find cells that fit
// them best, whatever their matching: a search over both edges of each axis at once, coarse to fine.
// Stops early, with a frame of no meaning, when `progress` is cancelled.
QRectF searchFrame(const ReducedPicture& reference, const QRectF& start, AssemblyGrid grid, const SliceShapes& shapes,
                   const std::vector<const Feature*>& samples, const Progress& progress);

// Maps the levels of the cells' features, channel by channel, onto those of the slices (their
// quantiles): a reference brighter, darker, of another contrast or gamma.
void matchLevels(ReferenceCells& cells, const std::vector<const Feature*>& slices);

}  // namespace tessera
