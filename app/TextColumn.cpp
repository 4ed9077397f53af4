#include "app/TextColumn.h"

#include <bit>
#include <cstring>

namespace vandrel::app {

void TTextColumn::AddChunk(size_t Capacity) {
  // A column's first chunks come from the heap, so that a short list gives back what its last
  // chunk left unused.
  FChunks.emplace_back(Capacity == kChunk && FChunks.size() >= kHeapChunks ? FShared : nullptr, Capacity);
}

void TTextColumn::AddEndPage() {
  // A last page made short by Compact grows back whole before it takes another end.
  if (FCount % kEndsPage != 0)
    FEnds.back().MoveToHeap(kEndsPage, FCount % kEndsPage);
  else
    FEnds.emplace_back(FEnds.empty() ? nullptr : FShared, kEndsPage);
}

void TTextColumn::MakeRoom(size_t Size) {
  if (FChunks.empty()) AddChunk(kChunk);
  const size_t row = FCount % kBlock;
  if (row == 0) {
    const Chunk& current = FChunks.back();
    FBlocks.push_back({0, static_cast<std::uint32_t>(FChunks.size() - 1),
                       static_cast<std::uint16_t>(current.Long() ? 0 : current.Used)});
  }
  const Chunk& current = FChunks.back();
  if (current.Long() || current.Capacity - current.Used < Size) {
    AddChunk(Size > kChunk ? Size : kChunk);
    FBlocks.back().Switches |= std::uint64_t{1} << row;
  }
  if (FCount % kEndsPage == 0 || FEnds.back().Capacity == FCount % kEndsPage) AddEndPage();
}

std::string_view TTextColumn::At(size_t Row) const {
  if (Row >= FCount) return {};
  const Block& block = FBlocks[Row / kBlock];
  const size_t row = Row % kBlock;
  const std::uint64_t upToRow = row == kBlock - 1 ? ~std::uint64_t{0} : (std::uint64_t{2} << row) - 1;
  const Chunk& chunk = FChunks[block.Chunk + static_cast<size_t>(std::popcount(block.Switches & upToRow))];
  const bool first = (block.Switches >> row) & 1;
  const size_t begin = first ? 0 : row == 0 ? block.Start : End(Row - 1);
  const size_t end = chunk.Long() ? chunk.Used : End(Row);
  return std::string_view(chunk.Data + begin, end - begin);
}

size_t TTextColumn::MemoryBytes() const {
  size_t bytes = FChunks.capacity() * sizeof(Chunk) + FBlocks.capacity() * sizeof(Block) +
                 FEnds.capacity() * sizeof(FEnds.front());
  for (const auto& page : FEnds) bytes += page.HeapBytes();
  for (const Chunk& chunk : FChunks) bytes += chunk.HeapBytes();
  return bytes;
}

void TTextColumn::Compact() {
  FBlocks.shrink_to_fit();
  FEnds.shrink_to_fit();
  // The last page of ends and the last chunk keep what they hold; room in the shared arena
  // stays, as the arena frees it as a whole.
  if (!FEnds.empty() && FEnds.back().Owned && FCount % kEndsPage != 0)
    FEnds.back().MoveToHeap(FCount % kEndsPage, FCount % kEndsPage);
  FChunks.shrink_to_fit();
  if (!FChunks.empty() && FChunks.back().Owned && !FChunks.back().Long() &&
      FChunks.back().Used != FChunks.back().Capacity)
    FChunks.back().MoveToHeap(FChunks.back().Used, FChunks.back().Used);
}

}  // namespace vandrel::app
