#pragma once

// The shapes of a map's slices and the grid they form.
#include "assembly/AutoAssembly.h"
#include "files/Failure.h"

#include <QSize>
#include <QString>
#include <QStringList>

#include <vector>

namespace tessera {

// Slices are W × H, except a narrower last column (w' × H), a lower last row (W × h') and their
// corner (w' × h').
enum SliceShape { FullSlice = 0, NarrowSlice = 1, LowSlice = 2, CornerSlice = 3 };

struct SliceShapes {
    QSize full;           // W × H
    int narrowWidth = 0;  // w', 0 when every slice is W wide
    int lowHeight = 0;    // h', 0 when every slice is H high
    int counts[4] = {0, 0, 0, 0};
    Failure failure;  // why the sizes cannot form one map (SliceSizesDiffer), or none

    SliceShape shapeOf(QSize size) const
    {
        return static_cast<SliceShape>((narrowWidth > 0 && size.width() == narrowWidth ? NarrowSlice : 0)
                                       | (lowHeight > 0 && size.height() == lowHeight ? LowSlice : 0));
    }
    // The shape of cell (row, column) of `grid`, both from 1.
    SliceShape shapeOf(AssemblyGrid grid, int row, int column) const
    {
        return static_cast<SliceShape>((narrowWidth > 0 && column == grid.columns ? NarrowSlice : 0)
                                       | (lowHeight > 0 && row == grid.rows ? LowSlice : 0));
    }
    int lastWidth() const { return narrowWidth > 0 ? narrowWidth : full.width(); }
    int lastHeight() const { return lowHeight > 0 ? lowHeight : full.height(); }
};

// Sorts the slices by size; refuses sizes that cannot be cut from one map, naming two of them.
SliceShapes classifySlices(const std::vector<QSize>& sizes, const QStringList& paths);

// The grid that best explains the slice count (a few may be missing or extra), the counts of the
// narrow slices and the reference's aspect ratio.
AssemblyGrid guessGrid(const SliceShapes& shapes, QSize reference);

}  // namespace tessera
