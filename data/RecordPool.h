#pragma once
// Blocks of one size for the records of one dataset, carved from pages: a record costs its
// own bytes and no allocation of its own, and a freed block is the next one given out.
#include <cstddef>
#include <cstring>
#include <memory>
#include <vector>

namespace vandrel {

class TMRecordPool {
 public:
  TMRecordPool() = default;
  TMRecordPool(const TMRecordPool&) = delete;
  TMRecordPool& operator=(const TMRecordPool&) = delete;

  // Frees every page (the blocks given out go with them) and gives out blocks of BlockSize
  // bytes (a multiple of 16) from now on.
  void Reset(std::size_t BlockSize);
  // A zero-filled block, aligned to 16 bytes.
  unsigned char* Allocate() {
    if (FFreeList == nullptr && FNextBlock == FPageEnd) AddPage();
    return TryAllocate();
  }
  // A zero-filled block when one is at hand without a new page, inline and without a call;
  // none otherwise.
  unsigned char* TryAllocate() {
    unsigned char* Block;
    if (FFreeList != nullptr) {
      Block = static_cast<unsigned char*>(FFreeList);
      std::memcpy(&FFreeList, Block, sizeof FFreeList);
    } else if (FNextBlock != FPageEnd) {
      Block = FNextBlock;
      FNextBlock += FBlockSize;
    } else {
      return nullptr;
    }
    // Blocks are a multiple of 16 bytes and short: zeroed in place rather than by a call, 64
    // bytes a step while they last (the size read once, since the stores may alias the pool).
    const std::size_t Size = FBlockSize;
    std::size_t At = 0;
    for (; At + 64 <= Size; At += 64) std::memset(Block + At, 0, 64);
    for (; At < Size; At += 16) std::memset(Block + At, 0, 16);
    return Block;
  }
  void Free(void* Block) noexcept;

 private:
  void AddPage();

  static constexpr std::size_t kBlocksPerPage = 256;

  std::size_t FBlockSize = 0;
  std::vector<std::unique_ptr<unsigned char[]>> FPages;
  // The next block of the newest page and the end of that page (none before the first page).
  unsigned char* FNextBlock = nullptr;
  unsigned char* FPageEnd = nullptr;
  void* FFreeList = nullptr;  // each free block begins with the address of the next one
};

}  // namespace vandrel
