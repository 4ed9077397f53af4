#pragma once
// Blocks of one size for the records of one dataset, carved from pages: a record costs its
// own bytes and no allocation of its own, and a freed block is the next one given out.
#include <cstddef>
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
  unsigned char* Allocate();
  void Free(void* Block) noexcept;

 private:
  static constexpr std::size_t kBlocksPerPage = 256;

  std::size_t FBlockSize = 0;
  std::vector<std::unique_ptr<unsigned char[]>> FPages;
  std::size_t FUsedInPage = kBlocksPerPage;
  void* FFreeList = nullptr;  // each free block begins with the address of the next one
};

}  // namespace vandrel
