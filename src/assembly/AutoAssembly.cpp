#include "assembly/AutoAssembly.h"

#include "files/FileErrors.h"
#include "files/Files.h"
#include "files/HelperThreads.h"
#include "files/Progress.h"
#include "imaging/ImageCodec.h"
#include "assembly/AssemblyConfidence.h"
#include "assembly/AssemblyGridGuess.h"
#include "assembly/Assignment.h"
#include "assembly/ReferenceFrame.h"
#include "assembly/SliceFeatures.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>

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
// The noise of a map's fits is taken as at least this (mean levels): a reference reduced from the
// slices themselves fits almost exactly.
constexpr double kMinimumNoiseLevels = 1.0;
// Placed slices that find the frame, and how often it is looked for again after a new matching.
constexpr std::size_t kSamples = 150;
constexpr int kFrameRounds = 3;

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
    return suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg") || suffix == QLatin1String("png")
        || suffix == QLatin1String("bmp");
}

// One kind of slice (full, narrow, low, corner) and the cells of that shape.
struct ShapeGroup {
    std::vector<int> slices;  // indices into the input
    std::vector<int> cells;   // row-major indices into the grid
};

// The matching of one group.
struct Matched {
    const ShapeGroup* group;
    std::vector<const Feature*> slices, colours;
    MatchCells cells;
    std::vector<std::vector<Candidate>> candidates;
    std::vector<int> match;
};

// Matches each group's slices to its cells of `cells`; false when cancelled.
bool matchGroups(const AssemblyInput::Data& d, const ShapeGroup (&groups)[4], const ReferenceCells& cells,
                 Progress& progress, std::vector<Matched>& matched)
{
    matched.clear();
    for (const ShapeGroup& group : groups) {
        Matched m{&group, {}, {}, cells.select(group.cells), {}, {}};
        for (int s : group.slices) {
            m.slices.push_back(&d.features[static_cast<std::size_t>(s)]);
            m.colours.push_back(&d.colours[static_cast<std::size_t>(s)]);
        }
        if (!m.cells.empty()) {
            m.candidates = nearestCells(m.slices, m.cells, kCandidates, progress);
            if (m.candidates.size() != m.slices.size() || progress.cancelled())
                return false;
            // Well-fitting slices first: a slice that belongs nowhere is the one left over.
            std::vector<int> order(m.slices.size());
            for (std::size_t i = 0; i < order.size(); ++i)
                order[i] = static_cast<int>(i);
            std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
                return m.candidates[static_cast<std::size_t>(a)].front().cost < m.candidates[static_cast<std::size_t>(b)].front().cost;
            });
            m.match = matchSlices(m.slices, m.cells, m.candidates, order);
        } else {
            m.match.assign(m.slices.size(), -1);
            progress.advance(static_cast<std::int64_t>(m.slices.size()));
        }
        matched.push_back(std::move(m));
    }
    return true;
}

