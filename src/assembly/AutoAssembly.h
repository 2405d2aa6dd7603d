#pragma once

// Assembling a whole map from its reference picture: every slice file of a folder goes to the cell
// of the map whose part of the reference it matches best, each slice to one cell, each cell at
// most one slice.
#include "files/Failure.h"
#include "model/TileGrid.h"

#include <QRectF>
#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace tessera {

class Progress;

// Placements whose confidence is below this are doubtful: shown first and marked on the canvas.
inline constexpr double kDoubtfulConfidence = 0.5;

struct AssemblyGrid {
    int rows = 0;
    int columns = 0;
    bool valid() const { return rows >= 1 && columns >= 1 && rows <= kMaxMapSize && columns <= kMaxMapSize; }
};

// The slices and the reference, read once; the grid can then be chosen and matched (again).
// Holds the slices' small features and the reference's file, which is decoded reduced for each
// grid: never full pictures.
class AssemblyInput {
public:
    AssemblyInput();
    ~AssemblyInput();
    AssemblyInput(AssemblyInput&&) noexcept;
    AssemblyInput& operator=(AssemblyInput&&) noexcept;

    // None when the inputs can be assembled; otherwise why not, e.g. the reference is no picture,
    // the folder holds no slice, slices of mixed sizes.
    const Failure& failure() const;
    bool ok() const { return failure().ok(); }

    QSize referenceSize() const;  // in pixels, as stored in the file
    QSize sliceSize() const;      // the full slice
    int sliceCount() const;
    QStringList slicePaths() const;  // absolute, sorted
    // The grid guessed from the slice sizes, their count and the reference's aspect ratio.
    AssemblyGrid proposedGrid() const;

    struct Data;
    const Data& data() const { return *data_; }
    Data& data() { return *data_; }

private:
    std::unique_ptr<Data> data_;
};

// Reads the reference picture (JPEG, PNG or BMP) and decodes every slice (JPEG, PNG or BMP) of the
// folder (not its subfolders), scaled down, on every core (twice as many threads: half of them wait on the disk). Drives `progress` over the slices; stops early when
// it is cancelled (the result then has a failure).
AssemblyInput readAssemblyInput(const QString& referencePath, const QString& sliceFolder, Progress& progress);

// Why a placement is doubtful.
enum class DoubtKind {
    None,
    DiffersFromReference,  // the slice differs visibly from the reference at its cell
    LikeAnotherCell,       // the reference tells the cell from another one (otherRow, otherColumn) no better than its noise
    OutsideReference,      // the reference shows less than half of the cell
};

struct AssemblyPlacement {
    int row = 0;     // from 1
    int column = 0;  // from 1
    QString path;    // the slice, absolute
    // 0 … 1, in steps of the map's noise: how well the slice fits its cell and how much worse the
    // best other answer would fit; below kDoubtfulConfidence exactly when doubtful.
    double confidence = 0;
    DoubtKind doubt = DoubtKind::None;
    int otherRow = 0;  // with LikeAnotherCell: the cell it cannot be told from
    int otherColumn = 0;
    bool doubtful() const { return doubt != DoubtKind::None; }
};

struct AssemblyResult {
    Failure failure;  // none on success (also set when cancelled)
    bool ok() const { return failure.ok(); }
    AssemblyGrid grid;
    std::vector<AssemblyPlacement> placements;  // doubtful ones first, least confident first
    QStringList unplaced;                       // slices that belong to no cell
    int doubtfulCount = 0;
    // Where the map lies in the reference picture, in its pixels (beyond it where it is cut).
    QRectF frame;

    // The cells of a mapSize × mapSize map (mapSize >= rows and columns) holding the placements,
    // every other cell empty.
    CellTexts cells(int mapSize) const;
};

// Matches the slices of `input` to the cells of `grid`. Thread-safe for distinct inputs; drives
// `progress`; a cancelled run ends with a failure and no placements.
AssemblyResult assembleMap(const AssemblyInput& input, AssemblyGrid grid, Progress& progress);

}  // namespace tessera
