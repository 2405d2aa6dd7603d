// Matching the slices of an assembly to the cells of a grid, and how sure each placement is.
#include "assembly/AutoAssembly.h"

#include "assembly/AssemblyConfidence.h"
#include "assembly/AssemblyInputData.h"
#include "assembly/Assignment.h"
#include "assembly/ReferenceFrame.h"
#include "work/HelperThreads.h"
#include "files/Progress.h"

#include <algorithm>
#include <cmath>

namespace tessera {
namespace {

// Nearest cells kept per slice for the matching.
constexpr int kCandidates = 16;
// The noise of a map's fits is taken as at least this (mean levels): a reference reduced from the
// slices themselves fits almost exactly.
constexpr double kMinimumNoiseLevels = 1.0;
// Placed slices that find the frame, and how often it is looked for again after a new matching.
constexpr std::size_t kSamples = 150;
constexpr int kFrameRounds = 3;
// When more than one placement in this many is doubtful, a map of at most kSearchCells cells looks
// for its frame again without a matching, with this many of its slices that are not plain.
constexpr int kSearchDoubtfulShare = 4;
constexpr qint64 kSearchCells = 400;
constexpr std::size_t kSearchSamples = 32;

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

// The cells of the map lying on `frame`, their levels mapped onto the slices', and every group
// matched to them; false when cancelled.
bool matchOnFrame(const AssemblyInput::Data& d, const ShapeGroup (&groups)[4], const ReducedPicture& reference,
                  const QRectF& frame, AssemblyGrid grid, Progress& progress, ReferenceCells& cells,
                  std::vector<Matched>& matched)
{
    cells = referenceCells(reference, frame, grid, d.shapes, progress);
    if (cells.features.empty())
        return false;
    std::vector<const Feature*> slices;
    for (const Feature& f : d.features)
        slices.push_back(&f);
    matchLevels(cells, slices);
    return matchGroups(d, groups, cells, progress, matched);
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

// A slice that cannot be told from another cell may belong there, and that cell's slice here:
// both placements are right or both wrong, so the partner is as doubtful, pointing back.
void doubtBothOfAlikePairs(std::vector<AssemblyPlacement>& placements, AssemblyGrid grid)
{
    std::vector<int> at(static_cast<std::size_t>(grid.rows * grid.columns), -1);
    for (std::size_t i = 0; i < placements.size(); ++i)
        at[static_cast<std::size_t>((placements[i].row - 1) * grid.columns + placements[i].column - 1)] = static_cast<int>(i);
    const std::size_t count = placements.size();
    for (std::size_t i = 0; i < count; ++i) {
        const AssemblyPlacement p = placements[i];
        if (p.doubt != DoubtKind::LikeAnotherCell)
            continue;
        const int partner = at[static_cast<std::size_t>((p.otherRow - 1) * grid.columns + p.otherColumn - 1)];
        if (partner < 0 || placements[static_cast<std::size_t>(partner)].doubtful())
            continue;
        AssemblyPlacement& q = placements[static_cast<std::size_t>(partner)];
        q.doubt = DoubtKind::LikeAnotherCell;
        q.confidence = std::min(q.confidence, p.confidence);
        q.otherRow = p.row;
        q.otherColumn = p.column;
    }
}

// Scores the placements of a matching into `result`: the placements, unplaced slices and doubts.
void scoreMatching(const AssemblyInput::Data& d, const std::vector<Matched>& matched, AssemblyGrid grid, AssemblyResult& result)
{
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
    doubtBothOfAlikePairs(result.placements, grid);
    result.doubtfulCount = static_cast<int>(
        std::count_if(result.placements.begin(), result.placements.end(), [](const AssemblyPlacement& p) { return p.doubtful(); }));
}

// Why the map cannot be assembled before any work, if it cannot.
Failure refusal(const AssemblyInput& input, AssemblyGrid grid)
{
    if (!input.ok())
        return input.failure();
    if (!grid.valid())
        return assemblyFailure(FailureKind::GridOutOfRange, {}, {}, {kMaxMapSize});
    // A grid far larger than the folder would only cost memory and time: a typing slip.
    const qsizetype slices = input.data().paths.size();
    if (static_cast<qint64>(grid.rows) * grid.columns > 4LL * static_cast<qint64>(slices) + 64)
        return assemblyFailure(FailureKind::GridTooLarge, {}, {}, {grid.rows, grid.columns, slices});
    return {};
}

// First the map on the whole reference; then on the frame where its placed slices fit best,
// matched again only when that frame is another. False when cancelled.
bool matchOnBestFrame(const AssemblyInput::Data& d, const ShapeGroup (&groups)[4], const ReducedPicture& reference,
                      AssemblyGrid grid, std::int64_t matchingSteps, Progress& progress, AssemblyResult& result)
{
    QRectF frame(QPointF(0, 0), QSizeF(reference.full));
    ReferenceCells cells;
    std::vector<Matched> matched;
    if (!matchOnFrame(d, groups, reference, frame, grid, progress, cells, matched))
        return false;
    // A frame far off places many slices wrong at first: found again from the better matching.
    int round = 0;
    for (; round < kFrameRounds; ++round) {
        const QRectF registered = registerFrame(reference, frame, grid, d.shapes, placedSamples(matched));
        if (registered == frame)
            break;
        frame = registered;
        if (!matchOnFrame(d, groups, reference, frame, grid, progress, cells, matched))
            return false;
    }
    progress.advance((kFrameRounds - round) * matchingSteps);  // the rounds not needed
    result.frame = frame;
    scoreMatching(d, matched, grid, result);
    return true;
}

// Many doubtful placements: the frame may be off by more than its search from the first
// matching can mend (two edges far off, the lattice half a cell from the truth). A small map
// then looks for it without a matching. False when cancelled.
bool searchWhenDoubtful(const AssemblyInput::Data& d, const ShapeGroup (&groups)[4], const ReducedPicture& reference,
                        AssemblyGrid grid, std::int64_t matchingSteps, Progress& progress, AssemblyResult& result)
{
    if (result.doubtfulCount * kSearchDoubtfulShare <= static_cast<int>(result.placements.size())
        || static_cast<qint64>(grid.rows) * grid.columns > kSearchCells) {
        progress.advance(matchingSteps);
        return true;
    }
    std::vector<const Feature*> distinct;
    for (int s : groups[0].slices)
        if (!isPlain(d.features[static_cast<std::size_t>(s)]))
            distinct.push_back(&d.features[static_cast<std::size_t>(s)]);
    std::vector<const Feature*> samples;
    const std::size_t count = std::min(distinct.size(), kSearchSamples);
    for (std::size_t i = 0; i < count; ++i)
        samples.push_back(distinct[i * distinct.size() / count]);
    const QRectF found = searchFrame(reference, QRectF(QPointF(0, 0), QSizeF(reference.full)), grid, d.shapes, samples, progress);
    if (progress.cancelled())
        return false;
    if (found == result.frame) {
        progress.advance(matchingSteps);
        return true;
    }
    ReferenceCells cells;
    std::vector<Matched> again;
    if (!matchOnFrame(d, groups, reference, found, grid, progress, cells, again))
        return false;
    AssemblyResult other;
    other.grid = grid;
    other.frame = found;
    scoreMatching(d, again, grid, other);
    // Taken only when it mends the map, not for another set of doubts.
    if (other.doubtfulCount < result.doubtfulCount
        && other.doubtfulCount * kSearchDoubtfulShare <= static_cast<int>(other.placements.size()))
        result = std::move(other);
    return true;
}

// The doubtful placements first, least sure first; then the rest by cell.
void sortForReview(AssemblyResult& result)
{
    std::sort(result.placements.begin(), result.placements.end(), [](const AssemblyPlacement& a, const AssemblyPlacement& b) {
        if (a.doubtful() != b.doubtful())
            return a.doubtful();
        if (a.doubtful() && a.confidence != b.confidence)
            return a.confidence < b.confidence;
        return std::pair(a.row, a.column) < std::pair(b.row, b.column);
    });
    result.unplaced.sort();
}

}  // namespace

AssemblyResult assembleMap(const AssemblyInput& input, AssemblyGrid grid, Progress& progress)
{
    AssemblyResult result;
    result.grid = grid;
    result.failure = refusal(input, grid);
    if (!result.failure.ok())
        return result;
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
        result.failure = assemblyFailure(FailureKind::ReferenceUnreadable);
        return result;
    }
    // Each matching reads the cells (a step a row) and matches the slices (a step a slice).
    const std::int64_t matchingSteps = grid.rows + static_cast<std::int64_t>(d.paths.size());
    progress.start((2 + kFrameRounds) * matchingSteps);  // the last for a frame searched without a matching

    ShapeGroup groups[4];
    for (std::size_t i = 0; i < d.sizes.size(); ++i)
        groups[shapes.shapeOf(d.sizes[i])].slices.push_back(static_cast<int>(i));
    for (int r = 1; r <= grid.rows; ++r)
        for (int c = 1; c <= grid.columns; ++c)
            groups[shapes.shapeOf(grid, r, c)].cells.push_back((r - 1) * grid.columns + (c - 1));

    if (!matchOnBestFrame(d, groups, reference, grid, matchingSteps, progress, result)
        || !searchWhenDoubtful(d, groups, reference, grid, matchingSteps, progress, result))
        return AssemblyResult{assemblyFailure(FailureKind::Cancelled), grid, {}, {}, 0, {}};
    sortForReview(result);
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
