#include "assembly/Assignment.h"
#include "assembly/SliceFeatures.h"
#include "files/Progress.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

using namespace tessera;

TEST(SliceMatchingTest, DistancesSumAbsoluteDifferencesTheRobustOneClippedOverItsMask)
{
    QRandomGenerator random(3);
    Feature a, b, mask;
    for (int round = 0; round < 20; ++round) {
        int plain = 0, clipped = 0, robust = 0;
        for (int i = 0; i < kFeatureBytes; ++i) {
            a.bytes[i] = static_cast<std::uint8_t>(random.bounded(256));
            b.bytes[i] = static_cast<std::uint8_t>(round == 0 ? 255 - a.bytes[i] : random.bounded(256));
            mask.bytes[i] = round % 2 && random.bounded(4) == 0 ? 0 : 0xFF;
            plain += std::abs(a.bytes[i] - b.bytes[i]);
            clipped += std::min(kClipLevels, std::abs(a.bytes[i] - b.bytes[i]));
            robust += mask.bytes[i] ? std::min(kClipLevels, std::abs(a.bytes[i] - b.bytes[i])) : 0;
        }
        EXPECT_EQ(featureDistance(a, b), plain);
        EXPECT_EQ(featureDistance(b, a), plain);
        EXPECT_EQ(robustDistance(a, b), clipped);
        EXPECT_EQ(robustDistance(a, b, mask), robust);
        EXPECT_EQ(robustDistance(b, a, mask), robust);
    }
}

TEST(SliceMatchingTest, FindsTheCheapestAssignmentWhenEveryCellIsACandidate)
{
    QRandomGenerator random(7);
    for (int round = 0; round < 50; ++round) {
        const int n = 7;
        // Two colours per feature: many slices want the same few cells.
        std::vector<Feature> features(2 * n);
        for (Feature& f : features) {
            const auto left = static_cast<std::uint8_t>(random.bounded(256)), right = static_cast<std::uint8_t>(random.bounded(256));
            for (int i = 0; i < kFeatureBytes; ++i)
                f.bytes[i] = i < kFeatureBytes / 2 ? left : right;
        }
        Feature all;
        std::fill_n(all.bytes, kFeatureBytes, 0xFF);
        std::vector<const Feature*> slices;
        MatchCells cells;
        for (int i = 0; i < n; ++i) {
            slices.push_back(&features[static_cast<std::size_t>(i)]);
            cells.features.push_back(&features[static_cast<std::size_t>(n + i)]);
            cells.masks.push_back(&all);
            cells.shown.push_back(kFeatureBytes);
        }
        NullProgress progress;
        const auto candidates = nearestCells(slices, cells, n, progress);
        std::vector<int> order(n);
        std::iota(order.begin(), order.end(), 0);
        const std::vector<int> match = matchSlices(slices, cells, candidates, order);
        auto total = [&](const std::vector<int>& cellOf) {
            std::int64_t sum = 0;
            for (int i = 0; i < n; ++i)
                sum += cells.cost(*slices[static_cast<std::size_t>(i)], static_cast<std::size_t>(cellOf[static_cast<std::size_t>(i)]));
            return sum;
        };
        std::vector<int> permutation(order);
        std::int64_t best = total(permutation);
        while (std::next_permutation(permutation.begin(), permutation.end()))
            best = std::min(best, total(permutation));
        std::vector<int> sorted(match);
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(sorted, order);
        EXPECT_EQ(total(match), best);
        // With a single candidate each, the slices that want a taken cell get free ones: still one
        // to one, and the first slice keeps its nearest cell.
        const auto few = nearestCells(slices, cells, 1, progress);
        const std::vector<int> fallback = matchSlices(slices, cells, few, order);
        sorted = fallback;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(sorted, order);
        EXPECT_EQ(fallback[0], few[0].front().cell);
    }
}

