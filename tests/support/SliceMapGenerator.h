#pragma once

// Generated maps for the assembly tests and benchmarks: a procedural landscape, evaluated pixel by
// pixel from its global coordinates, cut into JPEG slices with shuffled random names, and a
// reference picture of the whole landscape scaled down and recompressed.
#include <QSize>
#include <QString>
#include <QStringList>

#include <vector>

namespace tessera {

struct AssemblyResult;

struct SliceMapOptions {
    int rows = 4;
    int columns = 4;
    QSize slice{400, 300};
    int lastColumnWidth = 0;  // 0: as wide as the others
    int lastRowHeight = 0;    // 0: as high as the others
    int referenceScale = 12;  // the reference is the landscape area-averaged to 1/referenceScale
    quint32 seed = 1;
    int sliceQuality = 90;
    int referenceQuality = 75;
};

struct GeneratedSlice {
    QString path;  // absolute
    int row = 0;     // from 1
    int column = 0;  // from 1
};

// A generated set: `folder/slices/*.jpg`, `folder/reference.jpg` and `folder/expected.txt` (where
// every slice belongs).
struct GeneratedMap {
    QString folder;
    QString sliceFolder;
    QString referencePath;
    int rows = 0;
    int columns = 0;
    std::vector<GeneratedSlice> slices;
    bool ok() const { return !slices.empty(); }
};

// Writes the set into `folder` (created; it should be empty). Slow for large maps: the work is
// spread over every core.
GeneratedMap generateSliceMap(const QString& folder, const SliceMapOptions& options);

// The set written before into `folder`, or an empty one when there is none.
GeneratedMap loadSliceMap(const QString& folder);

// How many placements of `result` are right: the slice expected in that cell, or one whose decoded
// pixels differ from it by a mean absolute difference below 3 levels.
int rightPlacements(const GeneratedMap& map, const AssemblyResult& result);

// Mean absolute difference of the decoded pixels of two pictures of one size (255 when they
// cannot be compared).
double meanAbsoluteDifference(const QString& a, const QString& b);

}  // namespace tessera
