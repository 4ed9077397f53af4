#pragma once
// The texts of one list column, end to end in one buffer: a row's text is found from the
// start of its block of 64 rows and a 16-bit end inside the block, so a cell costs its bytes
// and a little over two bytes more. A block whose texts pass 64 KB switches the column to
// full-width ends.
#include <cstdint>
#include <string>
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
  // Gives back what growth left unused (after the last row came).
  void Compact();
  void Clear();

 private:
  static constexpr size_t kBlock = 64;
  size_t BlockStart(size_t Row) const { return FBlockStarts[Row / kBlock]; }
  void Widen();

  std::string FBytes;
  std::vector<std::uint64_t> FBlockStarts;
  std::vector<std::uint16_t> FEnds;      // narrow: end of each row within its block
  std::vector<std::uint64_t> FWideEnds;  // wide: end of each row in the buffer
  bool FWide = false;
  size_t FCount = 0;
};

}  // namespace vandrel::app
