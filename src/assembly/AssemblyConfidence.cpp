#include "assembly/AssemblyConfidence.h"

#include <algorithm>
#include <cmath>

namespace tessera {
namespace {

// Mean level difference of a good fit, and of no fit at all.
constexpr double kGoodLevels = 5.0;
constexpr double kBadLevels = 12.0;
// A slice whose feature cells vary less than this (mean levels) is plain.
constexpr double kPlainLevels = 2.0;
// The relative margin to the best other answer that makes a placement sure.
constexpr double kSureMargin = 0.5;
// Slices whose plain colours are closer than this (mean levels) are alike: either may go to the
// other's cell.
constexpr double kAlikeLevels = 3.0;

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
                                         const std::vector<const Feature*>& colours,
                                         const std::vector<const Feature*>& cells, const std::vector<int>& match,
                                         double sameLevels)
    : slices_(slices), colours_(colours), cells_(cells), match_(match), owners_(cells.size(), -1),
      sameDistance_(static_cast<int>(sameLevels * kFeatureBytes))
{
    for (std::size_t s = 0; s < match.size(); ++s)
        if (match[s] >= 0)
            owners_[static_cast<std::size_t>(match[s])] = static_cast<int>(s);
}

PlacementScore PlacementConfidence::score(int slice, const std::vector<Candidate>& candidates)
{
    const int cell = match_[static_cast<std::size_t>(slice)];
    const Feature& own = *slices_[static_cast<std::size_t>(slice)];
    const Feature& assigned = *cells_[static_cast<std::size_t>(cell)];
    const int cost = featureDistance(own, assigned);
    std::int64_t alternative = -1;
    for (const Candidate& c : candidates) {
        if (c.cell == cell)
            continue;
        const std::int64_t moved = moveCost(slice, c.cost, c.cell, assigned);
        if (moved >= 0 && (alternative < 0 || moved < alternative))
            alternative = moved;
    }
    if (alternative < 0)
        alternative = bestOther(slice, cell);
    PlacementScore score;
    score.fit = fitOf(levelsOf(cost));
    if (alternative >= 0)  // otherwise no other answer
        score.margin = static_cast<double>(alternative - cost) / static_cast<double>(std::max<std::int64_t>(alternative, 1));
    return score;
}

double confidenceOf(const PlacementScore& score, double overall)
{
    return std::min({score.fit, std::clamp(score.margin / kSureMargin, 0.0, 1.0), overall});
}

double overallConfidence(std::vector<double> margins)
{
    if (margins.empty())
        return 1;
    std::nth_element(margins.begin(), margins.begin() + static_cast<std::ptrdiff_t>(margins.size() / 2), margins.end());
    return std::clamp(margins[margins.size() / 2] / kSureMargin, 0.0, 1.0);
}

// The cost of moving the slice to `cell`, with the cell's own slice moved to the assigned one;
// negative when that is no other answer: the cell's slice looks like this one (exchanging
// alike slices changes nothing), or the cell is free and looks like the assigned one.
std::int64_t PlacementConfidence::moveCost(int slice, int cost, int cell, const Feature& assigned) const
{
    const Feature& target = *cells_[static_cast<std::size_t>(cell)];
    const int owner = owners_[static_cast<std::size_t>(cell)];
    if (owner < 0)
        return featureDistance(assigned, target) > sameDistance_ ? cost : -1;
    if (featureDistance(*colours_[static_cast<std::size_t>(slice)], *colours_[static_cast<std::size_t>(owner)])
        <= kAlikeLevels * kFeatureBytes)
        return -1;
    const Feature& displaced = *slices_[static_cast<std::size_t>(owner)];
    return cost + featureDistance(displaced, assigned) - featureDistance(displaced, target);
}

// Over every cell. Slices that repeat (open sea) sit in cells that repeat: each pair of features
// is looked up once.
std::int64_t PlacementConfidence::bestOther(int slice, int cell)
{
    const Feature& own = *slices_[static_cast<std::size_t>(slice)];
    const Feature& assigned = *cells_[static_cast<std::size_t>(cell)];
    const QByteArray key = QByteArray(reinterpret_cast<const char*>(colours_[static_cast<std::size_t>(slice)]->bytes), kFeatureBytes)
        + QByteArray(reinterpret_cast<const char*>(assigned.bytes), kFeatureBytes);
    const auto known = memo_.constFind(key);
    if (known != memo_.constEnd())
        return known.value();
    std::int64_t best = -1;
    for (std::size_t j = 0; j < cells_.size(); ++j)
        if (static_cast<int>(j) != cell) {
            const std::int64_t moved = moveCost(slice, featureDistance(own, *cells_[j]), static_cast<int>(j), assigned);
            if (moved >= 0 && (best < 0 || moved < best))
                best = moved;
        }
    memo_.insert(key, best);
    return best;
}

}  // namespace tessera