TEST(SliceMatchingTest, NearestCellsAreTheRobustlyNearestOfThePlainlyNearest)
{
    // Against a plain model over every cell: random features, cells that are noisy copies of the
    // slices (so that the nearest are near), some shown in part.
    QRandomGenerator random(11);
    for (int round = 0; round < 6; ++round) {
        const int n = 40 + 30 * round, k = 1 + round * 3;
        std::vector<Feature> features(2 * static_cast<std::size_t>(n)), masks(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            Feature& slice = features[static_cast<std::size_t>(i)];
            Feature& cell = features[static_cast<std::size_t>(n + i)];
            const int base = random.bounded(200);
            for (int b = 0; b < kFeatureBytes; ++b) {
                slice.bytes[b] = static_cast<std::uint8_t>(base + random.bounded(56));
                const int source = features[static_cast<std::size_t>(random.bounded(i + 1))].bytes[b];
                cell.bytes[b] = static_cast<std::uint8_t>(std::clamp(source + static_cast<int>(random.bounded(21)) - 10, 0, 255));
                masks[static_cast<std::size_t>(i)].bytes[b] = i % 7 == 3 && b < kFeatureBytes / 3 ? 0 : 0xFF;
            }
        }
        std::vector<const Feature*> slices;
        MatchCells cells;
        for (int i = 0; i < n; ++i) {
            slices.push_back(&features[static_cast<std::size_t>(i)]);
            cells.features.push_back(&features[static_cast<std::size_t>(n + i)]);
            cells.masks.push_back(&masks[static_cast<std::size_t>(i)]);
            cells.shown.push_back(static_cast<int>(std::count(masks[static_cast<std::size_t>(i)].bytes,
                                                              masks[static_cast<std::size_t>(i)].bytes + kFeatureBytes, 0xFF)));
        }
        NullProgress progress;
        const auto candidates = nearestCells(slices, cells, k, progress);
        ASSERT_EQ(candidates.size(), slices.size());
        for (int s = 0; s < n; ++s) {
            std::vector<std::pair<int, int>> plain;  // (distance, cell)
            for (int j = 0; j < n; ++j) {
                const auto c = static_cast<std::size_t>(j);
                plain.push_back({cells.shown[c] == kFeatureBytes ? featureDistance(*slices[static_cast<std::size_t>(s)], *cells.features[c])
                                                               : cells.cost(*slices[static_cast<std::size_t>(s)], c),
                                 j});
            }
            std::sort(plain.begin(), plain.end());
            std::vector<std::pair<int, int>> robust;
            for (int i = 0; i < 2 * k; ++i)
                robust.push_back({cells.cost(*slices[static_cast<std::size_t>(s)], static_cast<std::size_t>(plain[static_cast<std::size_t>(i)].second)),
                                  plain[static_cast<std::size_t>(i)].second});
            std::sort(robust.begin(), robust.end());
            const std::vector<Candidate>& got = candidates[static_cast<std::size_t>(s)];
            ASSERT_EQ(static_cast<int>(got.size()), k);
            for (int i = 0; i < k; ++i) {
                EXPECT_EQ(got[static_cast<std::size_t>(i)].cost, robust[static_cast<std::size_t>(i)].first) << round << " " << s << " " << i;
                EXPECT_EQ(got[static_cast<std::size_t>(i)].cost,
                          cells.cost(*slices[static_cast<std::size_t>(s)], static_cast<std::size_t>(got[static_cast<std::size_t>(i)].cell)));
            }
        }
    }
}

TEST(SliceMatchingTest, FeatureColoursAreTheAreaWeightedMeansOfTheirCells)
{
    QRandomGenerator random(5);
    for (int round = 0; round < 20; ++round) {
        ReducedPicture picture;
        picture.size = QSize(20 + random.bounded(60), 15 + random.bounded(40));
        picture.stepX = 1 + random.bounded(3.0);
        picture.stepY = 1 + random.bounded(3.0);
        // The last pixel cut at the full size.
        picture.full = QSize(static_cast<int>(picture.size.width() * picture.stepX), static_cast<int>(picture.size.height() * picture.stepY));
        picture.rgb.resize(static_cast<std::size_t>(picture.size.width()) * picture.size.height() * 3);
        for (std::uint8_t& v : picture.rgb)
            v = static_cast<std::uint8_t>(random.bounded(256));
        const double w = 16 + random.bounded(picture.full.width() - 16.0), h = 12 + random.bounded(picture.full.height() - 12.0);
        const QRectF rect(random.bounded(picture.full.width() - w), random.bounded(picture.full.height() - h), w, h);
        Feature feature, colours;
        averageFeature(picture, rect, feature, &colours);
        // Every reduced pixel weighted by the share of it that lies in the feature cell.
        auto overlap = [](double lo, double hi, double start, double end) { return std::max(0.0, std::min(hi, end) - std::max(lo, start)); };
        for (int ky = 0; ky < kFeatureRows; ++ky)
            for (int kx = 0; kx < kFeatureColumns; ++kx) {
                const double x0 = rect.left() + kx * w / kFeatureColumns, x1 = x0 + w / kFeatureColumns;
                const double y0 = rect.top() + ky * h / kFeatureRows, y1 = y0 + h / kFeatureRows;
                double sum[3] = {0, 0, 0}, total = 0;
                for (int y = 0; y < picture.size.height(); ++y)
                    for (int x = 0; x < picture.size.width(); ++x) {
                        const double weight = overlap(x * picture.stepX, std::min((x + 1) * picture.stepX, double(picture.full.width())), x0, x1)
                            * overlap(y * picture.stepY, std::min((y + 1) * picture.stepY, double(picture.full.height())), y0, y1);
                        for (int c = 0; c < 3; ++c)
                            sum[c] += weight * picture.rgb[(static_cast<std::size_t>(y) * picture.size.width() + x) * 3 + c];
                        total += weight;
                    }
                for (int c = 0; c < 3; ++c)
                    EXPECT_NEAR(colours.bytes[(ky * kFeatureColumns + kx) * 3 + c], sum[c] / total, 0.5 + 1e-9) << round;
            }
    }
}
