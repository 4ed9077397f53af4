#include "data/RecordPool.h"

#include <cstring>

namespace vandrel {

void TMRecordPool::Reset(std::size_t BlockSize) {
  FPages.clear();
  FBlockSize = BlockSize;
  FNextBlock = FPageEnd = nullptr;
  FFreeList = nullptr;
}

void TMRecordPool::AddPage() {
  // new[] of unsigned char is aligned for any fundamental type, so blocks of a multiple of
  // 16 bytes stay aligned to 16.
  FPages.push_back(std::make_unique_for_overwrite<unsigned char[]>(FBlockSize * kBlocksPerPage));
  FNextBlock = FPages.back().get();
  FPageEnd = FNextBlock + FBlockSize * kBlocksPerPage;
}

void TMRecordPool::Free(void* Block) noexcept {
  std::memcpy(Block, &FFreeList, sizeof FFreeList);
  FFreeList = Block;
}

}  // namespace vandrel
