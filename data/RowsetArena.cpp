#include "data/RowsetArena.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <new>

namespace vandrel {

namespace {

constexpr std::size_t kFirstChunk = 16 * 1024;
constexpr std::size_t kHugePage = 2 * 1024 * 1024;
constexpr std::size_t kAlign = alignof(std::max_align_t);

// A mapping of Size bytes (a multiple of 2 MB) whose start is aligned to 2 MB, so that the
// kernel can back it with huge pages; null when it cannot be mapped.
unsigned char* MapAligned(std::size_t Size) {
  void* raw = ::mmap(nullptr, Size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  auto* start = static_cast<unsigned char*>(raw);
  auto* aligned = reinterpret_cast<unsigned char*>((reinterpret_cast<std::uintptr_t>(start) + kHugePage - 1) &
                                                   ~(kHugePage - 1));
  if (aligned > start) ::munmap(start, static_cast<std::size_t>(aligned - start));
  const std::size_t tail = static_cast<std::size_t>(start + Size + kHugePage - (aligned + Size));
  if (tail > 0) ::munmap(aligned + Size, tail);
  ::madvise(aligned, Size, MADV_HUGEPAGE);  // advice only: without it the pages are small
  return aligned;
}

}  // namespace

void* TMRowsetArena::Allocate(std::size_t Size) {
  Size = (Size + kAlign - 1) & ~(kAlign - 1);
  if (Size > FLeft) NewChunk(Size);
  void* block = FNext;
  FNext += Size;
  FLeft -= Size;
  return block;
}

void TMRowsetArena::NewChunk(std::size_t AtLeast) {
  std::size_t size = FUsed == 0 ? kFirstChunk : std::min(FChunks[FUsed - 1].Size * 2, kHugePage);
  size = std::max(size, AtLeast);
  if (FUsed == FChunks.size()) {
    FChunks.reserve(FChunks.size() + 1);
    FChunks.push_back(MakeChunk(size));
  } else if (FChunks[FUsed].Size < AtLeast) {
    // A kept chunk too small for this block makes room for one that fits.
    const TChunk chunk = MakeChunk(size);
    FreeChunk(FChunks[FUsed]);
    FChunks[FUsed] = chunk;
  }
  const TChunk& chunk = FChunks[FUsed++];
  FNext = chunk.Base;
  FLeft = chunk.Size;
}

TMRowsetArena::TChunk TMRowsetArena::MakeChunk(std::size_t Size) {
  TChunk chunk{nullptr, Size, false};
  if (Size % kHugePage == 0) {
    chunk.Base = MapAligned(Size);
    chunk.Mapped = chunk.Base != nullptr;
  }
  if (!chunk.Base) chunk.Base = static_cast<unsigned char*>(::operator new(Size));
  return chunk;
}

void TMRowsetArena::FreeChunk(const TChunk& Chunk) {
  if (Chunk.Mapped)
    ::munmap(Chunk.Base, Chunk.Size);
  else
    ::operator delete(Chunk.Base);
}

std::size_t TMRowsetArena::GetReservedBytes() const {
  std::size_t bytes = 0;
  for (const TChunk& chunk : FChunks) bytes += chunk.Size;
  return bytes;
}

void TMRowsetArena::FreeFrom(std::size_t First) {
  for (std::size_t c = First; c < FChunks.size(); ++c) FreeChunk(FChunks[c]);
  FChunks.resize(First);
}

void TMRowsetArena::Clear() {
  FreeFrom(0);
  Recycle();
}

void TMRowsetArena::Recycle() {
  FUsed = 0;
  FNext = nullptr;
  FLeft = 0;
}

void TMRowsetArena::ReleaseUnused() { FreeFrom(FUsed); }

}  // namespace vandrel
