#include "tiles/AutoAssembly.h"

#include "gui/Platform.h"
#include "gui/Progress.h"
#include "imaging/ImageCodec.h"
#include "tiles/AssemblyGridGuess.h"
#include "tiles/Assignment.h"
#include "tiles/SliceFeatures.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <cmath>

namespace tessera {

struct AssemblyInput::Data {
    QString failure;
    QSize referenceSize;
    QByteArray reference;  // the file's bytes, decoded reduced for each grid
    QStringList paths;
    std::vector<QSize> sizes;
    std::vector<Feature> features;
    SliceShapes shapes;
    AssemblyGrid proposed;
};

namespace {

// Nearest cells kept per slice for the matching.
constexpr int kCandidates = 16;
// Features closer than this (mean levels per channel) look the same.
constexpr double kSameLevels = 3.0;
// Mean level difference of a good fit, and of no fit at all.
constexpr double kGoodLevels = 5.0;
constexpr double kBadLevels = 12.0;
// A slice whose feature cells vary less than this (mean levels) is plain, like open sea.
constexpr double kPlainLevels = 2.0;
// The relative margin to the best different-looking cell that makes a placement sure.
constexpr double kSureMargin = 0.3;

constexpr qint64 kMaxReferenceBytes = 1024LL * 1024 * 1024;

const QString kCancelled = QStringLiteral("已取消自动拼图");

bool isSliceName(const QString& name)
{
    const QString suffix = QFileInfo(name).suffix().toLower();
    return suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg");
}

double levelsOf(std::int64_t distance)
{
    return static_cast<double>(distance) / kFeatureBytes;
}

double fitOf(double levels)
{
    return std::clamp((kBadLevels - levels) / (kBadLevels - kGoodLevels), 0.0, 1.0);
}

// Plain slices (open sea) fit any reference that has sea; only the others tell whether the
// reference shows this map at all.
bool isPlain(const Feature& f)
{
    double mean[3] = {0, 0, 0};
    for (int i = 0; i < kFeatureBytes; ++i)
        mean[i % 3] += f.bytes[i];
    for (double& m : mean)
        m /= kFeatureColumns * kFeatureRows;
    double deviation = 0;
    for (int i = 0; i < kFeatureBytes; ++i)
        deviation += std::abs(f.bytes[i] - mean[i % 3]);
    return deviation / kFeatureBytes < kPlainLevels;
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

const QString& AssemblyInput::failure() const { return data_->failure; }
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
        d.failure = QStringLiteral("无法读取原大地图：%1").arg(QDir::toNativeSeparators(referencePath));
        return input;
    }
    d.reference = reference.data;

    const QDir folder(sliceFolder);
    if (sliceFolder.isEmpty() || !folder.exists()) {
        d.failure = QStringLiteral("找不到切片文件夹：%1").arg(QDir::toNativeSeparators(sliceFolder));
        return input;
    }
    for (const QFileInfo& info : folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name))
        if (isSliceName(info.fileName()))
            d.paths << info.absoluteFilePath();
    if (d.paths.isEmpty()) {
        d.failure = QStringLiteral("文件夹中没有 JPEG 切片：%1").arg(QDir::toNativeSeparators(sliceFolder));
        return input;
    }

    const int n = static_cast<int>(d.paths.size());
    d.sizes.assign(static_cast<std::size_t>(n), QSize());
    d.features.resize(static_cast<std::size_t>(n));
    progress.start(n);
    const bool finished = forEachOnAllCores(n, progress, [&d](int i) {
        const auto k = static_cast<std::size_t>(i);
        const ReadResult file = readRegularFile(d.paths[i], kMaxTileFileBytes);
        QSize size;
        if (file.ok && sliceFeature(file.data, size, d.features[k]))
            d.sizes[k] = size;
    });
    if (!finished) {
        d.failure = kCancelled;
        return input;
    }
    for (int i = 0; i < n; ++i)
        if (!d.sizes[static_cast<std::size_t>(i)].isValid()) {
            d.failure = QStringLiteral("无法读取切片：%1").arg(QDir::toNativeSeparators(d.paths[i]));
            return input;
        }
    d.shapes = classifySlices(d.sizes, d.paths);
    if (!d.shapes.failure.isEmpty()) {
        d.failure = d.shapes.failure;
        return input;
    }
    d.proposed = guessGrid(d.shapes, d.referenceSize);
    return input;
}

