#pragma once
// The texts of one list column, end to end in chunks of 32 KB: a row's text is found from
// the start of its block of 64 rows and a 16-bit end inside its chunk, so a cell costs its
// bytes and a little over two bytes more. A chunk is never moved or grown: a fill allocates
// each once, in pieces small enough for the allocator to hand out and take back from its
// own free lists (growing one large buffer instead had every new size faulted in afresh).
// A text longer than a chunk gets a chunk of its own.
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace vandrel::app {

class TTextColumn {
 public:
  void Append(std::string_view Text);
  std::string_view At(size_t Row) const;
  size_t Count() const { return FCount; }
  // The bytes the column holds on the heap.
  size_t MemoryBytes() const;
  // Gives back what the last chunk left unused (after the last row came).
  void Compact();
  void Clear();

 private:
  static constexpr size_t kBlock = 64;
  static constexpr size_t kChunk = 32768;
  struct Chunk {
    std::unique_ptr<char[]> Data;
    std::uint32_t Used = 0;
    std::uint32_t Capacity = 0;
    bool Long() const { return Capacity > kChunk; }  // holds one text longer than a chunk
  };
  struct Block {
    std::uint64_t Switches = 0;  // bit i: row i of the block starts the next chunk
    std::uint32_t Chunk = 0;     // the chunk in use when the block began
    std::uint16_t Start = 0;     // and where in it the block began
  };
  void AddChunk(size_t Capacity);

  std::vector<Chunk> FChunks;
  std::vector<Block> FBlocks;
  std::vector<std::uint16_t> FEnds;  // end of each row within its chunk
  size_t FCount = 0;
};

}  // namespace vandrel::app