// The placed slices that are not plain and fit best (half of them, at most kSamples), to find the
// frame with.
std::vector<PlacedSample> placedSamples(const std::vector<Matched>& matched)
{
    std::vector<std::pair<int, PlacedSample>> placed;
    for (const Matched& m : matched)
        for (std::size_t i = 0; i < m.slices.size(); ++i)
            if (m.match[i] >= 0 && !isPlain(*m.slices[i])) {
                const auto j = static_cast<std::size_t>(m.match[i]);
                placed.push_back({m.cells.cost(*m.slices[i], j), {m.slices[i], m.group->cells[j]}});
            }
    std::sort(placed.begin(), placed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    placed.resize((placed.size() + 1) / 2);
    // Spread evenly over the fits.
    std::vector<PlacedSample> samples;
    const std::size_t count = std::min(placed.size(), kSamples);
    for (std::size_t i = 0; i < count; ++i)
        samples.push_back(placed[i * placed.size() / count].second);
    return samples;
}

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
    // The reference may lie among the slices: it is none of them. Only a file of its size can be
    // it (each entry's size comes with the listing; resolving every name would cost more).
    const QFileInfo referenceInfo(referencePath);
    const QString referenceFile = referenceInfo.canonicalFilePath();
    for (const QFileInfo& info : folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name))
        if (isSliceName(info.fileName())
            && (info.size() != referenceInfo.size() || info.canonicalFilePath() != referenceFile))
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
    // Twice the cores: while half wait on the disk, the others decode.
    HelperThreads readers(QThread::idealThreadCount());
    const bool finished = readers.forEach(n, progress, [&d](int i) {
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
    const auto cancelled = [&result, grid] {
        result = AssemblyResult{assemblyFailure(FailureKind::Cancelled), grid, {}, {}, 0, {}};
        return result;
    };
    // Each matching reads the cells (a step a row) and matches the slices (a step a slice).
    const std::int64_t matchingSteps = grid.rows + static_cast<std::int64_t>(d.paths.size());
    progress.start((1 + kFrameRounds) * matchingSteps);
    std::vector<const Feature*> allSlices;
    for (const Feature& f : d.features)
        allSlices.push_back(&f);

    ShapeGroup groups[4];
    for (std::size_t i = 0; i < d.sizes.size(); ++i)
        groups[shapes.shapeOf(d.sizes[i])].slices.push_back(static_cast<int>(i));
    for (int r = 1; r <= grid.rows; ++r)
        for (int c = 1; c <= grid.columns; ++c)
            groups[shapes.shapeOf(grid, r, c)].cells.push_back((r - 1) * grid.columns + (c - 1));

    // First the map on the whole reference; then on the frame where its placed slices fit best,
    // matched again only when that frame is another.
    QRectF frame(QPointF(0, 0), QSizeF(reference.full));
    ReferenceCells cells = referenceCells(reference, frame, grid, shapes, progress);
    if (cells.features.empty())
        return cancelled();
    matchLevels(cells, allSlices);
    std::vector<Matched> matched;
    if (!matchGroups(d, groups, cells, progress, matched))
        return cancelled();
    // A frame far off places many slices wrong at first: found again from the better matching.
    int round = 0;
    for (; round < kFrameRounds; ++round) {
        const QRectF registered = registerFrame(reference, frame, grid, shapes, placedSamples(matched));
        if (registered == frame)
            break;
        frame = registered;
        cells = referenceCells(reference, frame, grid, shapes, progress);
        if (cells.features.empty())
            return cancelled();
        matchLevels(cells, allSlices);
        if (!matchGroups(d, groups, cells, progress, matched))
            return cancelled();
    }
    progress.advance((kFrameRounds - round) * matchingSteps);  // the rounds not needed
    result.frame = frame;

    // The typical fit of the slices that are not plain: how far the reference's blur,
    // recompression and changes move features, the unit of every confidence.
    std::vector<double> fits;
    for (const Matched& m : matched)
        for (std::size_t i = 0; i < m.slices.size(); ++i)
            if (m.match[i] >= 0 && !isPlain(*m.slices[i])) {
                const int cost = m.cells.cost(*m.slices[i], static_cast<std::size_t>(m.match[i]));
                if (cost >= 0)
                    fits.push_back(cost);
            }
    double typical = 0;
    if (!fits.empty()) {
        std::nth_element(fits.begin(), fits.begin() + static_cast<std::ptrdiff_t>(fits.size() / 2), fits.end());
        typical = fits[fits.size() / 2];
    }
    const double noise = std::max(kMinimumNoiseLevels * kFeatureBytes, typical);
    std::vector<PlacementScore> scores;
    std::vector<double> distinctSeparations;
    for (const Matched& m : matched) {
        PlacementConfidence confidence(m.slices, m.colours, m.cells, m.match, noise);
        std::vector<PlacementScore> groupScores(m.slices.size());
        NullProgress quiet;
        forEachOnAllCores(static_cast<int>(m.slices.size()), quiet, [&](int i) {
            if (m.match[static_cast<std::size_t>(i)] >= 0)
                groupScores[static_cast<std::size_t>(i)] = confidence.score(i, m.candidates[static_cast<std::size_t>(i)]);
        });
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
            const PlacementScore& score = groupScores[i];
            if (score.other >= 0) {
                const int other = m.group->cells[static_cast<std::size_t>(score.other)];
                placement.otherRow = other / grid.columns + 1;
                placement.otherColumn = other % grid.columns + 1;
            }
            result.placements.push_back(placement);
            scores.push_back(score);
            if (!isPlain(*m.slices[i]) && !score.unseen)
                distinctSeparations.push_back(score.separation);
        }
    }
    const double overall = overallConfidence(distinctSeparations, levelsOf(static_cast<std::int64_t>(typical)));
    for (std::size_t i = 0; i < scores.size(); ++i) {
        const Confidence c = confidenceOf(scores[i], overall);
        AssemblyPlacement& p = result.placements[i];
        p.confidence = c.value;
        p.doubt = c.doubt;
        if (p.doubt != DoubtKind::LikeAnotherCell)
            p.otherRow = p.otherColumn = 0;
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
