#include "app/TextColumn.h"

namespace vandrel::app {

void TTextColumn::Append(std::string_view Text) {
  if (FCount % kBlock == 0) FBlockStarts.push_back(FBytes.size());
  FBytes.append(Text);
  if (!FWide) {
    const size_t end = FBytes.size() - FBlockStarts.back();
    if (end <= UINT16_MAX) {
      FEnds.push_back(static_cast<std::uint16_t>(end));
      ++FCount;
      return;
    }
    Widen();
  }
  FWideEnds.push_back(FBytes.size());
  ++FCount;
}

void TTextColumn::Widen() {
  FWideEnds.reserve(FCount + 1);
  for (size_t row = 0; row < FCount; ++row) FWideEnds.push_back(BlockStart(row) + FEnds[row]);
  FEnds.clear();
  FEnds.shrink_to_fit();
  FWide = true;
}

std::string_view TTextColumn::At(size_t Row) const {
  if (Row >= FCount) return {};
  size_t begin, end;
  if (FWide) {
    begin = Row % kBlock == 0 ? BlockStart(Row) : FWideEnds[Row - 1];
    end = FWideEnds[Row];
  } else {
    const size_t start = BlockStart(Row);
    begin = start + (Row % kBlock == 0 ? 0 : FEnds[Row - 1]);
    end = start + FEnds[Row];
  }
  return std::string_view(FBytes).substr(begin, end - begin);
}

size_t TTextColumn::MemoryBytes() const {
  return FBytes.capacity() + FBlockStarts.capacity() * sizeof(std::uint64_t) +
         FEnds.capacity() * sizeof(std::uint16_t) + FWideEnds.capacity() * sizeof(std::uint64_t);
}

void TTextColumn::Compact() {
  FBytes.shrink_to_fit();
  FBlockStarts.shrink_to_fit();
  FEnds.shrink_to_fit();
  FWideEnds.shrink_to_fit();
}

void TTextColumn::Clear() { *this = TTextColumn(); }

}  // namespace vandrel::app
