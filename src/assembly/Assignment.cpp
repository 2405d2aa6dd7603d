#include "assembly/Assignment.h"

#include "work/HelperThreads.h"
#include "files/Progress.h"

#include <algorithm>
#include <limits>
#include <queue>

namespace tessera {
namespace {

// A cell the reference does not show fits every slice as badly as can be.
int unseenCost(int cost)
{
    return cost >= 0 ? cost : kClipLevels * kFeatureBytes;
}

std::uint32_t tieBreak(std::uint32_t slice, std::uint32_t cell)
{
    std::uint32_t h = slice * 0x9E3779B1u ^ (cell + 0x7F4A7C15u) * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return h;
}

// The nearest cells to a feature, exactly by the plain distance, then ranked again by the robust
// one. Cells shown whole are ordered by the sum of their levels: two features differ at least by
// the difference of their sums, so a search walks out from the feature's own sum and stops where
// that alone exceeds the worst of a full shortlist. The coarse distance rules out most of the rest.
class CellSearch {
public:
    explicit CellSearch(const MatchCells& cells) : cells_(cells), coarse_(cells.size())
    {
        for (std::size_t j = 0; j < cells.size(); ++j) {
            if (cells.shown[j] != kFeatureBytes) {
                partial_.push_back(static_cast<int>(j));
                continue;
            }
            coarse_[j] = coarseFeature(*cells.features[j]);
            ordered_.push_back({featureSum(*cells.features[j]), static_cast<int>(j)});
        }
        std::sort(ordered_.begin(), ordered_.end(), [](const Ordered& a, const Ordered& b) { return a.sum < b.sum; });
    }

    // The `keep` cells nearest to `feature` of those that `wanted` takes, among its 2·keep nearest
    // by the plain distance; ties broken by `seed`. Nearest first.
    template <typename Wanted>
    void nearest(const Feature& feature, std::uint32_t seed, std::size_t keep, Wanted&& wanted,
                 std::vector<Candidate>& out) const
    {
        const std::size_t shortlist = 2 * keep;
        // A shortlist ordered by cost, then by the tie-break; the worst kept entry is replaced.
        struct Entry {
            std::uint64_t key;
            int cell;
        };
        std::vector<Entry> best;
        best.reserve(shortlist);
        std::size_t worst = 0;
        auto findWorst = [&] {
            worst = static_cast<std::size_t>(
                std::max_element(best.begin(), best.end(), [](const Entry& a, const Entry& b) { return a.key < b.key; })
                - best.begin());
        };
        // Whether no cell at this lower bound can enter the shortlist.
        auto beyond = [&](int bound) {
            return best.size() == shortlist && static_cast<std::uint64_t>(bound) > best[worst].key >> 32;
        };
        auto consider = [&](int cell, int plain) {
            const std::uint64_t key = static_cast<std::uint64_t>(plain) << 32 | tieBreak(seed, static_cast<std::uint32_t>(cell));
            if (best.size() < shortlist) {
                best.push_back({key, cell});
                if (best.size() == shortlist)
                    findWorst();
            } else if (key < best[worst].key) {
                best[worst] = {key, cell};
                findWorst();
            }
        };
        // Cells shown in part are compared robustly.
        for (int j : partial_)
            if (wanted(j))
                consider(j, unseenCost(cells_.cost(feature, static_cast<std::size_t>(j))));
        const CoarseFeature mine = coarseFeature(feature);
        const int sum = featureSum(feature);
        const auto n = static_cast<std::ptrdiff_t>(ordered_.size());
        std::ptrdiff_t below = std::lower_bound(ordered_.begin(), ordered_.end(), sum,
                                                [](const Ordered& o, int v) { return o.sum < v; })
            - ordered_.begin() - 1;
        std::ptrdiff_t above = below + 1;
        while (below >= 0 || above < n) {
            // The nearer sum first, so that the bounds only grow.
            const bool down = above >= n || (below >= 0 && sum - ordered_[static_cast<std::size_t>(below)].sum
                                                             <= ordered_[static_cast<std::size_t>(above)].sum - sum);
            const Ordered& o = ordered_[static_cast<std::size_t>(down ? below-- : above++)];
            if (beyond(std::abs(o.sum - sum)))
                break;
            const auto j = static_cast<std::size_t>(o.cell);
            if (!wanted(o.cell) || beyond(coarseDistance(mine, coarse_[j])))
                continue;
            consider(o.cell, featureDistance(feature, *cells_.features[j]));
        }
        // Then the shortlist by the robust distance.
        for (Entry& e : best)
            e.key = static_cast<std::uint64_t>(unseenCost(cells_.cost(feature, static_cast<std::size_t>(e.cell)))) << 32
                | (e.key & 0xFFFFFFFFu);
        std::sort(best.begin(), best.end(), [](const Entry& a, const Entry& b) { return a.key < b.key; });
        best.resize(std::min(best.size(), keep));
        for (const Entry& e : best)
            out.push_back({e.cell, static_cast<int>(e.key >> 32)});
    }

private:
    struct Ordered {
        int sum;
        int cell;
    };
    const MatchCells& cells_;
    std::vector<CoarseFeature> coarse_;
    std::vector<Ordered> ordered_;
    std::vector<int> partial_;
};

// Successive shortest augmenting paths with cell potentials (Dijkstra on reduced costs).
class Matcher {
public:
    Matcher(const std::vector<const Feature*>& slices, const MatchCells& cells,
            const std::vector<std::vector<Candidate>>& candidates)
        : slices_(slices), search_(cells), edges_(candidates), potential_(cells.size(), 0),
          cellSlice_(cells.size(), -1), sliceCell_(slices.size(), -1), sliceCost_(slices.size(), 0),
          distance_(cells.size(), kInfinite), from_(cells.size(), -1), fromCost_(cells.size(), 0),
          done_(cells.size(), false)
    {
    }

