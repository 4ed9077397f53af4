#pragma once
// The texts of one list column, end to end in chunks of 32 KB: a row's text is found from
// the start of its block of 64 rows and a 16-bit end inside its chunk, so a cell costs its
// bytes and a little over two bytes more. A chunk is never moved or grown: a fill allocates
// each once, in pieces small enough for the allocator to hand out and take back from its
// own free lists (growing one large buffer instead had every new size faulted in afresh).
// A text longer than a chunk gets a chunk of its own; the ends are kept in pages of 32768. A
// list's columns take their chunks past the first 128 KB, and their pages of ends past the
// first, from one arena of the list's, whose large chunks are mapped with huge pages: a long
// fill then does not stop for a page fault every 4 KB.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "data/RowsetArena.h"

namespace vandrel::app {

class TTextColumn {
 public:
  // Chunks: where the chunks come from (it outlives the column), none for the heap.
  explicit TTextColumn(TMRowsetArena* Chunks = nullptr) : FShared(Chunks) {}
  void Append(std::string_view Text) {
    if (!Fits(Text.size())) MakeRoom(Text.size());
    Chunk& chunk = FChunks.back();
    if (!Text.empty()) std::memcpy(chunk.Data + chunk.Used, Text.data(), Text.size());
    chunk.Used += Text.size();
    FEnds.back().Data[FCount % kEndsPage] = chunk.Long() ? 0 : static_cast<std::uint16_t>(chunk.Used);
    ++FCount;
  }
  std::string_view At(size_t Row) const;
  size_t Count() const { return FCount; }
  // The bytes the column holds on the heap (chunks from a shared arena are the arena's).
  size_t MemoryBytes() const;
  // Gives back what the last chunk left unused (after the last row came).
  void Compact();

 private:
  static constexpr size_t kBlock = 64;
  static constexpr size_t kChunk = 32768;
  static constexpr size_t kHeapChunks = 4;
  // Room for Capacity elements: from the heap, or from the shared arena, which frees it.
  template <class T>
  struct Buffer {
    std::unique_ptr<T[]> Owned;  // none for room in the shared arena
    T* Data = nullptr;
    size_t Capacity = 0;
    Buffer(TMRowsetArena* Shared, size_t Count) : Capacity(Count) {
      if (Shared) {
        Data = static_cast<T*>(Shared->Allocate(Count * sizeof(T)));
      } else {
        Owned = std::make_unique_for_overwrite<T[]>(Count);
        Data = Owned.get();
      }
    }
    // Moves the first Keep elements to room of the heap's for Count.
    void MoveToHeap(size_t Count, size_t Keep) {
      auto data = std::make_unique_for_overwrite<T[]>(Count);
      if (Keep > 0) std::memcpy(data.get(), Data, Keep * sizeof(T));
      Owned = std::move(data);
      Data = Owned.get();
      Capacity = Count;
    }
    size_t HeapBytes() const { return Owned ? Capacity * sizeof(T) : 0; }
  };
  struct Chunk : Buffer<char> {
    using Buffer::Buffer;
    size_t Used = 0;
    bool Long() const { return Capacity > kChunk; }  // holds one text longer than a chunk
  };
  struct Block {
    std::uint64_t Switches = 0;  // bit i: row i of the block starts the next chunk
    std::uint32_t Chunk = 0;     // the chunk in use when the block began
    std::uint16_t Start = 0;     // and where in it the block began
  };
  // The ends of the rows, kEndsPage to a page: pages are never moved or grown either.
  static constexpr size_t kEndsPage = 32768;
  // True when the next row of Size bytes needs no new block, chunk or page of ends: a fill's
  // common case, kept inline.
  bool Fits(size_t Size) const {
    const size_t inPage = FCount % kEndsPage;
    if (FCount % kBlock == 0 || inPage == 0) return false;
    const Chunk& chunk = FChunks.back();
    return !chunk.Long() && chunk.Capacity - chunk.Used >= Size && FEnds.back().Capacity != inPage;
  }
  // Starts what the next row of Size bytes needs: a block, a chunk, a page of ends.
  void MakeRoom(size_t Size);
  void AddChunk(size_t Capacity);
  // A page for the next row's end.
  void AddEndPage();
  std::uint16_t End(size_t Row) const { return FEnds[Row / kEndsPage].Data[Row % kEndsPage]; }

  TMRowsetArena* FShared;
  std::vector<Chunk> FChunks;
  std::vector<Block> FBlocks;
  std::vector<Buffer<std::uint16_t>> FEnds;  // end of each row within its chunk
  size_t FCount = 0;
};

}  // namespace vandrel::app
