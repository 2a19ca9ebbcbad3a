#include "core/large_buffer.hpp"

#include <gtest/gtest.h>

#include <cstdint>

namespace orvane::wave_planner::detail {
namespace {

// Blocks past 2 MiB are mapped and unmapped by hand: a wrong length or alignment would crash
// or corrupt neighbouring blocks when many are made, grown, copied and freed in turn.
TEST(LargeVectorTest, LargeBlocksHoldTheirContentsThroughGrowthAndCopies) {
  for (int round = 0; round < 20; ++round) {
    LargeVector<std::uint32_t> values;
    for (std::uint32_t i = 0; i < 1'500'000; ++i)
      values.push_back(i * 7u + static_cast<std::uint32_t>(round));
    const LargeVector<std::uint32_t> copy = values;
    LargeVector<std::uint32_t> small(10, 3);
    small = copy;
    ASSERT_EQ(small.size(), 1'500'000u);
    for (std::uint32_t i = 0; i < 1'500'000; i += 4999) {
      ASSERT_EQ(small[i], i * 7u + static_cast<std::uint32_t>(round));
    }
    values.clear();
    values.shrink_to_fit();
  }
}

}  // namespace
}  // namespace orvane::wave_planner::detail
