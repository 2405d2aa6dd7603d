#include "assembly/AssemblyConfidence.h"

#include <algorithm>
#include <cmath>

namespace tessera {
namespace {

// A typical fit worse than this (mean levels) is no fit at all: another map.
constexpr double kBadLevels = 12.0;
// A slice whose feature cells vary less than this (mean levels) is plain.
constexpr double kPlainLevels = 2.0;
// Fits, in units of the map's noise: up to kFitSure sure, from kFitDoubtful on doubtful.
constexpr double kFitSure = 1.6;
constexpr double kFitDoubtful = 3.0;
// Separations, in units of the map's noise, less kSeparationPerFit for each unit of the slice's own
// fit (a slice that fits its cell loosely needs more): from kSeparationSure on sure, below
// kSeparationDoubtful doubtful.
constexpr double kSeparationDoubtful = 0.3;
constexpr double kSeparationSure = 1.0;
constexpr double kSeparationPerFit = 0.2;
// A placement is only as sure as its cell is shown: below this share of its feature it is outside.
constexpr double kSeenShare = 0.5;
// Slices whose plain colours are closer than this (mean levels) are alike: either may go to the
// other's cell.
constexpr double kAlikeLevels = 3.0;

// 1 from `sure` on the good side, kDoubtfulConfidence at `doubtful`, 0 as far beyond it again.
double ramp(double value, double sure, double doubtful)
{
    const double t = (value - sure) / (doubtful - sure);  // 0 at sure, 1 at doubtful
    return std::clamp(1.0 - t * (1.0 - kDoubtfulConfidence), 0.0, 1.0);
}

}  // namespace

double levelsOf(std::int64_t distance)
{
    return static_cast<double>(distance) / kFeatureBytes;
}

bool isPlain(const Feature& feature)
{
    double mean[3] = {0, 0, 0};
    for (int i = 0; i < kFeatureBytes; ++i)
        mean[i % 3] += feature.bytes[i];
    for (double& m : mean)
        m /= kFeatureColumns * kFeatureRows;
    double deviation = 0;
    for (int i = 0; i < kFeatureBytes; ++i)
        deviation += std::abs(feature.bytes[i] - mean[i % 3]);
    return deviation / kFeatureBytes < kPlainLevels;
}

PlacementConfidence::PlacementConfidence(const std::vector<const Feature*>& slices,
                                         const std::vector<const Feature*>& colours, const MatchCells& cells,
                                         const std::vector<int>& match, double noise)
    : slices_(slices), colours_(colours), cells_(cells), match_(match), owners_(cells.size(), -1),
      ownerFits_(cells.size(), 0), noise_(std::max(noise, 1.0))
{
    for (std::size_t s = 0; s < match.size(); ++s)
        if (match[s] >= 0) {
            const auto j = static_cast<std::size_t>(match[s]);
            owners_[j] = static_cast<int>(s);
            ownerFits_[j] = std::max(0, cells.cost(*slices[s], j));
        }
}

PlacementScore PlacementConfidence::score(int slice, const std::vector<Candidate>& candidates)
{
    const int cell = match_[static_cast<std::size_t>(slice)];
    const Feature& own = *slices_[static_cast<std::size_t>(slice)];
    PlacementScore score;
    const int cost = cells_.cost(own, static_cast<std::size_t>(cell));
    // A sliver of a cell at a cut side fits many slices by chance: no evidence for any of them.
    if (cost < 0 || cells_.shown[static_cast<std::size_t>(cell)] < kFeatureBytes * kSeenShare) {
        score.unseen = true;
        return score;
    }
    Candidate alternative{-1, -1};
    for (const Candidate& c : candidates) {
        if (c.cell == cell)
            continue;
        const std::int64_t moved = moveCost(slice, c.cost, c.cell, cell);
        if (moved >= 0 && (alternative.cost < 0 || moved < alternative.cost))
            alternative = {c.cell, static_cast<int>(moved)};
    }
    if (alternative.cost < 0)
        alternative = bestOther(slice, cell);
    score.fit = cost / noise_;
    if (alternative.cost >= 0) {  // otherwise no other answer
        score.separation = (alternative.cost - cost) / noise_;
        score.other = alternative.cell;
    }
    return score;
}

Confidence confidenceOf(const PlacementScore& score, double overall)
{
    if (score.unseen)
        return {0, DoubtKind::OutsideReference};
    const double fit = ramp(score.fit, kFitSure, kFitDoubtful);
    const double separation = ramp(score.separation - kSeparationPerFit * score.fit, kSeparationSure, kSeparationDoubtful);
    Confidence c;
    c.value = std::min({fit, separation, overall});
    if (c.value < kDoubtfulConfidence)
        c.doubt = separation < kDoubtfulConfidence && separation <= fit ? DoubtKind::LikeAnotherCell
                                                                        : DoubtKind::DiffersFromReference;
    return c;
}

double overallConfidence(std::vector<double> separations, double typicalLevels)
{
    if (typicalLevels >= kBadLevels)
        return 0;
    if (separations.empty())
        return 1;
    std::nth_element(separations.begin(), separations.begin() + static_cast<std::ptrdiff_t>(separations.size() / 2),
                     separations.end());
    return ramp(separations[separations.size() / 2], kSeparationSure, kSeparationDoubtful);
}

// The cost of moving the slice to `cell`, with the cell's own slice moved to the assigned one;
// negative when that is no other answer: the cell's slice looks like this one (exchanging
// alike slices changes nothing), or the cell is free and looks like the assigned one.
std::int64_t PlacementConfidence::moveCost(int slice, int cost, int cell, int assigned) const
{
    const auto target = static_cast<std::size_t>(cell), home = static_cast<std::size_t>(assigned);
    const int owner = owners_[target];
    if (owner < 0)
        return robustDistance(*cells_.features[home], *cells_.features[target], *cells_.masks[target]) > noise_ ? cost : -1;
    if (featureDistance(*colours_[static_cast<std::size_t>(slice)], *colours_[static_cast<std::size_t>(owner)])
        <= kAlikeLevels * kFeatureBytes)
        return -1;
    const Feature& displaced = *slices_[static_cast<std::size_t>(owner)];
    const int there = cells_.cost(displaced, home), here = cells_.cost(displaced, target);
    if (there < 0 || here < 0)
        return -1;
    return cost + there - here;
}

// Over every cell. Slices that repeat (open sea) sit in cells that repeat: each pair of features
// is looked up once.
Candidate PlacementConfidence::bestOther(int slice, int cell)
{
    const Feature& own = *slices_[static_cast<std::size_t>(slice)];
    const Feature& assigned = *cells_.features[static_cast<std::size_t>(cell)];
    const QByteArray key = QByteArray(reinterpret_cast<const char*>(colours_[static_cast<std::size_t>(slice)]->bytes), kFeatureBytes)
        + QByteArray(reinterpret_cast<const char*>(assigned.bytes), kFeatureBytes);
    {
        const QMutexLocker locker(&memoLock_);
        const auto known = memo_.constFind(key);
        if (known != memo_.constEnd())
            return known.value();
    }
    Candidate best{-1, -1};
    for (std::size_t j = 0; j < cells_.size(); ++j) {
        const int cost = cells_.cost(own, j);
        // The move costs at least the slice's fit there less the displaced slice's fit in its own cell.
        if (static_cast<int>(j) == cell || cost < 0 || (best.cost >= 0 && cost - ownerFits_[j] >= best.cost))
            continue;
        const std::int64_t moved = moveCost(slice, cost, static_cast<int>(j), cell);
        if (moved >= 0 && (best.cost < 0 || moved < best.cost))
            best = {static_cast<int>(j), static_cast<int>(moved)};
    }
    const QMutexLocker locker(&memoLock_);
    memo_.insert(key, best);
    return best;
}

}  // namespace tessera