    void add(int slice)
    {
        if (free_ == 0)
            return;
        if (augment(slice))
            return;
        // No path over the candidates: connect the slice to its nearest free cells.
        std::vector<Candidate>& edges = edges_[static_cast<std::size_t>(slice)];
        const std::size_t keep = std::min(free_, std::max<std::size_t>(edges.size(), 1));
        search_.nearest(*slices_[static_cast<std::size_t>(slice)], static_cast<std::uint32_t>(slice), keep,
                        [this](int cell) { return cellSlice_[static_cast<std::size_t>(cell)] < 0; }, edges);
        augment(slice);
    }

    const std::vector<int>& result() const { return sliceCell_; }

private:
    static constexpr std::int64_t kInfinite = std::numeric_limits<std::int64_t>::max();
    using Entry = std::pair<std::int64_t, int>;

    void relax(int cell, std::int64_t d, int slice, int cost)
    {
        const auto j = static_cast<std::size_t>(cell);
        if (done_[j] || d >= distance_[j])
            return;
        if (distance_[j] == kInfinite)
            touched_.push_back(cell);
        distance_[j] = d;
        from_[j] = slice;
        fromCost_[j] = cost;
        heap_.push({d, cell});
    }

    bool augment(int start)
    {
        for (const Candidate& e : edges_[static_cast<std::size_t>(start)])
            relax(e.cell, e.cost - potential_[static_cast<std::size_t>(e.cell)], start, e.cost);
        int end = -1;
        std::int64_t reach = 0;
        std::vector<int> settled;
        while (!heap_.empty()) {
            const auto [d, cell] = heap_.top();
            heap_.pop();
            const auto j = static_cast<std::size_t>(cell);
            if (done_[j] || d != distance_[j])
                continue;
            done_[j] = true;
            settled.push_back(cell);
            const int owner = cellSlice_[j];
            if (owner < 0) {
                end = cell;
                reach = d;
                break;
            }
            // The owner's own edge is its cheapest in reduced cost: leaving it costs the difference.
            const std::int64_t base = d - (sliceCost_[static_cast<std::size_t>(owner)] - potential_[j]);
            for (const Candidate& e : edges_[static_cast<std::size_t>(owner)])
                relax(e.cell, base + e.cost - potential_[static_cast<std::size_t>(e.cell)], owner, e.cost);
        }
        if (end >= 0) {
            for (int cell : settled) {
                const auto j = static_cast<std::size_t>(cell);
                if (distance_[j] < reach)
                    potential_[j] += distance_[j] - reach;
            }
            for (int cell = end;;) {
                const auto j = static_cast<std::size_t>(cell);
                const int slice = from_[j];
                const int previous = sliceCell_[static_cast<std::size_t>(slice)];
                sliceCell_[static_cast<std::size_t>(slice)] = cell;
                sliceCost_[static_cast<std::size_t>(slice)] = fromCost_[j];
                cellSlice_[j] = slice;
                if (slice == start)
                    break;
                cell = previous;
            }
            --free_;
        }
        for (int cell : touched_) {
            distance_[static_cast<std::size_t>(cell)] = kInfinite;
            done_[static_cast<std::size_t>(cell)] = false;
        }
        touched_.clear();
        heap_ = {};
        return end >= 0;
    }

    const std::vector<const Feature*>& slices_;
    const CellSearch search_;
    std::vector<std::vector<Candidate>> edges_;
    std::vector<std::int64_t> potential_;
    std::vector<int> cellSlice_;
    std::vector<int> sliceCell_;
    std::vector<std::int64_t> sliceCost_;
    std::vector<std::int64_t> distance_;
    std::vector<int> from_;
    std::vector<int> fromCost_;
    std::vector<bool> done_;
    std::vector<int> touched_;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<>> heap_;
    std::size_t free_ = cellSlice_.size();
};

}  // namespace

std::vector<std::vector<Candidate>> nearestCells(const std::vector<const Feature*>& slices,
                                                 const MatchCells& cells, int k, Progress& progress)
{
    std::vector<std::vector<Candidate>> result(slices.size());
    const std::size_t keep = std::min<std::size_t>(static_cast<std::size_t>(std::max(1, k)), cells.size());
    if (keep == 0)
        return result;
    const CellSearch search(cells);
    const bool finished = forEachOnAllCores(static_cast<int>(slices.size()), progress, [&](int s) {
        std::vector<Candidate>& out = result[static_cast<std::size_t>(s)];
        out.reserve(keep);
        search.nearest(*slices[static_cast<std::size_t>(s)], static_cast<std::uint32_t>(s), keep, [](int) { return true; }, out);
    });
    if (!finished)
        return {};
    return result;
}

std::vector<int> matchSlices(const std::vector<const Feature*>& slices, const MatchCells& cells,
                             const std::vector<std::vector<Candidate>>& candidates, const std::vector<int>& order)
{
    Matcher matcher(slices, cells, candidates);
    for (int slice : order)
        matcher.add(slice);
    return matcher.result();
}

}  // namespace tessera
