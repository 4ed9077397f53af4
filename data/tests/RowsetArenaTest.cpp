// The arena behind the rowset copies: every block stays whole and apart from the others
// through the growth of its chunks, blocks larger than a chunk included, until Clear.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "data/RowsetArena.h"

namespace vandrel {
namespace {

TEST(RowsetArena, BlocksOfEverySizeStayWholeAndApartUntilCleared) {
  TMRowsetArena arena;
  for (int round = 0; round < 2; ++round) {
    std::vector<std::pair<unsigned char*, std::size_t>> blocks;
    // Small blocks through several chunks, then blocks past 16 KB and past 2 MB.
    std::vector<std::size_t> sizes(3000, 777);
    sizes.insert(sizes.end(), {1, 20000, 3 * 1024 * 1024 + 5, 13});
    for (std::size_t i = 0; i < sizes.size(); ++i) {
      auto* block = static_cast<unsigned char*>(arena.Allocate(sizes[i]));
      std::memset(block, static_cast<int>(i % 251), sizes[i]);
      blocks.emplace_back(block, sizes[i]);
    }
    for (std::size_t i = 0; i < blocks.size(); ++i) {
      const auto [block, size] = blocks[i];
      ASSERT_EQ(block[0], i % 251) << i;
      ASSERT_EQ(block[size - 1], i % 251) << i;
    }
    arena.Clear();
  }
}

}  // namespace
}  // namespace vandrel
