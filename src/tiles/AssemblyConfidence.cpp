#include "tiles/AssemblyConfidence.h"

#include <algorithm>
#include <cmath>

namespace tessera {
namespace {

// Mean level difference of a good fit, and of no fit at all.
constexpr double kGoodLevels = 5.0;
constexpr double kBadLevels = 12.0;
// A slice whose feature cells vary less than this (mean levels) is plain.
constexpr double kPlainLevels = 2.0;
// The relative margin to the best different-looking cell that makes a placement sure.
constexpr double kSureMargin = 0.3;

}  // namespace

double levelsOf(std::int64_t distance)
{
    return static_cast<double>(distance) / kFeatureBytes;
}

double fitOf(double levels)
{
    return std::clamp((kBadLevels - levels) / (kBadLevels - kGoodLevels), 0.0, 1.0);
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
                                         const std::vector<const Feature*>& cells, const std::vector<int>& match,
                                         double sameLevels)
    : slices_(slices), cells_(cells), match_(match), owners_(cells.size(), -1),
      sameDistance_(static_cast<int>(sameLevels * kFeatureBytes))
{
    for (std::size_t s = 0; s < match.size(); ++s)
        if (match[s] >= 0)
            owners_[static_cast<std::size_t>(match[s])] = static_cast<int>(s);
}

double PlacementConfidence::of(int slice, const std::vector<Candidate>& candidates)
{
    const int cell = match_[static_cast<std::size_t>(slice)];
    const Feature& own = *slices_[static_cast<std::size_t>(slice)];
    const Feature& assigned = *cells_[static_cast<std::size_t>(cell)];
    const int cost = featureDistance(own, assigned);
    std::int64_t alternative = -1;
    for (const Candidate& c : candidates) {
        if (c.cell == cell || !differs(assigned, *cells_[static_cast<std::size_t>(c.cell)]))
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

bool PlacementConfidence::differs(const Feature& a, const Feature& b) const
{
    return featureDistance(a, b) > sameDistance_;
}

// The cost of moving the slice to `cell`, with the cell's own slice moved to `assigned`; negative
// when that slice looks like this one.
std::int64_t PlacementConfidence::moveCost(const Feature& slice, int cost, int cell, const Feature& assigned) const
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

// Over every cell. Slices that repeat (open sea) sit in cells that repeat: each pair of features
// is looked up once.
std::int64_t PlacementConfidence::bestDifferent(const Feature& slice, const Feature& assigned)
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

}  // namespace tessera