namespace {

// How sure a placement is: its fit in absolute terms, and its margin to the slice's best cell that
// looks different from the assigned one. Moving there would also move that cell's slice to the
// assigned cell, so what it costs that slice counts too.
class Confidence {
public:
    Confidence(const std::vector<const Feature*>& slices, const std::vector<const Feature*>& cells,
               const std::vector<int>& match)
        : slices_(slices), cells_(cells), owners_(cells.size(), -1)
    {
        for (std::size_t s = 0; s < match.size(); ++s)
            if (match[s] >= 0)
                owners_[static_cast<std::size_t>(match[s])] = static_cast<int>(s);
    }

    double of(int slice, int cell, const std::vector<Candidate>& candidates)
    {
        const Feature& own = *slices_[static_cast<std::size_t>(slice)];
        const Feature& assigned = *cells_[static_cast<std::size_t>(cell)];
        const int cost = featureDistance(own, assigned);
        std::int64_t alternative = -1;
        for (const Candidate& c : candidates) {
            const Feature& other = *cells_[static_cast<std::size_t>(c.cell)];
            if (c.cell == cell || !differs(assigned, other))
                continue;
            const std::int64_t moved = moveCost(own, c.cost, c.cell, assigned);
            if (moved >= 0 && (alternative < 0 || moved < alternative))
                alternative = moved;
        }
        if (alternative < 0)
            alternative = bestDifferent(own, assigned);
        const double fit = fitOf(levelsOf(cost));
        if (alternative < 0)
            return fit;  // every cell looks like this one
        const double margin = static_cast<double>(alternative - cost) / static_cast<double>(std::max<std::int64_t>(alternative, 1));
        return std::min(fit, std::clamp(margin / kSureMargin, 0.0, 1.0));
    }

private:
    static bool differs(const Feature& a, const Feature& b) { return levelsOf(featureDistance(a, b)) > kSameLevels; }

    // The cost of moving the slice to `cell`, with the cell's own slice moved to `assigned`.
    // Negative when that slice looks like this one: exchanging the two is no other answer.
    std::int64_t moveCost(const Feature& slice, int cost, int cell, const Feature& assigned) const
    {
        std::int64_t moved = cost;
        const int owner = owners_[static_cast<std::size_t>(cell)];
        if (owner >= 0) {
            const Feature& displaced = *slices_[static_cast<std::size_t>(owner)];
            if (!differs(slice, displaced))
                return -1;
            moved += featureDistance(displaced, assigned) - featureDistance(displaced, *cells_[static_cast<std::size_t>(cell)]);
        }
        return moved;
    }

    // Over every cell. Slices that repeat (open sea) sit in cells that repeat: each pair of
    // features is looked up once.
    std::int64_t bestDifferent(const Feature& slice, const Feature& assigned)
    {
        const QByteArray key = QByteArray(reinterpret_cast<const char*>(slice.bytes), kFeatureBytes)
            + QByteArray(reinterpret_cast<const char*>(assigned.bytes), kFeatureBytes);
        const auto known = memo_.constFind(key);
        if (known != memo_.constEnd())
            return known.value();
        std::int64_t best = -1;
        for (std::size_t j = 0; j < cells_.size(); ++j)
            if (differs(assigned, *cells_[j])) {
                const std::int64_t moved = moveCost(slice, featureDistance(slice, *cells_[j]), static_cast<int>(j), assigned);
                if (moved >= 0 && (best < 0 || moved < best))
                    best = moved;
            }
        memo_.insert(key, best);
        return best;
    }

    const std::vector<const Feature*>& slices_;
    const std::vector<const Feature*>& cells_;
    std::vector<int> owners_;
    QHash<QByteArray, std::int64_t> memo_;
};

}  // namespace

