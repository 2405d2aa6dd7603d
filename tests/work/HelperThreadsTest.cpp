#include "work/HelperThreads.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <vector>

using namespace tessera;

namespace {

// Every item runs once and has ended when `forEach` returns, also when it is called from one of
// the helpers' own threads (as a map picture's band is composed there and decodes its tiles on
// them).
TEST(HelperThreadsTest, ForEachRunsEveryItemOnceAlsoFromItsOwnThreads)
{
    constexpr int kItems = 1000;
    std::vector<std::atomic<int>> runs(kItems);
    const auto count = [&](int i) { runs[static_cast<std::size_t>(i)].fetch_add(1); };
    const auto ranTimes = [&](int times) {
        return std::all_of(runs.begin(), runs.end(), [times](const std::atomic<int>& r) { return r.load() == times; });
    };
    HelperThreads helpers;
    helpers.forEach(kItems, count);
    EXPECT_TRUE(ranTimes(1));
    helpers.start([&] { helpers.forEach(kItems, count); }).waitForFinished();
    EXPECT_TRUE(ranTimes(2));
}

}  // namespace
