// The arena behind the rowset copies: every block stays whole and apart from the others
// through the growth of its chunks, blocks larger than a chunk included, until Clear; a
// recycled arena fills its kept chunks again.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "data/RowsetArena.h"

namespace vandrel {
namespace {

// Allocates blocks of Sizes, fills each with its own byte and checks them all; the first block.
unsigned char* FillAndCheck(TMRowsetArena& Arena, const std::vector<std::size_t>& Sizes) {
  std::vector<unsigned char*> blocks;
  for (std::size_t i = 0; i < Sizes.size(); ++i) {
    blocks.push_back(static_cast<unsigned char*>(Arena.Allocate(Sizes[i])));
    std::memset(blocks.back(), static_cast<int>(i % 251), Sizes[i]);
  }
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    EXPECT_EQ(blocks[i][0], i % 251) << i;
    EXPECT_EQ(blocks[i][Sizes[i] - 1], i % 251) << i;
  }
  return blocks.front();
}

TEST(RowsetArena, BlocksOfEverySizeStayWholeAndApartUntilClearedOrRecycled) {
  TMRowsetArena arena;
  // Small blocks through several chunks, then blocks past 16 KB and past 2 MB.
  std::vector<std::size_t> sizes(3000, 777);
  sizes.insert(sizes.end(), {1, 20000, 3 * 1024 * 1024 + 5, 13});
  for (int round = 0; round < 2; ++round) {
    FillAndCheck(arena, sizes);
    arena.Clear();
    EXPECT_EQ(arena.GetReservedBytes(), 0u);
  }

  // A refill after Recycle takes the same chunks in their order and takes nothing new.
  unsigned char* first = FillAndCheck(arena, sizes);
  const std::size_t reserved = arena.GetReservedBytes();
  arena.Recycle();
  EXPECT_EQ(FillAndCheck(arena, sizes), first);
  EXPECT_EQ(arena.GetReservedBytes(), reserved);

  // A block larger than the kept chunk in its turn gets a chunk of its own in its place; a
  // shorter refill gives back the chunks it left unused.
  arena.Recycle();
  FillAndCheck(arena, {100000, 5, 70000});
  arena.ReleaseUnused();
  EXPECT_LT(arena.GetReservedBytes(), 300000u);  // of several megabytes
  FillAndCheck(arena, sizes);
}

}  // namespace
}  // namespace vandrel
