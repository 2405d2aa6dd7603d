#include "assembly/AutoAssembly.h"

#include "files/FileErrors.h"
#include "files/Files.h"
#include "files/HelperThreads.h"
#include "files/Progress.h"
#include "imaging/ImageCodec.h"
#include "assembly/AssemblyConfidence.h"
#include "assembly/AssemblyGridGuess.h"
#include "assembly/Assignment.h"
#include "assembly/SliceFeatures.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace tessera {

struct AssemblyInput::Data {
    Failure failure;
    QSize referenceSize;
    QByteArray reference;  // the file's bytes, decoded reduced for each grid
    QStringList paths;
    std::vector<QSize> sizes;
    std::vector<Feature> features;
    std::vector<Feature> colours;  // the slices' plain colours, to tell alike slices
    SliceShapes shapes;
    AssemblyGrid proposed;
};

namespace {

// Nearest cells kept per slice for the matching.
constexpr int kCandidates = 16;
// Free cells look like assigned ones when their features are closer than this many times the
// typical fit of the map's slices (at least kSameLevels).
constexpr double kSameFits = 1.5;
constexpr double kSameLevels = 1.0;

constexpr qint64 kMaxReferenceBytes = 1024LL * 1024 * 1024;

Failure assemblyFailure(FailureKind kind, const QString& file = {}, const QString& detail = {}, QList<qint64> figures = {})
{
    Failure failure(kind, file.isEmpty() ? QStringList() : QStringList{file}, detail, std::move(figures));
    failure.work = FailedWork::AutoAssembly;
    return failure;
}

bool isSliceName(const QString& name)
{
    const QString suffix = QFileInfo(name).suffix().toLower();
    return suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg");
}

// One kind of slice (full, narrow, low, corner) and the cells of that shape.
struct ShapeGroup {
    std::vector<int> slices;  // indices into the input
    std::vector<int> cells;   // row-major indices into the grid
};

}  // namespace

AssemblyInput::AssemblyInput() : data_(std::make_unique<Data>()) {}
AssemblyInput::~AssemblyInput() = default;
AssemblyInput::AssemblyInput(AssemblyInput&&) noexcept = default;
AssemblyInput& AssemblyInput::operator=(AssemblyInput&&) noexcept = default;

const Failure& AssemblyInput::failure() const { return data_->failure; }
QSize AssemblyInput::referenceSize() const { return data_->referenceSize; }
QSize AssemblyInput::sliceSize() const { return data_->shapes.full; }
int AssemblyInput::sliceCount() const { return static_cast<int>(data_->paths.size()); }
QStringList AssemblyInput::slicePaths() const { return data_->paths; }
AssemblyGrid AssemblyInput::proposedGrid() const { return data_->proposed; }

AssemblyInput readAssemblyInput(const QString& referencePath, const QString& sliceFolder, Progress& progress)
{
    AssemblyInput input;
    AssemblyInput::Data& d = input.data();
    const ReadResult reference = readRegularFile(referencePath, kMaxReferenceBytes);
    if (reference.ok)
        d.referenceSize = pictureSize(reference.data, kMaxReferencePixels);
    if (!d.referenceSize.isValid()) {
        d.failure = assemblyFailure(FailureKind::ReferenceUnreadable, referencePath);
        return input;
    }
    d.reference = reference.data;

    const QDir folder(sliceFolder);
    if (sliceFolder.isEmpty() || !folder.exists()) {
        d.failure = assemblyFailure(FailureKind::SliceFolderMissing, sliceFolder);
        return input;
    }
    if (const int error = folderListingError(sliceFolder)) {
        d.failure = assemblyFailure(FailureKind::SliceFolderUnreadable, sliceFolder, fileErrorText(error, FileAccess::Read));
        return input;
    }
    // The reference may lie among the slices: it is none of them.
    const QString referenceFile = QFileInfo(referencePath).canonicalFilePath();
    for (const QFileInfo& info : folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name))
        if (isSliceName(info.fileName()) && info.canonicalFilePath() != referenceFile)
            d.paths << info.absoluteFilePath();
    if (d.paths.isEmpty()) {
        d.failure = assemblyFailure(FailureKind::NoSlices, sliceFolder);
        return input;
    }

    const int n = static_cast<int>(d.paths.size());
    d.sizes.assign(static_cast<std::size_t>(n), QSize());
    d.features.resize(static_cast<std::size_t>(n));
    d.colours.resize(static_cast<std::size_t>(n));
    progress.start(n);
    const bool finished = forEachOnAllCores(n, progress, [&d](int i) {
        const auto k = static_cast<std::size_t>(i);
        const ReadResult file = readRegularFile(d.paths[i], kMaxTileFileBytes);
        QSize size;
        if (file.ok && sliceFeature(file.data, size, d.features[k], &d.colours[k]))
            d.sizes[k] = size;
    });
    if (!finished) {
        d.failure = assemblyFailure(FailureKind::Cancelled);
        return input;
    }
    for (int i = 0; i < n; ++i)
        if (!d.sizes[static_cast<std::size_t>(i)].isValid()) {
            d.failure = assemblyFailure(FailureKind::SliceUnreadable, d.paths[i]);
            return input;
        }
    d.shapes = classifySlices(d.sizes, d.paths);
    if (!d.shapes.failure.ok()) {
        d.failure = d.shapes.failure;
        return input;
    }
    d.proposed = guessGrid(d.shapes, d.referenceSize);
    return input;
}

