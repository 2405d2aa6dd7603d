#include "assembly/ReferenceFrame.h"

#include "work/HelperThreads.h"
#include "files/Progress.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <utility>

namespace tessera {
namespace {

// A feature cell counts as shown when this share of it lies in the picture.
constexpr double kShownShare = 0.98;
// The frame search: its first step (share of the picture's size), its last (reduced pixels).
constexpr double kFirstStep = 0.04;
constexpr double kLastStep = 0.25;
// A probe at this step (share of the size) must improve the fit by kWorthwhile to start a search.
constexpr double kProbeStep = 0.005;
constexpr double kWorthwhile = 0.01;
// Samples in that probe (50 to 99 of them, spread over their fits).
constexpr std::size_t kProbeSamples = 50;
// The search without a matching: its coarsest step (a share of the size), and how much worse a
// frame a cell over may fit and still be taken for covering more of the picture.
constexpr double kSearchStep = 0.0125;
constexpr double kAliasMisfit = 1.1;
// Quantiles that map the levels.
constexpr int kQuantiles = 64;
// Levels that move less than this on average are left as they are.
constexpr double kAgreeingLevels = 1.5;

QRectF cellRect(const QRectF& frame, AssemblyGrid grid, const SliceShapes& shapes, int cell)
{
    const double W = shapes.full.width(), H = shapes.full.height();
    const double totalW = (grid.columns - 1) * W + shapes.lastWidth();
    const double totalH = (grid.rows - 1) * H + shapes.lastHeight();
    const double sx = frame.width() / totalW, sy = frame.height() / totalH;
    const int r = cell / grid.columns, c = cell % grid.columns;
    const double w = c == grid.columns - 1 ? shapes.lastWidth() : W;
    const double h = r == grid.rows - 1 ? shapes.lastHeight() : H;
    return {frame.left() + c * W * sx, frame.top() + r * H * sy, w * sx, h * sy};
}

// The share of [start, start + length) within [0, full).
double shownShare(double start, double length, double full)
{
    return (std::min(start + length, full) - std::max(start, 0.0)) / length;
}

// The cell's feature and which of its bytes the picture shows; returns how many.
int cellFeature(const ReducedPicture& reference, const QRectF& rect, Feature& feature, Feature& mask)
{
    averageFeature(reference, rect, feature);
    const double cw = rect.width() / kFeatureColumns, ch = rect.height() / kFeatureRows;
    bool columns[kFeatureColumns], rows[kFeatureRows];
    for (int k = 0; k < kFeatureColumns; ++k)
        columns[k] = shownShare(rect.left() + k * cw, cw, reference.full.width()) >= kShownShare;
    for (int k = 0; k < kFeatureRows; ++k)
        rows[k] = shownShare(rect.top() + k * ch, ch, reference.full.height()) >= kShownShare;
    int shown = 0;
    for (int ky = 0; ky < kFeatureRows; ++ky)
        for (int kx = 0; kx < kFeatureColumns; ++kx) {
            const bool on = rows[ky] && columns[kx];
            std::fill_n(mask.bytes + (ky * kFeatureColumns + kx) * 3, 3, on ? 0xFF : 0);
            shown += on ? 3 : 0;
        }
    return shown;
}

}  // namespace

MatchCells ReferenceCells::select(const std::vector<int>& indices) const
{
    MatchCells cells;
    for (int i : indices) {
        const auto k = static_cast<std::size_t>(i);
        cells.features.push_back(&features[k]);
        cells.masks.push_back(&masks[k]);
        cells.shown.push_back(shown[k]);
    }
    return cells;
}

ReferenceCells referenceCells(const ReducedPicture& reference, const QRectF& frame, AssemblyGrid grid,
                              const SliceShapes& shapes, Progress& progress)
{
    ReferenceCells cells;
    const auto count = static_cast<std::size_t>(grid.rows) * grid.columns;
    cells.features.resize(count);
    cells.masks.resize(count);
    cells.shown.resize(count);
    const bool done = forEachOnAllCores(grid.rows, progress, [&](int r) {
        for (int c = 0; c < grid.columns; ++c) {
            const int cell = r * grid.columns + c;
            const auto k = static_cast<std::size_t>(cell);
            cells.shown[k] = cellFeature(reference, cellRect(frame, grid, shapes, cell), cells.features[k], cells.masks[k]);
        }
    });
    return done ? cells : ReferenceCells{};
}

QRectF registerFrame(const ReducedPicture& reference, const QRectF& start, AssemblyGrid grid, const SliceShapes& shapes,
                     const std::vector<PlacedSample>& samples)
{
    if (samples.empty())
        return start;
    // The mean fit of the samples that the frame shows (every `stride`th one); none when it shows
    // too few.
    HelperThreads helpers;
    std::size_t stride = 1;
    auto misfit = [&](const std::array<double, 4>& edges) {
        const QRectF frame(QPointF(edges[0], edges[1]), QPointF(edges[2], edges[3]));
        const int count = static_cast<int>((samples.size() + stride - 1) / stride);
        std::vector<double> costs(static_cast<std::size_t>(count), -1);
        helpers.forEach(count, [&](int i) {
            const PlacedSample& s = samples[static_cast<std::size_t>(i) * stride];
            Feature feature, mask;
            const int shown = cellFeature(reference, cellRect(frame, grid, shapes, s.cell), feature, mask);
            if (shown > kFeatureBytes / 2)
                costs[static_cast<std::size_t>(i)] = static_cast<double>(robustDistance(*s.slice, feature, mask)) * kFeatureBytes / shown;
        });
        double sum = 0;
        std::size_t seen = 0;
        for (double c : costs)
            if (c >= 0) {
                sum += c;
                ++seen;
            }
        return seen * 5 >= costs.size() * 4 ? sum / static_cast<double>(seen) : std::numeric_limits<double>::infinity();
    };
    // The probe on a few of the samples, spread over their fits: a clean reference is the common case.
    stride = std::max<std::size_t>(1, samples.size() / kProbeSamples);
    std::array<double, 4> best{start.left(), start.top(), start.right(), start.bottom()};
    double bestMisfit = misfit(best);
    const double size[2] = {start.width(), start.height()};
    // One pass of moves at `step` (a share of the size): each edge, and the whole frame, both ways.
    auto pass = [&](double share) {
        bool improved = false;
        for (int move = 0; move < 12; ++move) {
            const int axis = move < 8 ? move / 2 % 2 : (move - 8) / 2;
            const double delta = (move % 2 ? -share : share) * size[axis];
            std::array<double, 4> tried = best;
            if (move < 8)
                tried[static_cast<std::size_t>(move / 2)] += delta;
            else {
                tried[static_cast<std::size_t>(axis)] += delta;
                tried[static_cast<std::size_t>(axis + 2)] += delta;
            }
            const double m = misfit(tried);
            if (m < bestMisfit) {
                best = tried;
                bestMisfit = m;
                improved = true;
            }
        }
        return improved;
    };
    const double before = bestMisfit;
    pass(kProbeStep);
    if (!(bestMisfit < before * (1 - kWorthwhile)))
        return start;
    stride = 1;
    bestMisfit = misfit(best);
    const double last = kLastStep * std::max(reference.stepX / size[0], reference.stepY / size[1]);
    for (double share = kFirstStep; share >= last; share /= 2)
        while (pass(share)) {
        }
    return QRectF(QPointF(best[0], best[1]), QPointF(best[2], best[3]));
}

// A lattice one cell over fits the slices as well, but for a strip of the map the picture shows:
// of the frames one cell along `axis` that fit within `bound`, the one that covers most of the
// picture becomes `best`; true when it moved.
template <typename Misfit>
bool preferCoveringFrame(std::array<double, 4>& best, int axis, double cellSize, const Misfit& misfit, double bound,
                         const QRectF& picture)
{
    std::array<double, 4> chosen = best;
    double chosenCover = -1;
    for (int shift = -1; shift <= 1; ++shift) {
        std::array<double, 4> edges = best;
        edges[static_cast<std::size_t>(axis)] += shift * cellSize;
        edges[static_cast<std::size_t>(axis + 2)] += shift * cellSize;
        const QRectF covered = QRectF(QPointF(edges[0], edges[1]), QPointF(edges[2], edges[3])).intersected(picture);
        const double cover = covered.width() * covered.height();
        if (cover > chosenCover && (shift == 0 || misfit(edges) <= bound)) {
            chosen = edges;
            chosenCover = cover;
        }
    }
    return std::exchange(best, chosen) != chosen;
}

QRectF searchFrame(const ReducedPicture& reference, const QRectF& start, AssemblyGrid grid, const SliceShapes& shapes,
                   const std::vector<const Feature*>& samples, const Progress& progress)
{
    if (samples.empty())
        return start;
    const int count = grid.rows * grid.columns;
    // The mean over the samples of their best fit anywhere on the frame: no matching needed.
    auto misfit = [&](const std::array<double, 4>& edges) {
        const QRectF frame(QPointF(edges[0], edges[1]), QPointF(edges[2], edges[3]));
        std::vector<Feature> features(static_cast<std::size_t>(count)), masks(static_cast<std::size_t>(count));
        std::vector<int> shown(static_cast<std::size_t>(count));
        for (int cell = 0; cell < count; ++cell) {
            const auto k = static_cast<std::size_t>(cell);
            shown[k] = cellFeature(reference, cellRect(frame, grid, shapes, cell), features[k], masks[k]);
        }
        double sum = 0;
        for (const Feature* s : samples) {
            std::int64_t best = std::numeric_limits<std::int64_t>::max();
            for (std::size_t k = 0; k < features.size(); ++k)
                if (shown[k] > kFeatureBytes / 4)
                    best = std::min<std::int64_t>(best, static_cast<std::int64_t>(robustDistance(*s, features[k], masks[k])) * kFeatureBytes / shown[k]);
            sum += best == std::numeric_limits<std::int64_t>::max() ? kClipLevels * kFeatureBytes : static_cast<double>(best);
        }
        return sum / static_cast<double>(samples.size());
    };
    std::array<double, 4> best{start.left(), start.top(), start.right(), start.bottom()};
    double bestMisfit = misfit(best);
    const double size[2] = {start.width(), start.height()};
    HelperThreads helpers;
    // Both edges of one axis over a square of `steps` × `steps` offsets `share` of the size apart,
    // around the best so far.
    auto square = [&](int axis, int steps, double share) {
        std::vector<std::array<double, 4>> tried;
        for (int a = 0; a < steps; ++a)
            for (int b = 0; b < steps; ++b) {
                std::array<double, 4> edges = best;
                edges[static_cast<std::size_t>(axis)] += (a - steps / 2) * share * size[axis];
                edges[static_cast<std::size_t>(axis + 2)] += (b - steps / 2) * share * size[axis];
                tried.push_back(edges);
            }
        std::vector<double> misfits(tried.size());
        helpers.forEach(static_cast<int>(tried.size()), [&](int i) {
            misfits[static_cast<std::size_t>(i)] =
                progress.cancelled() ? std::numeric_limits<double>::infinity() : misfit(tried[static_cast<std::size_t>(i)]);
        });
        for (std::size_t i = 0; i < tried.size(); ++i)
            if (misfits[i] < bestMisfit) {
                bestMisfit = misfits[i];
                best = tried[i];
            }
    };
    // Coarse: steps of 1.25 % over ±6.25 %, across, down, and across again with the rows in place.
    for (int axis : {0, 1, 0})
        square(axis, 11, kSearchStep);
    const double cellSize[2] = {(best[2] - best[0]) / grid.columns, (best[3] - best[1]) / grid.rows};
    for (int axis = 0; axis < 2; ++axis)
        if (preferCoveringFrame(best, axis, cellSize[axis], misfit, bestMisfit * kAliasMisfit,
                                QRectF(QPointF(0, 0), QSizeF(reference.full))))
            bestMisfit = misfit(best);
    // Then fine.
    for (int axis = 0; axis < 2; ++axis)
        square(axis, 5, kSearchStep / 2);
    for (double share = kSearchStep / 4; share >= kSearchStep / 16; share /= 2)
        for (int axis = 0; axis < 2; ++axis)
            square(axis, 3, share);
    return QRectF(QPointF(best[0], best[1]), QPointF(best[2], best[3]));
}

void matchLevels(ReferenceCells& cells, const std::vector<const Feature*>& slices)
{
    if (slices.empty() || cells.features.empty())
        return;
    for (int channel = 0; channel < 3; ++channel) {
        std::array<std::int64_t, 256> reference{}, wanted{};
        for (std::size_t k = 0; k < cells.features.size(); ++k)
            for (int i = channel; i < kFeatureBytes; i += 3)
                if (cells.masks[k].bytes[i])
                    ++reference[cells.features[k].bytes[i]];
        for (const Feature* s : slices)
            for (int i = channel; i < kFeatureBytes; i += 3)
                ++wanted[s->bytes[i]];
        // The level at each quantile of both, then a map that is piecewise linear between them.
        auto quantiles = [](const std::array<std::int64_t, 256>& histogram) {
            std::array<double, kQuantiles + 1> q{};
            std::int64_t total = 0;
            for (std::int64_t n : histogram)
                total += n;
            std::int64_t below = 0;
            int level = 0;
            for (int j = 0; j <= kQuantiles; ++j) {
                const double target = std::clamp(static_cast<double>(j) / kQuantiles, 0.005, 0.995) * static_cast<double>(total);
                while (level < 255 && static_cast<double>(below + histogram[static_cast<std::size_t>(level)]) < target)
                    below += histogram[static_cast<std::size_t>(level++)];
                q[static_cast<std::size_t>(j)] = level;
            }
            return q;
        };
        const auto from = quantiles(reference), to = quantiles(wanted);
        std::array<std::uint8_t, 256> map{};
        double moved = 0, count = 0;
        for (int v = 0; v < 256; ++v) {
            double level = v - from.front() + to.front();  // beyond the quantiles: shifted alike
            if (v > from.back())
                level = v - from.back() + to.back();
            else if (v >= from.front()) {
                std::size_t j = 0;
                while (j + 2 < from.size() && from[j + 1] <= v)
                    ++j;
                const double span = from[j + 1] - from[j];
                level = to[j] + (span > 0 ? (v - from[j]) / span : 0.5) * (to[j + 1] - to[j]);
            }
            map[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(std::clamp(std::lround(level), 0L, 255L));
            moved += static_cast<double>(reference[static_cast<std::size_t>(v)]) * std::abs(level - v);
            count += static_cast<double>(reference[static_cast<std::size_t>(v)]);
        }
        // Levels that already agree are left alone: the quantiles' own noise would move them.
        if (moved < kAgreeingLevels * count)
            continue;
        for (Feature& f : cells.features)
            for (int i = channel; i < kFeatureBytes; i += 3)
                f.bytes[i] = map[f.bytes[i]];
    }
}

}  // namespace tessera
