#include "app/TextColumn.h"

#include <bit>
#include <cstring>

namespace vandrel::app {

void TTextColumn::AddChunk(size_t Capacity) {
  Chunk chunk;
  chunk.Capacity = static_cast<std::uint32_t>(Capacity);
  // A column's first chunks come from the heap, so that a short list gives back what its last
  // chunk left unused.
  if (FShared && Capacity == kChunk && FChunks.size() >= kHeapChunks) {
    chunk.Data = static_cast<char*>(FShared->Allocate(Capacity));
  } else {
    chunk.Owned = std::make_unique_for_overwrite<char[]>(Capacity);
    chunk.Data = chunk.Owned.get();
  }
  FChunks.push_back(std::move(chunk));
}

void TTextColumn::AddEndPage() {
  // A last page made short by Compact grows back whole before it takes another end.
  if (FCount % kEndsPage != 0) {
    MoveLastEndPage(kEndsPage);
    return;
  }
  EndPage page;
  page.Capacity = kEndsPage;
  if (FShared && !FEnds.empty()) {
    page.Data = static_cast<std::uint16_t*>(FShared->Allocate(kEndsPage * sizeof(std::uint16_t)));
  } else {
    page.Owned = std::make_unique_for_overwrite<std::uint16_t[]>(kEndsPage);
    page.Data = page.Owned.get();
  }
  FEnds.push_back(std::move(page));
}

void TTextColumn::MoveLastEndPage(size_t Capacity) {
  EndPage& last = FEnds.back();
  auto ends = std::make_unique_for_overwrite<std::uint16_t[]>(Capacity);
  std::memcpy(ends.get(), last.Data, FCount % kEndsPage * sizeof(std::uint16_t));
  last.Owned = std::move(ends);
  last.Data = last.Owned.get();
  last.Capacity = Capacity;
}

void TTextColumn::Append(std::string_view Text) {
  if (FChunks.empty()) AddChunk(kChunk);
  const size_t row = FCount % kBlock;
  if (row == 0) {
    const Chunk& current = FChunks.back();
    FBlocks.push_back({0, static_cast<std::uint32_t>(FChunks.size() - 1),
                       static_cast<std::uint16_t>(current.Long() ? 0 : current.Used)});
  }
  const Chunk& current = FChunks.back();
  if (current.Long() || current.Capacity - current.Used < Text.size()) {
    AddChunk(Text.size() > kChunk ? Text.size() : kChunk);
    FBlocks.back().Switches |= std::uint64_t{1} << row;
  }
  Chunk& chunk = FChunks.back();
  if (!Text.empty()) std::memcpy(chunk.Data + chunk.Used, Text.data(), Text.size());
  chunk.Used += static_cast<std::uint32_t>(Text.size());
  if (FCount % kEndsPage == 0 || FEnds.back().Capacity == FCount % kEndsPage) AddEndPage();
  FEnds.back().Data[FCount % kEndsPage] = chunk.Long() ? 0 : static_cast<std::uint16_t>(chunk.Used);
  ++FCount;
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
  size_t bytes =
      FChunks.capacity() * sizeof(Chunk) + FBlocks.capacity() * sizeof(Block) + FEnds.capacity() * sizeof(EndPage);
  for (const EndPage& page : FEnds)
    if (page.Owned) bytes += page.Capacity * sizeof(std::uint16_t);
  for (const Chunk& chunk : FChunks)
    if (chunk.Owned) bytes += chunk.Capacity;
  return bytes;
}

void TTextColumn::Compact() {
  FBlocks.shrink_to_fit();
  FEnds.shrink_to_fit();
  // The last page of ends keeps what it holds.
  if (!FEnds.empty() && FEnds.back().Owned && FCount % kEndsPage != 0) MoveLastEndPage(FCount % kEndsPage);
  FChunks.shrink_to_fit();
  // A chunk of the shared arena stays: the arena frees its chunks together.
  if (FChunks.empty() || !FChunks.back().Owned || FChunks.back().Long() ||
      FChunks.back().Used == FChunks.back().Capacity)
    return;
  Chunk& last = FChunks.back();
  auto data = std::make_unique_for_overwrite<char[]>(last.Used);
  if (last.Used > 0) std::memcpy(data.get(), last.Data, last.Used);
  last.Owned = std::move(data);
  last.Data = last.Owned.get();
  last.Capacity = last.Used;
}

void TTextColumn::Clear() { *this = TTextColumn(FShared); }

}  // namespace vandrel::app