AssemblyResult assembleMap(const AssemblyInput& input, AssemblyGrid grid, Progress& progress)
{
    AssemblyResult result;
    result.grid = grid;
    if (!input.ok()) {
        result.failure = input.failure();
        return result;
    }
    if (!grid.valid()) {
        result.failure = assemblyFailure(FailureKind::GridOutOfRange, {}, {}, {kMaxMapSize});
        return result;
    }
    const AssemblyInput::Data& d = input.data();
    // A grid far larger than the folder would only cost memory and time: a typing slip.
    if (static_cast<qint64>(grid.rows) * grid.columns > 4LL * static_cast<qint64>(d.paths.size()) + 64) {
        result.failure = assemblyFailure(FailureKind::GridTooLarge, {}, {}, {grid.rows, grid.columns, d.paths.size()});
        return result;
    }
    const SliceShapes& shapes = d.shapes;
    const double W = shapes.full.width(), H = shapes.full.height();
    const double totalW = (grid.columns - 1) * W + shapes.lastWidth();
    const double totalH = (grid.rows - 1) * H + shapes.lastHeight();
    // Decoded at least two pixels per feature cell, where the reference has them.
    const QSize minimum(static_cast<int>(std::ceil(2 * kFeatureColumns * totalW / W)),
                        static_cast<int>(std::ceil(2 * kFeatureRows * totalH / H)));
    const ReducedPicture reference = decodeReduced(d.reference, minimum, kMaxReferencePixels);
    if (reference.isNull()) {
        result.failure = assemblyFailure(FailureKind::ReferenceUnreadable);
        return result;
    }
    const double sx = reference.full.width() / totalW, sy = reference.full.height() / totalH;

    const int cellCount = grid.rows * grid.columns;
    progress.start(grid.rows + static_cast<std::int64_t>(d.paths.size()));
    std::vector<Feature> cellFeatures(static_cast<std::size_t>(cellCount));
    const bool cellsDone = forEachOnAllCores(grid.rows, progress, [&](int r) {
        for (int c = 0; c < grid.columns; ++c) {
            const double w = c == grid.columns - 1 ? shapes.lastWidth() : W;
            const double h = r == grid.rows - 1 ? shapes.lastHeight() : H;
            averageFeature(reference, QRectF(c * W * sx, r * H * sy, w * sx, h * sy),
                           cellFeatures[static_cast<std::size_t>(r) * grid.columns + c]);
        }
    });
    if (!cellsDone) {
        result.failure = assemblyFailure(FailureKind::Cancelled);
        return result;
    }

    ShapeGroup groups[4];
    for (std::size_t i = 0; i < d.sizes.size(); ++i)
        groups[shapes.shapeOf(d.sizes[i])].slices.push_back(static_cast<int>(i));
    for (int r = 1; r <= grid.rows; ++r)
        for (int c = 1; c <= grid.columns; ++c)
            groups[shapes.shapeOf(grid, r, c)].cells.push_back((r - 1) * grid.columns + (c - 1));

    struct Matched {
        const ShapeGroup* group;
        std::vector<const Feature*> slices, colours, cells;
        std::vector<std::vector<Candidate>> candidates;
        std::vector<int> match;
    };
    std::vector<Matched> matched;
    std::vector<double> distinctFits;
    for (const ShapeGroup& group : groups) {
        Matched m{&group, {}, {}, {}, {}, {}};
        for (int s : group.slices) {
            m.slices.push_back(&d.features[static_cast<std::size_t>(s)]);
            m.colours.push_back(&d.colours[static_cast<std::size_t>(s)]);
        }
        for (int c : group.cells)
            m.cells.push_back(&cellFeatures[static_cast<std::size_t>(c)]);
        if (m.cells.empty()) {
            for (int s : group.slices)
                result.unplaced << d.paths[s];
            progress.advance(static_cast<std::int64_t>(m.slices.size()));
            continue;
        }
        m.candidates = nearestCells(m.slices, m.cells, kCandidates, progress);
        if (m.candidates.size() != m.slices.size() || progress.cancelled()) {
            result = AssemblyResult{assemblyFailure(FailureKind::Cancelled), grid, {}, {}, 0};
            return result;
        }
        // Well-fitting slices first: a slice that belongs nowhere is the one left over.
        std::vector<int> order(m.slices.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = static_cast<int>(i);
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            return m.candidates[static_cast<std::size_t>(a)].front().cost < m.candidates[static_cast<std::size_t>(b)].front().cost;
        });
        m.match = matchSlices(m.slices, m.cells, m.candidates, order);
        for (std::size_t i = 0; i < m.slices.size(); ++i)
            if (m.match[i] >= 0 && !isPlain(*m.slices[i]))
                distinctFits.push_back(levelsOf(featureDistance(*m.slices[i], *m.cells[static_cast<std::size_t>(m.match[i])])));
        matched.push_back(std::move(m));
    }

    // The typical fit of the slices that are not plain: how far the reference's blur and
    // recompression move features.
    double typical = 0;
    if (!distinctFits.empty()) {
        std::nth_element(distinctFits.begin(), distinctFits.begin() + static_cast<std::ptrdiff_t>(distinctFits.size() / 2),
                         distinctFits.end());
        typical = distinctFits[distinctFits.size() / 2];
    }
    std::vector<PlacementScore> scores;
    std::vector<double> distinctMargins;
    for (const Matched& m : matched) {
        PlacementConfidence confidence(m.slices, m.colours, m.cells, m.match, std::max(kSameLevels, kSameFits * typical));
        for (std::size_t i = 0; i < m.slices.size(); ++i) {
            const int s = m.group->slices[i];
            if (m.match[i] < 0) {
                result.unplaced << d.paths[s];
                continue;
            }
            const int cell = m.group->cells[static_cast<std::size_t>(m.match[i])];
            AssemblyPlacement placement;
            placement.row = cell / grid.columns + 1;
            placement.column = cell % grid.columns + 1;
            placement.path = d.paths[s];
            result.placements.push_back(placement);
            scores.push_back(confidence.score(static_cast<int>(i), m.candidates[i]));
            if (!isPlain(*m.slices[i]))
                distinctMargins.push_back(scores.back().margin);
        }
    }
    const double overall = overallConfidence(distinctMargins);
    for (std::size_t i = 0; i < scores.size(); ++i)
        result.placements[i].confidence = confidenceOf(scores[i], overall);
    std::sort(result.placements.begin(), result.placements.end(), [](const AssemblyPlacement& a, const AssemblyPlacement& b) {
        if (a.doubtful() != b.doubtful())
            return a.doubtful();
        if (a.doubtful() && a.confidence != b.confidence)
            return a.confidence < b.confidence;
        return std::pair(a.row, a.column) < std::pair(b.row, b.column);
    });
    result.doubtfulCount = static_cast<int>(
        std::count_if(result.placements.begin(), result.placements.end(), [](const AssemblyPlacement& p) { return p.doubtful(); }));
    result.unplaced.sort();
    return result;
}

CellTexts AssemblyResult::cells(int mapSize) const
{
    CellTexts texts(static_cast<std::size_t>(mapSize) * mapSize);
    for (const AssemblyPlacement& p : placements)
        if (p.row >= 1 && p.column >= 1 && p.row <= mapSize && p.column <= mapSize)
            texts[static_cast<std::size_t>(p.row - 1) * mapSize + (p.column - 1)] = p.path;
    return texts;
}

}  // namespace tessera
