#include "foundation/MStrBuffer.h"

#include <algorithm>
#include <cstring>

namespace vandrel {

void TMStrBuffer::Clear() {
  FText.clear();
  FTotal = 0;
  FFill = 0;
}

void TMStrBuffer::AddBuff(const char* Bytes, int Length) {
  if (!Bytes) return;
  size_t Remaining = Length < 0 ? std::strlen(Bytes) : static_cast<size_t>(Length);
  FTotal += static_cast<int>(Remaining);
  while (Remaining > 0) {
    if (FFill == ChunkSize) {
      FText.append(FChunk, ChunkSize);
      FFill = 0;
    }
    const size_t Part = std::min(Remaining, static_cast<size_t>(ChunkSize - FFill));
    std::memcpy(FChunk + FFill, Bytes, Part);
    FFill += static_cast<int>(Part);
    Bytes += Part;
    Remaining -= Part;
  }
}

std::string TMStrBuffer::Data() {
  if (FTotal == FFill) return std::string(FChunk, FFill);
  FText.append(FChunk, FFill);
  FFill = 0;
  return FText;
}

}  // namespace vandrel
