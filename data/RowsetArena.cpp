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
  std::size_t size = FChunks.empty() ? kFirstChunk : std::min(FChunks.back().Size * 2, kHugePage);
  size = std::max(size, AtLeast);
  FChunks.reserve(FChunks.size() + 1);
  TChunk chunk{nullptr, size, false};
  if (size % kHugePage == 0) {
    chunk.Base = MapAligned(size);
    chunk.Mapped = chunk.Base != nullptr;
  }
  if (!chunk.Base) chunk.Base = static_cast<unsigned char*>(::operator new(size));
  FChunks.push_back(chunk);
  FNext = chunk.Base;
  FLeft = size;
}

std::size_t TMRowsetArena::GetReservedBytes() const {
  std::size_t bytes = 0;
  for (const TChunk& chunk : FChunks) bytes += chunk.Size;
  return bytes;
}

void TMRowsetArena::Clear() {
  for (const TChunk& chunk : FChunks) {
    if (chunk.Mapped)
      ::munmap(chunk.Base, chunk.Size);
    else
      ::operator delete(chunk.Base);
  }
  FChunks.clear();
  FNext = nullptr;
  FLeft = 0;
}

}  // namespace vandrel