AssemblyResult assembleMap(const AssemblyInput& input, AssemblyGrid grid, Progress& progress)
{
    AssemblyResult result;
    result.grid = grid;
    if (!input.ok()) {
        result.failure = input.failure();
        return result;
    }
    if (!grid.valid()) {
        result.failure = QStringLiteral("行数和列数须在 1 到 %1 之间").arg(kMaxMapSize);
        return result;
    }
    const AssemblyInput::Data& d = input.data();
    const SliceShapes& shapes = d.shapes;
    const double W = shapes.full.width(), H = shapes.full.height();
    const double totalW = (grid.columns - 1) * W + shapes.lastWidth();
    const double totalH = (grid.rows - 1) * H + shapes.lastHeight();
    // Decoded at least two pixels per feature cell, where the reference has them.
    const QSize minimum(static_cast<int>(std::ceil(2 * kFeatureColumns * totalW / W)),
                        static_cast<int>(std::ceil(2 * kFeatureRows * totalH / H)));
    const ReducedPicture reference = decodeReduced(d.reference, minimum, kMaxReferencePixels);
    if (reference.isNull()) {
        result.failure = QStringLiteral("无法读取原大地图");
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
        result.failure = kCancelled;
        return result;
    }

    ShapeGroup groups[4];
    for (std::size_t i = 0; i < d.sizes.size(); ++i)
        groups[shapes.shapeOf(d.sizes[i])].slices.push_back(static_cast<int>(i));
    for (int r = 1; r <= grid.rows; ++r)
        for (int c = 1; c <= grid.columns; ++c)
            groups[shapes.shapeOf(grid, r, c)].cells.push_back((r - 1) * grid.columns + (c - 1));

    std::vector<double> distinctFits;
    for (const ShapeGroup& group : groups) {
        std::vector<const Feature*> slices, cells;
        for (int s : group.slices)
            slices.push_back(&d.features[static_cast<std::size_t>(s)]);
        for (int c : group.cells)
            cells.push_back(&cellFeatures[static_cast<std::size_t>(c)]);
        if (cells.empty()) {
            for (int s : group.slices)
                result.unplaced << d.paths[s];
            progress.advance(static_cast<std::int64_t>(slices.size()));
            continue;
        }
        const std::vector<std::vector<Candidate>> candidates = nearestCells(slices, cells, kCandidates, progress);
        if (candidates.size() != slices.size() || progress.cancelled()) {
            result = AssemblyResult{kCancelled, grid, {}, {}, 0};
            return result;
        }
        // Well-fitting slices first: a slice that belongs nowhere is the one left over.
        std::vector<int> order(slices.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = static_cast<int>(i);
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            return candidates[static_cast<std::size_t>(a)].front().cost < candidates[static_cast<std::size_t>(b)].front().cost;
        });
        const std::vector<int> match = matchSlices(slices, cells, candidates, order);
        Confidence confidence(slices, cells, match);
        for (std::size_t i = 0; i < slices.size(); ++i) {
            const int s = group.slices[i];
            if (match[i] < 0) {
                result.unplaced << d.paths[s];
                continue;
            }
            const int cell = group.cells[static_cast<std::size_t>(match[i])];
            AssemblyPlacement placement;
            placement.row = cell / grid.columns + 1;
            placement.column = cell % grid.columns + 1;
            placement.path = d.paths[s];
            placement.confidence = confidence.of(static_cast<int>(i), match[i], candidates[i]);
            result.placements.push_back(placement);
            if (!isPlain(*slices[i]))
                distinctFits.push_back(levelsOf(featureDistance(*slices[i], *cells[static_cast<std::size_t>(match[i])])));
        }
    }
    // A reference of another map: most slices that are not plain fit badly, and then none is sure.
    if (!distinctFits.empty()) {
        std::nth_element(distinctFits.begin(), distinctFits.begin() + distinctFits.size() / 2, distinctFits.end());
        const double overall = fitOf(distinctFits[distinctFits.size() / 2]);
        for (AssemblyPlacement& p : result.placements)
            p.confidence = std::min(p.confidence, overall);
    }
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
