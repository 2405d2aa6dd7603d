#pragma once

// Generated maps for the assembly tests and benchmarks: a procedural landscape, evaluated pixel by
// pixel from its global coordinates, cut into JPEG slices with shuffled random names, and a
// reference picture of the whole landscape scaled down and recompressed.
#include <QImage>
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
    // What may happen to a reference picture on its way to the user.
    int watermark = 0;      // marks of a line of white text-like glyphs over the reference, 0: none
    double cropRight = 0;   // share of the reference's width cut off its right side
    double cropLeft = 0;    // … off its left side
    double cropTop = 0;     // share of its height cut off its top
    double stretch = 1;     // the reference's width then scaled by this, its height not
    int border = 0;         // pixels of dark frame around the reference
    double brightness = 1;  // the reference's levels multiplied by this
    double contrast = 1;    // … spread around the middle level by this
    double gamma = 1;       // … raised to this power (as shares of white)
    double stretchHeight = 1;  // the reference's height scaled by this after the cut, its width not
    // A painting-like map: no sea, brush strokes and strong grain in every pixel.
    bool painting = false;
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

// The reference as the user may get it: marked, cut, framed, brighter (see SliceMapOptions).
QImage alterReference(QImage image, const SliceMapOptions& options);

// References as users get them, each a named change of a generated map: a watermark, a cut side,
// a frame, brighter levels, a painting at 1/25, strong recompression, 1/40.
struct ReferenceCase {
    const char* name;
    SliceMapOptions options;
};
std::vector<ReferenceCase> referenceCases(int rows, int columns);

// How an assembly of a generated map came out: right placements (see rightPlacements), and the
// wrong and right ones not marked doubtful.
struct AssemblyTally {
    int placements = 0;
    int right = 0;
    int wrongSure = 0;
    int rightSure = 0;
    double rightPct() const { return placements ? 100.0 * right / placements : 0; }
    double rightSurePct() const { return right ? 100.0 * rightSure / right : 100; }
};
AssemblyTally tallyAssembly(const GeneratedMap& map, const AssemblyResult& result);

// How many placements of `result` are right: the slice expected in that cell, or one whose decoded
// pixels differ from it by a mean absolute difference below 3 levels.
int rightPlacements(const GeneratedMap& map, const AssemblyResult& result);

// Mean absolute difference of the decoded pixels of two pictures of one size (255 when they
// cannot be compared).
double meanAbsoluteDifference(const QString& a, const QString& b);

}  // namespace tessera
