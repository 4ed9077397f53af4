#pragma once
// Where a result set keeps the copies of its rowsets, and a list the texts of its columns:
// blocks taken one after another from chunks that are freed together with the arena, never
// one by one. A million rows are fifty
// thousand copies; allocated one by one they were interleaved with the driver's short-lived
// allocations, which then took longer, and every page of them was a separate page fault.
// Chunks grow from 16 KB to 2 MB, so that a query of a few rows takes little; chunks of 2 MB
// are mapped on their own and ask for huge pages. An arena that is filled again can keep its
// chunks for the new blocks (Recycle), so that a refill touches no fresh pages.
#include <cstddef>
#include <vector>

namespace vandrel {

class TMRowsetArena {
 public:
  TMRowsetArena() = default;
  ~TMRowsetArena() { Clear(); }
  TMRowsetArena(const TMRowsetArena&) = delete;
  TMRowsetArena& operator=(const TMRowsetArena&) = delete;

  // Size bytes, aligned for any scalar; valid until Clear.
  void* Allocate(std::size_t Size);
  // Frees every block and gives every chunk back.
  void Clear();
  // Frees every block but keeps the chunks, which the next blocks reuse in their order.
  void Recycle();
  // Gives back the chunks that no block has used since the last Recycle.
  void ReleaseUnused();
  // Bytes of the chunks taken from the system (the unused ones kept too).
  std::size_t GetReservedBytes() const;

 private:
  struct TChunk {
    unsigned char* Base;
    std::size_t Size;
    bool Mapped;
  };
  void NewChunk(std::size_t AtLeast);
  static TChunk MakeChunk(std::size_t Size);
  static void FreeChunk(const TChunk& Chunk);
  void FreeFrom(std::size_t First);

  std::vector<TChunk> FChunks;
  std::size_t FUsed = 0;  // the first FUsed chunks hold blocks; the others wait for reuse
  unsigned char* FNext = nullptr;
  std::size_t FLeft = 0;
};

}  // namespace vandrel
